#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "removal_step.h"
#include "tree_files.h"
#include "utf8_wide.h"

static std::wstring Wide(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

static std::string ErrorText(const std::string& path) {
  return path + ": Windows error " + std::to_string(GetLastError());
}

static bool ListFolder(const std::string& root, const std::string& relative, Tree* tree,
                       std::string* error) {
  std::string dir = relative.empty() ? root : root + "/" + relative;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((Wide(dir) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    // An empty drive root lists nothing at all, not even "." and "..".
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    *error = ErrorText(dir);
    return false;
  }
  struct Found {
    std::string name;
    DWORD attributes;
    uint64_t size;
  };
  std::vector<Found> entries;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back({Utf8FromWide(name), found.dwFileAttributes,
                       (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(entries.begin(), entries.end(),
            [](const Found& a, const Found& b) { return a.name < b.name; });
  for (const Found& entry : entries) {
    std::string child = relative.empty() ? entry.name : relative + "/" + entry.name;
    // Junctions and links are not followed: one could lead out of the tree
    // or round in a circle.
    if ((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      tree->skipped.push_back(child);
    } else if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      tree->folders.push_back(child);
      if (!ListFolder(root, child, tree, error)) return false;
    } else {
      tree->files.push_back({child, entry.size});
    }
  }
  return true;
}

bool ListTree(const std::string& root, Tree* tree, std::string* error) {
  *tree = Tree();
  DWORD attributes = GetFileAttributesW(Wide(root).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    *error = root + ": not a folder";
    return false;
  }
  return ListFolder(root, "", tree, error);
}

FolderState GetFolderState(const std::string& dir) {
  DWORD attributes = GetFileAttributesW(Wide(dir).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FolderState::kMissing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FolderState::kNotAFolder;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((Wide(dir) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return FolderState::kEmpty;
  FolderState state = FolderState::kEmpty;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") state = FolderState::kNotEmpty;
  } while (state == FolderState::kEmpty && FindNextFileW(search, &found));
  FindClose(search);
  return state;
}

bool IsReadableFile(const std::string& path, uint64_t* size) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(file, &info) &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && GetFileSizeEx(file, &length);
  CloseHandle(file);
  if (ok) *size = static_cast<uint64_t>(length.QuadPart);
  return ok;
}

FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(Wide(path).c_str(), WideFromUtf8(mode).c_str());
}

// Every file of the medium reaches the disk before the medium is renamed
// into place: a crash then leaves the old medium or the whole new one, never
// the new names over empty files. The copy is written and flushed through
// the one handle that made it, a plain new file as on POSIX: CopyFileW
// would carry a read-only attribute over from a tree copied from a disc,
// and the copy could then not be opened again to flush it. An existing
// target is never written over.
bool CopyOneFile(const std::string& from, const std::string& to) {
  HANDLE in = CreateFileW(Wide(from).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out = CreateFileW(Wide(to).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = out != INVALID_HANDLE_VALUE;
  std::vector<char> buffer(65536);
  while (ok) {
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      ok = false;
    } else if (got == 0) {
      break;
    } else {
      DWORD written = 0;
      ok = WriteFile(out, buffer.data(), got, &written, nullptr) && written == got;
    }
  }
  CloseHandle(in);
  if (out == INVALID_HANDLE_VALUE) return false;
  ok = ok && FlushFileBuffers(out);
  return CloseHandle(out) && ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(file);
  return CloseHandle(file) && ok;
}

// NTFS journals the names; the files' contents are flushed as they are written.
bool SyncFolder(const std::string&) {
  return true;
}

bool MakeFolders(const std::string& dir) {
  std::wstring wide = Wide(dir);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size_t cut = dir.find_last_of("/\\");
  // Stops at a drive (C:) or the start of a UNC name.
  if (cut != std::string::npos && cut > 0 && dir[cut - 1] != ':' &&
      !MakeFolders(dir.substr(0, cut))) {
    return false;
  }
  return CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

static std::wstring FullPath(const std::string& path) {
  wchar_t full[32768];
  DWORD n = GetFullPathNameW(Wide(path).c_str(), 32768, full, nullptr);
  if (n == 0 || n >= 32768) return Wide(path);
  std::wstring out(full, n);
  while (out.size() > 3 && out.back() == L'\\') out.pop_back();
  return out;
}

bool MakeFolderBeside(const std::string& dir, const char* tag, std::string* made) {
  std::wstring full = FullPath(dir);
  size_t cut = full.find_last_of(L'\\');
  if (cut == std::wstring::npos) return false;
  std::wstring prefix =
      full.substr(0, cut + 1) + L"." + full.substr(cut + 1) + L"." + WideFromUtf8(tag) + L"-";
  // Names are tried in turn until one is free; CreateDirectoryW claims it.
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    wchar_t suffix[16];
    swprintf(suffix, 16, L"%06lx", static_cast<unsigned long>((seed + attempt) & 0xFFFFFF));
    std::wstring name = prefix + suffix;
    if (CreateDirectoryW(name.c_str(), nullptr)) {
      *made = Utf8FromWide(name);
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool RenameFolder(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0) != 0;
}

bool RemoveEmptyFolder(const std::string& dir) {
  return RemoveDirectoryW(Wide(dir).c_str()) != 0;
}

void (*remove_tree_listed_hook)(const std::string& folder) = nullptr;

// The name itself, never what a link leads to. A folder is held without
// delete sharing while it is emptied, so that it cannot be renamed away
// and another put in its place.
static HANDLE OpenEntry(const std::wstring& path) {
  return CreateFileW(path.c_str(),
                     FILE_LIST_DIRECTORY | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// The path the handle's object has, in capitals; empty when unknown.
static std::wstring HeldPath(HANDLE handle) {
  std::vector<wchar_t> path(32768);
  DWORD n = GetFinalPathNameByHandleW(handle, path.data(), 32768, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= 32768) return L"";
  CharUpperBuffW(path.data(), n);
  return std::wstring(path.data(), n);
}

// Deletes the object the handle holds, a read-only one too.
static void DeleteHeld(HANDLE handle, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes =
        attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
}

// The names in the folder held open, read through its handle.
static std::vector<std::wstring> HeldNames(HANDLE folder) {
  std::vector<std::wstring> names;
  std::vector<LONGLONG> buffer(8192);  // 64 KB, aligned as the records need
  FILE_INFO_BY_HANDLE_CLASS next = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(folder, next, buffer.data(),
                                      static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)))) {
    next = FileIdBothDirectoryInfo;
    const char* at = reinterpret_cast<const char*>(buffer.data());
    while (true) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.push_back(name);
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
  return names;
}

// Empties the folder held open as folder. Each entry is opened on its own
// name and judged by what its handle shows before anything is removed. The
// path check matters beyond a swap: Wine opens what a Unix link leads to
// even with FILE_FLAG_OPEN_REPARSE_POINT, and shows it as a plain folder.
static void RemoveInside(HANDLE folder, const std::wstring& path, DWORD volume,
                         const std::wstring& medium) {
  std::vector<std::wstring> names = HeldNames(folder);
  if (remove_tree_listed_hook != nullptr) remove_tree_listed_hook(Utf8FromWide(path));
  for (const std::wstring& name : names) {
    std::wstring child_path = path + L"\\" + name;
    HANDLE child = OpenEntry(child_path);
    if (child == INVALID_HANDLE_VALUE) continue;
    BY_HANDLE_FILE_INFORMATION info;
    RemovalStep step = RemovalStep::kLeave;
    if (GetFileInformationByHandle(child, &info)) {
      std::wstring held = HeldPath(child);
      HeldEntry entry = {(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0,
                         info.dwVolumeSerialNumber == volume,
                         !medium.empty() && held.size() > medium.size() &&
                             held.compare(0, medium.size(), medium) == 0};
      step = DecideRemoval(entry);
    }
    if (step == RemovalStep::kDescend) RemoveInside(child, child_path, volume, medium);
    if (step != RemovalStep::kLeave) DeleteHeld(child, info.dwFileAttributes);
    CloseHandle(child);
  }
}

void RemoveTree(const std::string& dir) {
  HANDLE top = OpenEntry(FullPath(dir));
  if (top == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(top, &info)) {
    bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // A link, or a file, goes itself: what a link leads to is never touched.
    if (folder && !link) {
      std::wstring medium = HeldPath(top);
      if (!medium.empty() && medium.back() != L'\\') medium += L'\\';
      RemoveInside(top, FullPath(dir), info.dwVolumeSerialNumber, medium);
    }
    DeleteHeld(top, info.dwFileAttributes);
  }
  CloseHandle(top);
}

// The offset of the first name after the root: C:\ or \\server\share\.
static size_t RootLength(const std::wstring& full) {
  if (full.size() >= 3 && full[1] == L':') return 3;
  if (full.compare(0, 2, L"\\\\") != 0) return 0;
  size_t server = full.find(L'\\', 2);
  if (server == std::wstring::npos) return full.size();
  size_t share = full.find(L'\\', server + 1);
  return share == std::wstring::npos ? full.size() : share + 1;
}

std::string FindLinkOnTheWay(const std::string& path) {
  std::wstring full = FullPath(path);
  size_t end = RootLength(full);
  while (end < full.size()) {
    end = full.find(L'\\', end + 1);
    if (end == std::wstring::npos) end = full.size();
    std::wstring prefix = full.substr(0, end);
    DWORD attributes = GetFileAttributesW(prefix.c_str());
    // Nothing below a missing name can be a link yet.
    if (attributes == INVALID_FILE_ATTRIBUTES) return "";
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Utf8FromWide(prefix);
  }
  return "";
}

// The path as the file system finally opens it: junctions, links, subst
// drives and short names resolved. Text compares alone would let another
// name for the game folder pass as a folder apart from it. The part that
// does not exist yet is kept as written.
static std::wstring ResolvedPath(const std::string& path) {
  std::wstring existing = FullPath(path);
  std::wstring rest;
  static wchar_t resolved[32768];
  while (true) {
    HANDLE handle =
        CreateFileW(existing.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      DWORD n = GetFinalPathNameByHandleW(handle, resolved, 32768, FILE_NAME_NORMALIZED);
      CloseHandle(handle);
      if (n == 0 || n >= 32768) return existing + rest;
      std::wstring out(resolved, n);
      if (out.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        out = L"\\" + out.substr(7);
      } else if (out.compare(0, 4, L"\\\\?\\") == 0) {
        out = out.substr(4);
      }
      while (out.size() > 3 && out.back() == L'\\') out.pop_back();
      // rest starts with its separator.
      if (!rest.empty() && out.back() == L'\\') out.pop_back();
      return out + rest;
    }
    size_t root = RootLength(existing);
    size_t cut = existing.find_last_of(L'\\');
    if (cut == std::wstring::npos || root == 0 || existing.size() <= root) return existing + rest;
    // The root itself is tried last, keeping its separator.
    if (cut < root) cut = root - 1;
    rest = existing.substr(cut) + rest;
    existing = existing.substr(0, cut == root - 1 ? root : cut);
  }
}

bool IsSameOrInside(const std::string& inner, const std::string& outer) {
  std::wstring a = ResolvedPath(inner);
  std::wstring b = ResolvedPath(outer);
  // Windows compares names without regard to case.
  CharUpperBuffW(&a[0], static_cast<DWORD>(a.size()));
  CharUpperBuffW(&b[0], static_cast<DWORD>(b.size()));
  if (b.size() == 3 && b[1] == L':') return a.compare(0, 3, b) == 0;
  return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == L'\\');
}
