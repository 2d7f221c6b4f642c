#include "verify/medium_proof.h"

#include <string.h>
#include <windows.h>

#include "settings/settings.h"
#include "text/sjis.h"
#include "verify/fingerprint_slot.h"
#include "verify/hash_list.h"
#include "win/sha256.h"
#include "win/wide_text.h"

static char hash_list[kMaxHashListSize];
static size_t hash_list_size;
static bool list_applies;
static HANDLE settings_hold = INVALID_HANDLE_VALUE;
static Sha256 file_hash;

enum ListFile { kListMissing, kListRead, kListBroken };

// Reads the whole of an open file into out (at most size bytes), hashing it
// on the way. False when it cannot be read or is larger.
static bool ReadAndHash(HANDLE file, char* out, size_t size, size_t* count, unsigned char* digest) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file, &length) || length.QuadPart < 0 ||
      static_cast<unsigned long long>(length.QuadPart) > size) {
    return false;
  }
  StartSha256(&file_hash);
  size_t total = 0;
  for (;;) {
    DWORD got = 0;
    DWORD want = size - total > 65536 ? 65536 : static_cast<DWORD>(size - total);
    if (!ReadFile(file, out + total, want, &got, nullptr)) break;
    if (got == 0) break;
    AddToSha256(&file_hash, out + total, got);
    total += got;
    // One byte more than the size read means the file grew: not the file
    // whose size was taken.
    if (total == size) {
      char extra;
      if (ReadFile(file, &extra, 1, &got, nullptr) && got != 0) total = size + 1;
      break;
    }
  }
  bool ok = FinishSha256(&file_hash, digest);
  *count = total;
  return ok && total == static_cast<unsigned long long>(length.QuadPart);
}

static HANDLE OpenForCheck(const wchar_t* name) {
  // Readers may share it; writers, renames and deletes wait until the
  // check and the parse are over.
  return CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

static ListFile ReadHashList(unsigned char* digest) {
  DWORD attributes = GetFileAttributesW(L"update.sha256");
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? kListMissing : kListBroken;
  }
  HANDLE file = OpenForCheck(L"update.sha256");
  if (file == INVALID_HANDLE_VALUE) return kListBroken;
  bool read = ReadAndHash(file, hash_list, sizeof hash_list, &hash_list_size, digest);
  CloseHandle(file);
  return read ? kListRead : kListBroken;
}

// update.ini's bytes against its line, in a buffer of its own: the parser
// reads them again through its own handle while this one keeps writers out.
static char settings_bytes[kMaxHashListSize];

static bool HoldSettingsFile() {
  unsigned char listed[kSha256Size];
  static const char kName[] = "update.ini";
  if (LookUpHash(hash_list, hash_list_size, kName, sizeof kName - 1, listed) != kHashListed) {
    return false;
  }
  settings_hold = OpenForCheck(L"update.ini");
  if (settings_hold == INVALID_HANDLE_VALUE) return false;
  unsigned char digest[kSha256Size];
  size_t count = 0;
  return ReadAndHash(settings_hold, settings_bytes, sizeof settings_bytes, &count, digest) &&
         memcmp(digest, listed, kSha256Size) == 0;
}

bool HoldProvenSettings() {
  list_applies = false;
  hash_list_size = 0;
  unsigned char fingerprint[kFingerprintSize];
  bool bound = ReadOwnFingerprint(fingerprint);
  unsigned char digest[kSha256Size];
  ListFile list = ReadHashList(digest);
  if (list == kListMissing) return !bound;
  if (list == kListBroken) return false;
  // Without a fingerprint the list still catches damage; with one it also
  // catches a medium rewritten as a whole.
  if (bound && memcmp(digest, fingerprint, kSha256Size) != 0) return false;
  if (FirstMalformedLine(hash_list, hash_list_size) != 0) return false;
  list_applies = true;
  return HoldSettingsFile();
}

bool ReleaseProvenSettings(uint32_t mask) {
  if (settings_hold != INVALID_HANDLE_VALUE) CloseHandle(settings_hold);
  settings_hold = INVALID_HANDLE_VALUE;
  if (!list_applies) return true;
  char entry[sizeof settings.files[0].name];
  unsigned char digest[kSha256Size];
  SelectFiles(mask);
  while (NextSelectedFile(entry, sizeof entry) == 0) {
    if (!ListedDigest(entry, digest)) return false;
  }
  return true;
}

bool MediumListApplies() {
  return list_applies;
}

bool MediumPathOf(const char* entry, char* out, size_t size) {
  char folder[sizeof settings.path];
  CopyText(folder, sizeof folder, settings.path);
  RemoveTrailingBackslash(folder);
  out[0] = '\0';
  bool fit = CopyText(out, size, folder);
  if (folder[0] != '\0') fit = AppendText(out, size, "\\") && fit;
  return AppendText(out, size, entry) && fit;
}

// The list's spelling of a medium path: UTF-8 with '/' between names.
static bool ListSpelling(const char* path, char* out, size_t size) {
  wchar_t wide[1024];
  if (!ToWide(path, wide, 1024)) return false;
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr);
  if (n == 0) return false;
  // In UTF-8 the byte 0x5C is a backslash and nothing else.
  for (char* p = out; *p != '\0'; ++p) {
    if (*p == '\\') *p = '/';
  }
  return true;
}

bool ListedDigest(const char* entry, unsigned char* digest) {
  char path[1024];
  char spelled[kMaxListedPath * 3 + 1];
  if (!MediumPathOf(entry, path, sizeof path)) return false;
  if (!ListSpelling(path, spelled, sizeof spelled)) return false;
  return LookUpHash(hash_list, hash_list_size, spelled, strlen(spelled), digest) == kHashListed;
}
