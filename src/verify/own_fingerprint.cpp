// The slot itself, in update.exe only: the tools and tests that link the
// portable code must hold no slot that update-pack could take for one.
#include "verify/fingerprint_slot.h"

#include <string.h>

// const puts it in the read-only data; volatile reads keep the compiler from
// folding the zeros it was built with into the code.
extern const volatile FingerprintSlot medium_fingerprint_slot;
const volatile FingerprintSlot medium_fingerprint_slot = {
    {kFingerprintOpen[0], kFingerprintOpen[1], kFingerprintOpen[2], kFingerprintOpen[3],
     kFingerprintOpen[4], kFingerprintOpen[5], kFingerprintOpen[6], kFingerprintOpen[7],
     kFingerprintOpen[8], kFingerprintOpen[9], kFingerprintOpen[10], kFingerprintOpen[11],
     kFingerprintOpen[12], kFingerprintOpen[13], kFingerprintOpen[14], kFingerprintOpen[15]},
    {},
    {kFingerprintClose[0], kFingerprintClose[1], kFingerprintClose[2], kFingerprintClose[3],
     kFingerprintClose[4], kFingerprintClose[5], kFingerprintClose[6], kFingerprintClose[7],
     kFingerprintClose[8], kFingerprintClose[9], kFingerprintClose[10], kFingerprintClose[11],
     kFingerprintClose[12], kFingerprintClose[13], kFingerprintClose[14], kFingerprintClose[15]},
};

bool ReadOwnFingerprint(unsigned char* digest) {
  bool bound = false;
  for (size_t i = 0; i < kFingerprintSize; ++i) {
    digest[i] = medium_fingerprint_slot.digest[i];
    if (digest[i] != 0) bound = true;
  }
  return bound;
}
