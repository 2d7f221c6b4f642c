// Reading a player's game folder: each file hashed as it streams, or only
// sized, never read whole into memory. Paths are the platform's own form
// (UTF-8 on Windows too), as FindOnMedium gives them.
#pragma once

#include <stdint.h>

#include <string>

// The SHA-256 (32 bytes) of the file at path; false when it cannot be read.
bool HashGameFile(const std::string& path, unsigned char* digest);

// The size of the file at path; false when it cannot be taken.
bool GameFileSize(const std::string& path, uint64_t* size);
