#include "registry/install_record.h"

#include <string.h>
#include <windows.h>

#include "text/sjis.h"
#include "win/wide_text.h"

// What the installer's reader could hold: names of 255 characters and data of
// 256 bytes, both in the code page 932 form in which the installer wrote them.
constexpr DWORD kNameCapacity = 256;
constexpr size_t kDataCapacity = 256;
// UTF-16 data of more than 1024 bytes has more than 512 units; each unit, or
// each surrogate pair, becomes at least one byte, so that never fits 256.
constexpr DWORD kWideDataCapacity = 1024;

constexpr char kGamePathName[] = "GAMEPATH";

// One value of the key in the form the installer wrote it.
struct RecordValue {
  char name[kNameCapacity * 2];
  size_t name_length;
  char data[kDataCapacity + 1];  // terminated after data_length bytes
  size_t data_length;
  bool data_unmappable;  // a character of the text became "?"
};

static bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Converts count UTF-16 units, embedded NULs included, to code page 932 in
// out. Returns the byte count, or -1 when it exceeds capacity. A name with a
// character that code page 932 cannot spell has "?" in it, so it can never
// pass for GAMEPATH.
static long Narrow(const wchar_t* text, int count, char* out, size_t capacity, bool* unmappable) {
  char whole[kWideDataCapacity * 2];
  int n = NarrowText(text, count, whole, static_cast<int>(sizeof whole), unmappable);
  if (n < 0 || static_cast<size_t>(n) > capacity) return -1;
  memcpy(out, whole, n);
  return n;
}

// Brings an enumerated value into its code page 932 form: string types are
// converted, other types keep their bytes. False when name or data does not
// fit the capacities above.
static bool ToRecordValue(const wchar_t* name, DWORD name_count, DWORD type, const BYTE* data,
                          DWORD data_size, RecordValue* value) {
  long name_length =
      Narrow(name, static_cast<int>(name_count), value->name, kNameCapacity - 1, nullptr);
  if (name_length < 0) return false;
  value->name_length = static_cast<size_t>(name_length);
  value->name[name_length] = '\0';
  long data_length;
  value->data_unmappable = false;
  if (IsStringType(type)) {
    data_length = Narrow(reinterpret_cast<const wchar_t*>(data), static_cast<int>(data_size / 2),
                         value->data, kDataCapacity, &value->data_unmappable);
  } else {
    data_length = data_size <= kDataCapacity ? static_cast<long>(data_size) : -1;
    if (data_length > 0) memcpy(value->data, data, data_size);
  }
  if (data_length < 0) return false;
  value->data_length = static_cast<size_t>(data_length);
  value->data[data_length] = '\0';
  return true;
}

// Case matters: a name that differs only in case is some other program's.
static bool IsGamePath(const RecordValue& value) {
  return value.name_length == sizeof kGamePathName - 1 &&
         memcmp(value.name, kGamePathName, value.name_length) == 0;
}

long ReadInstallRecord(const char* key_path, char* dest, size_t size, bool* unmappable) {
  dest[0] = '\0';
  *unmappable = false;
  wchar_t wide_key[1024];
  if (!ToWide(key_path, wide_key, sizeof wide_key / sizeof wide_key[0])) {
    return ERROR_INVALID_PARAMETER;
  }
  HKEY key;
  DWORD disposition;
  LONG status =
      RegCreateKeyExW(HKEY_CURRENT_USER, wide_key, 0, const_cast<wchar_t*>(L""),
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return status;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameCapacity];
    wchar_t data[kWideDataCapacity / 2 + 1];
    DWORD name_count = kNameCapacity;
    DWORD data_size = kWideDataCapacity;
    DWORD type = 0;
    status = RegEnumValueW(key, index, name, &name_count, nullptr, &type,
                           reinterpret_cast<BYTE*>(data), &data_size);
    // A value too large for the installer's reader is some other program's:
    // pass over it instead of giving up on the values after it.
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    RecordValue value;
    if (!ToRecordValue(name, name_count, type, reinterpret_cast<const BYTE*>(data), data_size,
                       &value)) {
      continue;
    }
    // The installer stores the text without a terminator: the data ends at
    // its length or its first NUL, whichever comes first.
    if (IsGamePath(value)) {
      CopyText(dest, size, value.data);
      *unmappable = value.data_unmappable;
    }
  }
  return RegCloseKey(key);
}
