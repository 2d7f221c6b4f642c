#include "verify/own_signature.h"

#include <windows.h>

#include "verify/fingerprint_slot.h"

// A signed program makes the elevation prompt name its publisher. Bound to
// no list it would vouch for whatever a medium holds, so the publisher's
// name would stand on files the publisher never saw. The headers are read
// from the image in memory, the very bytes that run, not from the file on
// the medium, which could be swapped after the start.
bool SignedButUnbound() {
  const unsigned char* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  unsigned char digest[kFingerprintSize];
  return HasAuthenticodeSignature(image, nt->OptionalHeader.SizeOfHeaders) &&
         !ReadOwnFingerprint(digest);
}
