#include <openssl/evp.h>
#include <stdio.h>

#include "file_digest.h"
#include "tree_files.h"
#include "verify/hash_list.h"

bool FileDigest(const std::string& path, unsigned char* digest, uint64_t* size) {
  FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return false;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool ok = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
  static char buffer[1 << 16];
  *size = 0;
  while (ok) {
    size_t count = fread(buffer, 1, sizeof buffer, file);
    if (count == 0) break;
    *size += count;
    ok = EVP_DigestUpdate(context, buffer, count) == 1;
  }
  ok = ok && !ferror(file);
  fclose(file);
  unsigned int length = 0;
  ok = ok && EVP_DigestFinal_ex(context, digest, &length) == 1 && length == kSha256Size;
  EVP_MD_CTX_free(context);
  return ok;
}
