#include <windows.h>

#include <stdio.h>

#include "medium_files.h"
#include "utf8_wide.h"
#include "win/wide_text.h"

bool IsReadableFolder(const std::string& dir) {
  std::wstring pattern = WideFromUtf8(dir);
  if (pattern.empty()) return false;
  DWORD attributes = GetFileAttributesW(pattern.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  if (pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  // An empty drive root lists nothing at all, not even "." and "..".
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  FindClose(find);
  return true;
}

MediumEntry FindOnMedium(const std::string& dir, const std::string& relative, std::string* found) {
  // The same conversion as the updater's own file calls.
  wchar_t name[2048];
  if (!ToWide(relative.c_str(), name, sizeof name / sizeof name[0])) return MediumEntry::kMissing;
  std::wstring path = WideFromUtf8(dir);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += name;
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return MediumEntry::kMissing;
  if (found != nullptr) *found = Utf8FromWide(path);
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? MediumEntry::kFolder : MediumEntry::kFile;
}

// Windows matches the names itself.
MediumListingScope::MediumListingScope() {}
MediumListingScope::~MediumListingScope() {}

bool ReadMediumFile(const std::string& path, std::string* bytes) {
  FILE* file = _wfopen(WideFromUtf8(path).c_str(), L"rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, n);
  bool ok = ferror(file) == 0;
  fclose(file);
  return ok;
}
