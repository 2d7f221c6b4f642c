#include <openssl/evp.h>

#include "sha256_bytes.h"
#include "verify/hash_list.h"

bool Sha256Of(const std::string& bytes, unsigned char* digest) {
  unsigned int length = 0;
  return EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) == 1 &&
         length == kSha256Size;
}

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[kSha256Size];
  if (!Sha256Of(bytes, digest)) return "";
  char hex[2 * kSha256Size + 1];
  FormatDigest(digest, hex);
  return hex;
}
