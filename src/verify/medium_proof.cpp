#include "verify/medium_proof.h"

#include <string.h>
#include <windows.h>

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "text/sjis.h"
#include "verify/fingerprint_slot.h"
#include "verify/hash_list.h"
#include "win/sha256.h"
#include "win/wide_text.h"

static char hash_list[kMaxHashListSize];
static size_t hash_list_size;
// The list's lines ordered by path, built once: every entry is looked up,
// and a scan per entry would cost N^2 on a list of tens of thousands.
static size_t hash_index[kMaxHashLines];
static size_t hash_index_count;
static bool list_applies;
static Sha256 file_hash;

enum MediumFile { kFileMissing, kFileRead, kFileBroken };

// Reads the whole of an open file into out (at most size bytes), hashing it
// on the way into digest unless that is null. False when it cannot be read
// or is larger.
static bool ReadAndHash(HANDLE file, char* out, size_t size, size_t* count, unsigned char* digest) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file, &length) || length.QuadPart < 0 ||
      static_cast<unsigned long long>(length.QuadPart) > size) {
    return false;
  }
  if (digest != nullptr) StartSha256(&file_hash);
  size_t total = 0;
  for (;;) {
    DWORD got = 0;
    DWORD want = size - total > 65536 ? 65536 : static_cast<DWORD>(size - total);
    if (!ReadFile(file, out + total, want, &got, nullptr)) break;
    if (got == 0) break;
    if (digest != nullptr) AddToSha256(&file_hash, out + total, got);
    total += got;
    // One byte more than the size read means the file grew: not the file
    // whose size was taken.
    if (total == size) {
      char extra;
      if (ReadFile(file, &extra, 1, &got, nullptr) && got != 0) total = size + 1;
      break;
    }
  }
  bool ok = digest == nullptr || FinishSha256(&file_hash, digest);
  *count = total;
  return ok && total == static_cast<unsigned long long>(length.QuadPart);
}

static HANDLE OpenForCheck(const wchar_t* name) {
  // Readers may share it; writers, renames and deletes wait until it has
  // been read.
  return CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

static MediumFile ReadHashList(unsigned char* digest) {
  DWORD attributes = GetFileAttributesW(L"update.sha256");
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? kFileMissing : kFileBroken;
  }
  HANDLE file = OpenForCheck(L"update.sha256");
  if (file == INVALID_HANDLE_VALUE) return kFileBroken;
  bool read = ReadAndHash(file, hash_list, sizeof hash_list, &hash_list_size, digest);
  CloseHandle(file);
  return read ? kFileRead : kFileBroken;
}

// update.ini's bytes, read once: the parser reads them from here, so the
// bytes it parses are the bytes hashed. The buffer sets the largest
// update.ini.
static char settings_bytes[kMaxSettingsSize];
static size_t settings_size;
static bool settings_found;

// Any failure to open update.ini is its absence, as on a medium without one;
// one that opens but cannot be read whole is damaged.
static MediumFile ReadSettingsBytes(unsigned char* digest) {
  HANDLE file = OpenForCheck(L"update.ini");
  if (file == INVALID_HANDLE_VALUE) return kFileMissing;
  bool read = ReadAndHash(file, settings_bytes, sizeof settings_bytes, &settings_size, digest);
  CloseHandle(file);
  return read ? kFileRead : kFileBroken;
}

// The version record, when the list vouches for it: read once, whole, and
// hashed on the way, so that the record judged is the record proven. It is
// held to the list's own largest size.
static char versions_bytes[kMaxHashListSize];
static size_t versions_size;
static bool versions_held;

// A record that the list does not name is not believed: it is left unread.
// One it names must be there with its listed bytes, or the medium is
// refused, as for update.ini.
static bool ReadVersions() {
  unsigned char listed[kSha256Size];
  static const char kName[] = "update.versions";
  if (!list_applies || FindIndexedHash(hash_list, hash_index, hash_index_count, kName,
                                       sizeof kName - 1, listed) != kHashListed) {
    return true;
  }
  HANDLE file = OpenForCheck(L"update.versions");
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char digest[kSha256Size];
  bool read = ReadAndHash(file, versions_bytes, sizeof versions_bytes, &versions_size, digest);
  CloseHandle(file);
  versions_held = read && memcmp(digest, listed, kSha256Size) == 0;
  return versions_held;
}

static bool ReadSettings() {
  unsigned char listed[kSha256Size];
  static const char kName[] = "update.ini";
  if (list_applies && FindIndexedHash(hash_list, hash_index, hash_index_count, kName,
                                      sizeof kName - 1, listed) != kHashListed) {
    return false;
  }
  unsigned char digest[kSha256Size];
  MediumFile file = ReadSettingsBytes(list_applies ? digest : nullptr);
  settings_found = file == kFileRead;
  if (file == kFileBroken) return false;
  if (!list_applies) return true;
  return settings_found && memcmp(digest, listed, kSha256Size) == 0;
}

bool HoldProvenSettings() {
  list_applies = false;
  hash_list_size = 0;
  hash_index_count = 0;
  settings_found = false;
  versions_size = 0;
  versions_held = false;
  unsigned char fingerprint[kFingerprintSize];
  bool bound = ReadOwnFingerprint(fingerprint);
  unsigned char digest[kSha256Size];
  MediumFile list = ReadHashList(digest);
  if (list == kFileBroken || (list == kFileMissing && bound)) return false;
  if (list == kFileRead) {
    // Without a fingerprint the list still catches damage; with one it also
    // catches a medium rewritten as a whole.
    if (bound && memcmp(digest, fingerprint, kSha256Size) != 0) return false;
    if (FirstMalformedLine(hash_list, hash_list_size) != 0) return false;
    // More lines than entries and update.ini: not a list this program wrote.
    hash_index_count = IndexHashList(hash_list, hash_list_size, hash_index, kMaxHashLines);
    if (hash_index_count > kMaxHashLines) return false;
    list_applies = true;
  }
  return ReadSettings() && ReadVersions();
}

const char* HeldSettings(size_t* size) {
  *size = settings_found ? settings_size : 0;
  return settings_found ? settings_bytes : nullptr;
}

const char* HeldVersions(size_t* size) {
  *size = versions_held ? versions_size : 0;
  return versions_held ? versions_bytes : nullptr;
}

bool ReleaseProvenSettings(uint32_t mask) {
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
  wchar_t wide[kMaxFolderLength + 1 + kMaxEntryLength + 1];
  if (!ToWide(path, wide, sizeof wide / sizeof wide[0])) return false;
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr);
  if (n == 0) return false;
  // In UTF-8 the byte 0x5C is a backslash and nothing else.
  for (char* p = out; *p != '\0'; ++p) {
    if (*p == '\\') *p = '/';
  }
  return true;
}

bool GameSpelling(const char* entry, char* out, size_t size) {
  return ListSpelling(entry, out, size);
}

bool ListedDigest(const char* entry, unsigned char* digest) {
  char path[kMaxFolderLength + 1 + kMaxEntryLength + 1];
  char spelled[kMaxListedPath + 1];
  if (!MediumPathOf(entry, path, sizeof path)) return false;
  if (!ListSpelling(path, spelled, sizeof spelled)) return false;
  return FindIndexedHash(hash_list, hash_index, hash_index_count, spelled, strlen(spelled),
                         digest) == kHashListed;
}
