// What makes a medium prove itself: update.sha256, and the fingerprint of
// update.sha256 in the medium's copy of update.exe.
#pragma once

#include <string>
#include <vector>

// One line of update.sha256: the path it names below the medium (UTF-8, '/'
// between names) and the file whose bytes it vouches for.
struct ListedFile {
  std::string path;
  std::string file;
};

// update.sha256 for files, hashed as they lie there, in the order given.
// False, with *err, when one cannot be read.
bool ComposeHashList(const std::vector<ListedFile>& files, std::string* list, std::string* err);

// Why program (its bytes) cannot carry a medium's fingerprint, or null when
// it can.
const char* UnbindableReason(const std::string& program);

// Writes digest (32 bytes) into the fingerprint slot of program, which
// UnbindableReason accepted.
void StampFingerprint(std::string* program, const unsigned char* digest);

// The bytes of the program exe bound to list. False, with *err, when exe
// cannot be read or bound.
bool BindProgram(const std::string& exe, const std::string& list, std::string* program,
                 std::string* err);

// Writes update.sha256 into the medium in dir, for update.ini and the files
// at paths, and, when exe is not empty, update.exe bound to it.
bool WriteMediumProof(const std::string& dir, const std::vector<std::string>& paths,
                      const std::string& exe, std::string* err);
