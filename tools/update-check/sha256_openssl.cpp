#include <openssl/evp.h>

#include "sha256_bytes.h"
#include "verify/hash_list.h"

bool Sha256Of(const std::string& bytes, unsigned char* digest) {
  unsigned int length = 0;
  return EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) == 1 &&
         length == kSha256Size;
}
