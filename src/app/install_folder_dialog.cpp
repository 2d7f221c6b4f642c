#include "app/install_folder_dialog.h"

#include "app/browse_folder.h"
#include "app/install_path.h"
#include "app/run_state.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "text/format.h"
#include "text/sjis.h"
#include "text/texts.h"
#include "win/window_text.h"

static char dialog_text[1024];
static char picked_folder[1024];

static void ShowInstallFolder(HWND dialog) {
  FormatText(dialog_text, sizeof dialog_text, kCaptionUpdate, settings.title);
  SetWindowText932(dialog, dialog_text);
  SetControlText932(dialog, IDC_FOLDER_EDIT, install_dir);
}

// A picked folder replaces whatever was typed, at once.
static void ChangeFolder(HWND dialog) {
  FormatText(dialog_text, sizeof dialog_text, kTextBrowseTitle, settings.path);
  if (BrowseForFolder(dialog, picked_folder, sizeof picked_folder, dialog_text) != 1) return;
  CopyText(install_dir, sizeof install_dir, picked_folder);
  SetControlText932(dialog, IDC_FOLDER_EDIT, install_dir);
}

// Whether the folder exists is the run's to test once the dialog is gone.
static void AcceptFolder(HWND dialog) {
  GetControlText932(dialog, IDC_FOLDER_EDIT, install_dir, sizeof install_dir);
  EndDialog(dialog, 1);
  CheckInstallPath();
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
