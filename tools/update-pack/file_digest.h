// The SHA-256 of a file read in pieces: a game's files may be larger than
// the address space of the x86 build.
#pragma once

#include <stdint.h>

#include <string>

// digest (32 bytes) and *size of the file at path (the platform's own form,
// UTF-8 on Windows); false when it cannot be read or hashed.
bool FileDigest(const std::string& path, unsigned char* digest, uint64_t* size);
