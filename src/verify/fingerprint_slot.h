// The fingerprint slot of update.exe: 32 bytes in its read-only data, between
// two markers, that bind one copy of the program to one medium. The build
// leaves them zero ("bound to no medium"); update-pack writes the SHA-256 of
// the medium's update.sha256 into them before the publisher signs the copy.
#pragma once

#include <stddef.h>

constexpr size_t kFingerprintSize = 32;
constexpr size_t kFingerprintMarkerSize = 16;
constexpr unsigned char kFingerprintOpen[kFingerprintMarkerSize] = {
    0x89, 'M', 'E', 'D', 'I', 'U', 'M', '-', 'S', 'H', 'A', '2', '5', '6', 0x0D, 0x0A};
constexpr unsigned char kFingerprintClose[kFingerprintMarkerSize] = {
    0x0A, 0x0D, 'D', 'N', 'E', '-', 'T', 'N', 'I', 'R', 'P', 'R', 'E', 'G', 'N', 0x89};

// The slot as the program holds it.
struct FingerprintSlot {
  unsigned char open[kFingerprintMarkerSize];
  unsigned char digest[kFingerprintSize];
  unsigned char close[kFingerprintMarkerSize];
};

// Offset of the slot's digest in a program's bytes and how many slots the
// bytes hold; a program with no slot or more than one cannot be bound.
size_t FindFingerprintSlots(const unsigned char* bytes, size_t size, size_t* digest_offset);

// True when bytes are a PE program whose certificate table is not empty:
// an Authenticode signature, which writing the slot would break.
bool HasAuthenticodeSignature(const unsigned char* bytes, size_t size);

// The program's own digest; false when it is bound to no medium (all zero).
bool ReadOwnFingerprint(unsigned char* digest);
