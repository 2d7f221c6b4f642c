// The update run: load the settings, find the game folder, let the user
// confirm it, learn which version it holds, copy the files, and say how it
// went.
#include <windows.h>
#include <commctrl.h>

#include "app/install_folder_dialog.h"
#include "app/run_state.h"
#include "copy/copy_dialog.h"
#include "preflight/preflight.h"
#include "preflight/preflight_text.h"
#include "registry/install_record.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "text/format.h"
#include "text/texts.h"
#include "ui/message_box.h"
#include "verify/medium_proof.h"
#include "verify/own_signature.h"
#include "versions/game_files.h"
#include "versions/identify_dialog.h"
#include "win/dll_search.h"
#include "win/wide_text.h"

// The run's states; each is left through the function named in RunStep.
enum RunState {
  kLoading,
  kMediumRefused,
  kNotInstalled,
  kChoosingFolder,
  kCheckingFolder,
  kFolderUnmappable,
  kFolderMissing,
  kNotAFolder,
  kIdentifying,
  kNotThisVersion,
  kAlreadyApplied,
  kPreflight,
  kCopying,
  kComplete,
  kIncomplete,
  kEnd,
};

static HINSTANCE app_instance;

// The medium is checked before its settings are believed and before the
// install record is read, which can create a registry key. A signed program
// bound to no list would vouch for any medium: it refuses them all. The parser
// reads the bytes that were checked, from memory: update.ini is not opened again.
static RunState LoadSettingsAndRecord() {
  ResetSettings();
  if (SignedButUnbound()) return kMediumRefused;
  if (!HoldProvenSettings()) return kMediumRefused;
  // A version record the list vouches for but that cannot be read is as
  // damaged as a tampered one.
  if (!IndexVersionRecord()) return kMediumRefused;
  size_t settings_size = 0;
  const char* settings_bytes = HeldSettings(&settings_size);
  OpenSettingsFile(settings_bytes, settings_size);
  ParseSettingsFile();
  CloseSettingsFile();
  if (!ReleaseProvenSettings(kCopyMask)) return kMediumRefused;
  ReadInstallRecord(settings.reg_key, install_dir, sizeof install_dir, &install_dir_unmappable);
  return install_dir[0] == '\0' ? kNotInstalled : kChoosingFolder;
}

static RunState ShowMediumRefused() {
  ShowMessage(nullptr, kTextMediumDamaged, kCaptionUpdateFailed);
  return kEnd;
}

static RunState ShowNotInstalled() {
  char text[1024];
  FormatText(text, sizeof text, kTextNotInstalled, settings.title_old);
  ShowMessage(nullptr, text, kCaptionUpdateFailed);
  return kEnd;
}

static RunState ChooseFolder() {
  DialogBoxParamW(app_instance, L"UPDATE", nullptr, InstallFolderDialog, 0);
  return proceed == 1 ? kCheckingFolder : kEnd;
}

// The run never creates the game folder: a missing one means a wrong path.
// A folder whose name code page 932 cannot spell cannot be reached through
// install_dir at all; saying so beats calling it missing.
static RunState CheckFolder() {
  if (install_dir_unmappable) return kFolderUnmappable;
  wchar_t wide[1024];
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  if (ToWide(install_dir, wide, sizeof wide / sizeof wide[0]))
    attributes = GetFileAttributesW(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES) return kFolderMissing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return kNotAFolder;
  return kIdentifying;
}

static RunState ShowFolderUnmappable() {
  char text[1024];
  FormatUnmappableFolderText(install_dir, text, sizeof text);
  ShowMessage(nullptr, text, kCaptionUpdateFailed);
  return kEnd;
}

static RunState ShowFolderMissing() {
  ShowMessage(nullptr, kTextFolderMissing, kCaptionUpdateFailed);
  return kEnd;
}

static RunState ShowNotAFolder() {
  ShowMessage(nullptr, kTextNotAFolder, kCaptionFolderName);
  return kEnd;
}

// Only a medium with a list knows the new files' bytes; a hand-made one is
// copied whole, as it always was.
static RunState IdentifyGame() {
  if (!MediumListApplies()) return kPreflight;
  identify_closed = true;
  DialogBoxParamW(app_instance, L"IDENTIFY", nullptr, IdentifyDialog, 0);
  if (identify_closed) return kEnd;
  switch (identify_outcome) {
    case kIdentifyUpdate:
      return kPreflight;
    case kIdentifyApplied:
      return kAlreadyApplied;
    case kIdentifyRefuse:
      break;
  }
  return kNotThisVersion;
}

// An older or newer game, or a changed file: copying over it would leave
// a mix of versions that no one released.
static RunState ShowNotThisVersion() {
  char text[1024];
  FormatNotThisVersionText(unknown_files, text, sizeof text);
  ShowMessage(nullptr, text, kCaptionUpdateFailed);
  return kEnd;
}

static RunState ShowAlreadyApplied() {
  char caption[256];
  FormatText(caption, sizeof caption, kCaptionUpdate, settings.title);
  ShowMessage(nullptr, kTextAlreadyApplied, caption);
  return kEnd;
}

// An update that cannot go through changes nothing: the checks say why once.
static RunState CheckBeforeCopy() {
  return RunPreflight() ? kCopying : kEnd;
}

static RunState CopyFiles() {
  DialogBoxParamW(app_instance, L"FILECOPY", nullptr, CopyDialog, 0);
  if (proceed != 1) return kEnd;
  return copy_failed_count > 0 ? kIncomplete : kComplete;
}

static RunState ShowComplete() {
  char caption[256];
  FormatText(caption, sizeof caption, kCaptionUpdate, settings.title);
  ShowMessage(nullptr, kTextComplete, caption);
  return kEnd;
}

// Files that were not copied must not be reported as a complete update.
static RunState ShowIncomplete() {
  char text[1024];
  FormatText(text, sizeof text, kTextIncomplete, copy_failed_count);
  ShowMessage(nullptr, text, kCaptionUpdateFailed);
  return kEnd;
}

static RunState RunStep(RunState state) {
  switch (state) {
    case kLoading:
      return LoadSettingsAndRecord();
    case kMediumRefused:
      return ShowMediumRefused();
    case kNotInstalled:
      return ShowNotInstalled();
    case kChoosingFolder:
      return ChooseFolder();
    case kCheckingFolder:
      return CheckFolder();
    case kFolderUnmappable:
      return ShowFolderUnmappable();
    case kFolderMissing:
      return ShowFolderMissing();
    case kNotAFolder:
      return ShowNotAFolder();
    case kIdentifying:
      return IdentifyGame();
    case kNotThisVersion:
      return ShowNotThisVersion();
    case kAlreadyApplied:
      return ShowAlreadyApplied();
    case kPreflight:
      return CheckBeforeCopy();
    case kCopying:
      return CopyFiles();
    case kComplete:
      return ShowComplete();
    case kIncomplete:
      return ShowIncomplete();
    case kEnd:
      break;
  }
  return kEnd;
}

// The manifest asks for the version 6 controls; loading them here makes
// their classes known before the first dialog.
static void StartRun(HINSTANCE instance) {
  app_instance = instance;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
}

// Arguments are ignored; the exit code is 1 on every path, success included.
// Every DLL but kernel32 is delay-loaded, so none is mapped before the search
// is restricted here.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  StartRun(instance);
  RunState state = kLoading;
  while (state != kEnd) state = RunStep(state);
  return 1;
}
