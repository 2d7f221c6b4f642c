#include "sha256_bytes.h"
#include "verify/hash_list.h"

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[kSha256Size];
  if (!Sha256Of(bytes, digest)) return "";
  char hex[2 * kSha256Size + 1];
  FormatDigest(digest, hex);
  return hex;
}
