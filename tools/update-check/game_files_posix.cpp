#include <openssl/evp.h>
#include <stdio.h>
#include <sys/stat.h>

#include "game_files.h"
#include "verify/hash_list.h"

bool HashGameFile(const std::string& path, unsigned char* digest) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool ok = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
  static char buffer[1 << 16];
  size_t got = 0;
  while (ok && (got = fread(buffer, 1, sizeof buffer, file)) > 0) {
    ok = EVP_DigestUpdate(context, buffer, got) == 1;
  }
  ok = ok && ferror(file) == 0;
  unsigned int length = 0;
  ok = ok && EVP_DigestFinal_ex(context, digest, &length) == 1 && length == kSha256Size;
  EVP_MD_CTX_free(context);
  fclose(file);
  return ok;
}

bool GameFileSize(const std::string& path, uint64_t* size) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}
