// The process-wide settings record, its file list and the list cursor.
#pragma once

#include <stdint.h>
#include <stddef.h>

constexpr int kMaxFileTypes = 16;
// The list lives in static storage: only the slots in use are ever touched,
// so a short list costs its own size, not the capacity's.
constexpr int kMaxFiles = 65536;
// The longest path an entry holds, in code page 932 bytes.
constexpr size_t kMaxEntryLength = 259;
constexpr uint32_t kNoTypeFlag = 0x80000000u;

struct FileEntry {
  char name[kMaxEntryLength + 1];  // path relative to the source folder and to the game folder
  uint32_t flags;                  // one bit: the type index under which it is listed, or bit 31
};

struct SetupSettings {
  char title[100];
  char title_old[100];
  char path[256];
  char defdir[256];
  char reg_key[1024];
  char reg_p[1024];
  char reg_s[1024];
  char reg_t[1024];
  char md[256];
  char exe[256];
  char lnk[256];
  char savedir[256];
  char savefile[256];
  int8_t install_lst_count;
  char install_lst[kMaxFileTypes][64];
  int32_t file_count;
  // File lines that the list could not hold (a name too long, the list
  // full), by the bit of their type: the update must not call itself
  // complete without them.
  int32_t left_out[33];
  FileEntry files[kMaxFiles];
};

extern SetupSettings settings;

// Puts every text field back to its built-in default and empties the lists.
// The slots of the file list are left as they are: only the count says
// which are in use.
void ResetSettings();

// How many file lines of the types in mask the list could not hold.
int CountLeftOut(uint32_t mask);

// Starts a scan of the file list for entries whose flags share a bit with mask.
void SelectFiles(uint32_t mask);

// Copies the next selected entry's name into out (size bytes, at least
// kMaxEntryLength + 1) and
// returns 0; returns 1, leaving out alone, when no selected entry remains.
// Entries marked already new are passed over.
int NextSelectedFile(char* out, size_t size);

// The index in files of the entry NextSelectedFile gave last.
int LastSelectedIndex();

// An entry whose game file already holds its new bytes: no scan of the list
// gives it again, so nothing checks, counts or writes it. ResetSettings
// clears every mark.
void MarkAlreadyNew(int index);
void ClearAlreadyNew();
bool IsAlreadyNew(int index);
