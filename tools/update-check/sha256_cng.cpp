#include "sha256_bytes.h"
#include "verify/hash_list.h"
#include "win/sha256.h"

bool Sha256Of(const std::string& bytes, unsigned char* digest) {
  Sha256 state;
  StartSha256(&state);
  AddToSha256(&state, bytes.data(), bytes.size());
  return FinishSha256(&state, digest);
}
