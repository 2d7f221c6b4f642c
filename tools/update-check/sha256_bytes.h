// SHA-256 for the tools: OpenSSL's libcrypto away from Windows, Windows' own
// CNG on it.
#pragma once

#include <string>

// The digest of bytes, 32 bytes; false when the library failed.
bool Sha256Of(const std::string& bytes, unsigned char* digest);

// The 64 lowercase hex digits of bytes' digest; empty when it failed.
std::string Sha256Hex(const std::string& bytes);
