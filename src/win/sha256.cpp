#include "win/sha256.h"

#include <windows.h>
#include <bcrypt.h>

// One provider for the process, opened at the first hash: opening one costs
// far more than a hash of a small file.
static BCRYPT_ALG_HANDLE provider;

static bool OpenProvider() {
  if (provider != nullptr) return true;
  BCRYPT_ALG_HANDLE opened = nullptr;
  if (BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return false;
  provider = opened;
  return true;
}

bool StartSha256(Sha256* state) {
  state->hash = nullptr;
  state->failed = true;
  if (!OpenProvider()) return false;
  // Windows 7 needs the caller's buffer for the hash object; later
  // versions would allocate one, which the updater's logic does not.
  DWORD object_size = 0;
  ULONG got = 0;
  if (BCryptGetProperty(provider, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&object_size),
                        sizeof object_size, &got, 0) != 0 ||
      object_size > sizeof state->object) {
    return false;
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (BCryptCreateHash(provider, &hash, state->object, object_size, nullptr, 0, 0) != 0) {
    return false;
  }
  state->hash = hash;
  state->failed = false;
  return true;
}

void AddToSha256(Sha256* state, const void* bytes, size_t count) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  while (!state->failed && count > 0) {
    ULONG part = count > 0x40000000 ? 0x40000000 : static_cast<ULONG>(count);
    if (BCryptHashData(state->hash, const_cast<PUCHAR>(p), part, 0) != 0) state->failed = true;
    p += part;
    count -= part;
  }
}

bool FinishSha256(Sha256* state, unsigned char* digest) {
  if (state->hash == nullptr) return false;
  bool ok = !state->failed && BCryptFinishHash(state->hash, digest, 32, 0) == 0;
  BCryptDestroyHash(state->hash);
  state->hash = nullptr;
  state->failed = true;
  return ok;
}
