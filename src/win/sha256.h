// SHA-256 through Windows' own CNG (bcrypt.dll). Windows builds only.
#pragma once

#include <stddef.h>

struct Sha256 {
  void* hash;  // BCRYPT_HASH_HANDLE; null when the hash could not be started
  bool failed;
  // The hash object lives here, not on the heap; CNG says how much it needs
  // (a few hundred bytes).
  alignas(16) unsigned char object[1024];
};

// Starts a hash. False when CNG is not there or refuses; the state then
// fails every later call, so callers may test only FinishSha256.
bool StartSha256(Sha256* state);
void AddToSha256(Sha256* state, const void* bytes, size_t count);
// Ends the hash and frees it, on every path. True with digest (32 bytes)
// filled when every step succeeded.
bool FinishSha256(Sha256* state, unsigned char* digest);
