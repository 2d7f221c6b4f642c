#include "app/browse_folder.h"

#include <objbase.h>
#include <shlobj.h>

#include "win/wide_text.h"

// Shows the full path of the selected folder in the status line.
static void ShowSelectionPath(HWND browser, LPARAM item) {
  wchar_t path[MAX_PATH];
  if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(item), path)) {
    SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
  }
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lparam, LPARAM data) {
  switch (message) {
    case BFFM_INITIALIZED:
      SendMessageW(browser, BFFM_SETSELECTIONW, FALSE, data);
      break;
    case BFFM_SELCHANGED:
      ShowSelectionPath(browser, lparam);
      break;
  }
  return 0;
}

// Converts the picked item to a path; an item without one leaves the empty
// text, never what result held before.
static void TakePickedPath(PIDLIST_ABSOLUTE item, char* result, size_t size, bool* unmappable) {
  wchar_t path[MAX_PATH];
  if (SHGetPathFromIDListW(item, path)) {
    FromWide(path, result, size, unmappable);
  } else {
    result[0] = '\0';
    *unmappable = false;
  }
}

unsigned char BrowseForFolder(HWND owner, char* result, size_t size, const char* instruction,
                              bool* unmappable) {
  IMalloc* allocator = nullptr;
  if (SHGetMalloc(&allocator) != S_OK) return 0;
  // The browser's tree is made of shell objects, which need COM on this
  // thread; it is left as it was found.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  wchar_t title[1024];
  wchar_t display_name[MAX_PATH];
  ToWide(instruction, title, sizeof title / sizeof title[0]);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = display_name;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  info.lpfn = BrowseCallback;
  info.lParam = 0;
  info.iImage = 0;
  unsigned char picked = 0;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (item != nullptr) {
    TakePickedPath(item, result, size, unmappable);
    allocator->Free(item);
    picked = 1;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  allocator->Release();
  return picked;
}
