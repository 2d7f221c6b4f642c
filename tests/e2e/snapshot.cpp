#include "snapshot.h"

#include "driver.h"

namespace e2e {

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// FNV-1a over the whole file.
static uint64_t HashFile(const std::wstring& path, bool* readable) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  *readable = file != INVALID_HANDLE_VALUE;
  if (!*readable) return 0;
  static std::vector<unsigned char> buffer(1 << 20);
  uint64_t hash = 1469598103934665603ull;
  DWORD got = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
         got > 0) {
    for (DWORD i = 0; i < got; ++i) hash = (hash ^ buffer[i]) * 1099511628211ull;
  }
  CloseHandle(file);
  return hash;
}

// Everything below folder, except the subtree skip (when not empty).
static void Walk(const std::wstring& folder, const std::wstring& skip, Snapshot* out) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + L"\\" + name;
    if (!skip.empty() && SamePath(path, skip)) continue;
    FileState state;
    state.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    state.attributes = found.dwFileAttributes;
    if (!state.folder) {
      state.size = (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
      state.written = (uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) |
                      found.ftLastWriteTime.dwLowDateTime;
      state.hash = HashFile(path, &state.readable);
    }
    (*out)[path] = state;
    if (state.folder) Walk(path, skip, out);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

Snapshot TakeSnapshot(const std::wstring& folder, const std::wstring& skip) {
  Snapshot snapshot;
  Walk(folder, skip, &snapshot);
  return snapshot;
}

// Paths that appeared, vanished or changed. A folder's own times are left
// out: whatever was written inside it shows up as an entry of its own.
std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> changes;
  for (const auto& [path, was] : before) {
    auto now = after.find(path);
    if (now == after.end()) {
      changes.push_back("removed " + Utf8(path));
    } else if (was.folder != now->second.folder || was.attributes != now->second.attributes ||
               was.size != now->second.size || was.written != now->second.written ||
               was.hash != now->second.hash || !now->second.readable) {
      changes.push_back("changed " + Utf8(path));
    }
  }
  for (const auto& [path, state] : after) {
    if (before.count(path) == 0) changes.push_back("added " + Utf8(path));
  }
  return changes;
}

}  // namespace e2e
