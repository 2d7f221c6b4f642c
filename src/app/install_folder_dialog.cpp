#include "app/install_folder_dialog.h"

#include <string.h>

#include "app/browse_folder.h"
#include "app/install_path.h"
#include "app/run_state.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "text/format.h"
#include "text/sjis.h"
#include "text/texts.h"
#include "win/long_path.h"
#include "win/window_text.h"

static char dialog_text[1024];
static char picked_folder[1024];
static char typed_folder[1024];

static void ShowInstallFolder(HWND dialog) {
  FormatText(dialog_text, sizeof dialog_text, kCaptionUpdate, settings.title);
  SetWindowText932(dialog, dialog_text);
  SetControlText932(dialog, IDC_FOLDER_EDIT, install_dir);
}

// A picked folder replaces whatever was typed, at once.
static void ChangeFolder(HWND dialog) {
  FormatText(dialog_text, sizeof dialog_text, kTextBrowseTitle, settings.path);
  bool unmappable = false;
  if (BrowseForFolder(dialog, picked_folder, sizeof picked_folder, dialog_text, &unmappable) != 1)
    return;
  CopyText(install_dir, sizeof install_dir, picked_folder);
  install_dir_unmappable = unmappable;
  SetControlText932(dialog, IDC_FOLDER_EDIT, install_dir);
}

// Whether the folder exists is the run's to test once the dialog is gone.
// The box shows a character that code page 932 cannot spell as "?": the
// same text coming back still names the folder that had it, while a text
// the user changed is judged on its own.
static void AcceptFolder(HWND dialog) {
  bool unmappable = false;
  GetControlText932(dialog, IDC_FOLDER_EDIT, typed_folder, sizeof typed_folder, &unmappable);
  if (strncmp(typed_folder, install_dir, sizeof typed_folder) != 0)
    install_dir_unmappable = unmappable;
  CopyText(install_dir, sizeof install_dir, typed_folder);
  EndDialog(dialog, 1);
  CheckInstallPath(NamesExistingFile(install_dir));
  proceed = 1;
}

INT_PTR CALLBACK InstallFolderDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ShowInstallFolder(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_BROWSE:  // フォルダ変更
          ChangeFolder(dialog);
          return TRUE;
        case IDOK:  // 開始, or Enter
          AcceptFolder(dialog);
          return TRUE;
        case IDCANCEL:  // やめる, or Escape
          EndDialog(dialog, 1);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}
