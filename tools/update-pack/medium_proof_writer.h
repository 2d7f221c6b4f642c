// What makes a medium prove itself: update.sha256, and the fingerprint of
// update.sha256 in the medium's copy of update.exe.
#pragma once

#include <string>
#include <vector>

// update.sha256 for the files at paths below dir (UTF-8, '/' between
// names), hashed as they lie there, in the order given. False, with *err,
// when one cannot be read.
bool ComposeHashList(const std::string& dir, const std::vector<std::string>& paths,
                     std::string* list, std::string* err);

// Why program (its bytes) cannot carry a medium's fingerprint, or null when
// it can.
const char* UnbindableReason(const std::string& program);

// Writes digest (32 bytes) into the fingerprint slot of program, which
// UnbindableReason accepted.
void StampFingerprint(std::string* program, const unsigned char* digest);

// Writes update.sha256 into the medium in dir, for update.ini and the files
// at paths, and, when exe is not empty, update.exe bound to it.
bool WriteMediumProof(const std::string& dir, const std::vector<std::string>& paths,
                      const std::string& exe, std::string* err);
