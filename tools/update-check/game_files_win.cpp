#include <windows.h>

#include <stdio.h>

#include "game_files.h"
#include "utf8_wide.h"
#include "win/sha256.h"

// Shared for reading and writing: a running game still holds its files, and
// the updater reads them the same way.
static HANDLE OpenGameFile(const std::string& path) {
  return CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool HashGameFile(const std::string& path, unsigned char* digest) {
  HANDLE file = OpenGameFile(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  Sha256 state;
  StartSha256(&state);
  static char buffer[1 << 16];
  DWORD got = 0;
  bool read = true;
  for (;;) {
    read = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0;
    if (!read || got == 0) break;
    AddToSha256(&state, buffer, got);
  }
  CloseHandle(file);
  bool hashed = FinishSha256(&state, digest);
  return read && hashed;
}

bool GameFileSize(const std::string& path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}
