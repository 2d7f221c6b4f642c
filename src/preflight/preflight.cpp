#include "preflight/preflight.h"

#include <windows.h>

#include "app/run_state.h"
#include "copy/copy_dialog.h"
#include "copy/copy_paths.h"
#include "copy/medium.h"
#include "preflight/preflight_text.h"
#include "preflight/space_plan.h"
#include "settings/settings.h"
#include "text/format.h"
#include "text/texts.h"
#include "ui/message_box.h"
#include "win/file_holders.h"
#include "win/long_path.h"
#include "win/wide_text.h"

enum CheckResult { kCheckPassed, kCheckFailed, kCheckRetry };

static char entry[kMaxEntryLength + 1];
static CopyPaths paths;
static char message[1024];
static NameList names;
// The files in use, for the Restart Manager: the first ten are enough to
// find the program that holds them.
static wchar_t in_use_paths[kListedNames][1024];

// Walks the entries that the copy will select. Entries that it will refuse
// (outside the game folder, paths too long) are passed over: the copy
// reports those itself.
static void FirstEntry() {
  SelectFiles(kCopyMask);
}

static bool NextEntry() {
  while (NextSelectedFile(entry, sizeof entry) == 0) {
    if (BuildCopyPaths(kMediumRoot, settings.path, install_dir, entry, &paths) == kCopyPathsReady)
      return true;
  }
  return false;
}

struct FileFacts {
  bool exists;  // as a file, not a folder
  unsigned long long size;
};

static FileFacts ReadFacts(const char* path) {
  FileFacts facts = {false, 0};
  wchar_t wide[1024];
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!ToWidePath(path, wide, 1024) || !GetFileAttributesExW(wide, GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return facts;
  }
  facts.exists = true;
  facts.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return facts;
}

// A cut download or a disc read error: better to change nothing than to
// leave the game half updated.
static CheckResult CheckSourcesPresent() {
  ClearNameList(&names);
  FirstEntry();
  while (NextEntry()) {
    if (!ReadFacts(paths.source_path).exists) AddName(&names, entry);
  }
  if (names.count == 0) return kCheckPassed;
  FormatMissingText(names, message, sizeof message);
  ShowMessage(nullptr, message, kCaptionUpdateFailed);
  return kCheckFailed;
}

// A standard user's game under Program Files. The probe's name is this
// run's own (its process id and a count), so a file of the user's that
// bears it is never touched: CREATE_NEW refuses it and the next name is
// tried. The probe goes when its handle closes, even if the run is killed.
static CheckResult CheckFolderWritable() {
  static int probes_made;
  const int pid = static_cast<int>(GetCurrentProcessId() & 0x7FFFFFFF);
  bool writable = false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char probe[1024];
    wchar_t wide[1024];
    if (!FormatText(probe, sizeof probe, "%s\\~update-probe-%d-%d.tmp", install_dir, pid,
                    ++probes_made) ||
        !ToWide(probe, wide, 1024)) {
      break;
    }
    HANDLE file = CreateFileW(
        wide, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      writable = true;
      break;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  if (writable) return kCheckPassed;
  FormatNotWritableText(install_dir, message, sizeof message);
  ShowMessage(nullptr, message, kCaptionUpdateFailed);
  return kCheckFailed;
}

// The allocation unit of the game folder's volume, 0 when it cannot be
// read. GetDiskFreeSpaceW wants the volume's root, not a folder on it.
static unsigned long long ClusterBytes() {
  wchar_t wide[1024];
  wchar_t volume[1024];
  DWORD sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters;
  if (!ToWide(install_dir, wide, 1024) || !GetVolumePathNameW(wide, volume, 1024) ||
      !GetDiskFreeSpaceW(volume, &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                         &total_clusters)) {
    return 0;
  }
  return static_cast<unsigned long long>(sectors_per_cluster) * bytes_per_sector;
}

static bool FreeSpace(unsigned long long* free_bytes) {
  wchar_t wide[1024];
  ULARGE_INTEGER available;
  if (!ToWide(install_dir, wide, 1024) ||
      !GetDiskFreeSpaceExW(wide, &available, nullptr, nullptr)) {
    return false;
  }
  *free_bytes = available.QuadPart;
  return true;
}

// A full disk part way leaves the files before it replaced and the rest not.
// Free space that cannot be read is no reason to stop: the copy still
// fails safely, file by file.
static CheckResult CheckFreeSpace() {
  SpacePlan plan;
  ClearSpacePlan(&plan, ClusterBytes());
  FirstEntry();
  while (NextEntry()) {
    PlanReplacement(&plan, ReadFacts(paths.source_path).size, ReadFacts(paths.dest_path).size);
  }
  unsigned long long free_bytes = 0;
  unsigned long long needed = SpaceNeeded(plan);
  if (!FreeSpace(&free_bytes) || free_bytes >= needed) return kCheckPassed;
  FormatNoSpaceText(needed, free_bytes, message, sizeof message);
  return AskRetry(nullptr, message, kCaptionUpdateFailed) ? kCheckRetry : kCheckFailed;
}

// Opened for writing without sharing: a running program's own file, or one
// open elsewhere without write sharing, refuses with a sharing or lock
// violation. A read-only file refuses with access denied instead and is
// not in use; the copy reports it as before.
static bool InUse(const char* path, wchar_t* wide) {
  if (!ToWidePath(path, wide, 1024)) return false;
  HANDLE file = CreateFileW(wide, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

void FormatFilesInUse(const NameList& names, const wchar_t (*paths)[1024], char* out, size_t size) {
  const wchar_t* listed[kListedNames];
  unsigned count = names.count < kListedNames ? names.count : kListedNames;
  for (unsigned i = 0; i < count; ++i) listed[i] = paths[i];
  char holders[512];
  NameFileHolders(listed, count, holders, sizeof holders);
  FormatInUseText(names, holders, out, size);
}

// The game still running, or a scan: replacing some files and not others
// is the mix of versions that makes a game crash.
static CheckResult CheckFilesNotInUse() {
  ClearNameList(&names);
  FirstEntry();
  wchar_t beyond[1024];
  while (NextEntry()) {
    wchar_t* wide = names.count < kListedNames ? in_use_paths[names.count] : beyond;
    if (ReadFacts(paths.dest_path).exists && InUse(paths.dest_path, wide)) AddName(&names, entry);
  }
  if (names.count == 0) return kCheckPassed;
  FormatFilesInUse(names, in_use_paths, message, sizeof message);
  return AskRetry(nullptr, message, kCaptionUpdateFailed) ? kCheckRetry : kCheckFailed;
}

// In order; a Retry runs every check again, since anything may have
// changed while the box was open.
static CheckResult CheckAll() {
  CheckResult (*const checks[])() = {CheckSourcesPresent, CheckFolderWritable, CheckFreeSpace,
                                     CheckFilesNotInUse};
  for (auto check : checks) {
    CheckResult result = check();
    if (result != kCheckPassed) return result;
  }
  return kCheckPassed;
}

bool RunPreflight() {
  CheckResult result;
  do {
    result = CheckAll();
  } while (result == kCheckRetry);
  return result == kCheckPassed;
}
