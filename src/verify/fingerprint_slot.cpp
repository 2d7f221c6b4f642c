#include "verify/fingerprint_slot.h"

#include <stdint.h>
#include <string.h>

size_t FindFingerprintSlots(const unsigned char* bytes, size_t size, size_t* digest_offset) {
  const size_t slot = sizeof(FingerprintSlot);
  size_t count = 0;
  for (size_t at = 0; at + slot <= size; ++at) {
    const void* next = memchr(bytes + at, kFingerprintOpen[0], size - slot + 1 - at);
    if (next == nullptr) break;
    at = static_cast<size_t>(static_cast<const unsigned char*>(next) - bytes);
    if (memcmp(bytes + at, kFingerprintOpen, kFingerprintMarkerSize) != 0) continue;
    const unsigned char* close = bytes + at + kFingerprintMarkerSize + kFingerprintSize;
    if (memcmp(close, kFingerprintClose, kFingerprintMarkerSize) != 0) continue;
    if (++count == 1) *digest_offset = at + kFingerprintMarkerSize;
  }
  return count;
}

static uint32_t Little32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool HasAuthenticodeSignature(const unsigned char* bytes, size_t size) {
  if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  uint32_t pe = Little32(bytes + 0x3C);
  if (pe > size || size - pe < 24 + 2 || memcmp(bytes + pe, "PE\0\0", 4) != 0) return false;
  size_t optional = pe + 24;
  unsigned magic = bytes[optional] | (bytes[optional + 1] << 8);
  // The data directories follow the optional header's fixed part, which is
  // 16 bytes longer in a 64-bit program; the certificate table is the 5th.
  size_t directories = optional + (magic == 0x20B ? 112 : 96);
  size_t certificates = directories + 4 * 8;
  if (certificates + 8 > size) return false;
  return Little32(bytes + certificates + 4) != 0;
}
