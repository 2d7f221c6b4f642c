// Whether this very program carries a signature but no medium's fingerprint.
#pragma once

// True when the program's own image has a certificate table and its
// fingerprint slot is all zero: signed, yet bound to no medium.
bool SignedButUnbound();
