// Snapshots of folder trees, to show what a run changed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// Compared as Windows compares names, whatever their case.
bool SamePath(const std::wstring& a, const std::wstring& b);

struct FileState {
  bool folder = false;
  DWORD attributes = 0;
  uint64_t size = 0;
  uint64_t written = 0;
  uint64_t hash = 0;
  bool readable = true;
};
using Snapshot = std::map<std::wstring, FileState>;

// Everything below folder, except the subtree skip (when not empty).
Snapshot TakeSnapshot(const std::wstring& folder, const std::wstring& skip = L"");

// Paths that appeared, vanished or changed. A folder's own times are left
// out: whatever was written inside it shows up as an entry of its own.
std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after);

}  // namespace e2e
