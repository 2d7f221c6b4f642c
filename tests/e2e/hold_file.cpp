// Holds a file open without sharing until told to let go, so that a test can
// show what the updater does with a game file that another program is using.
//   hold_file PATH READY_EVENT RELEASE_EVENT
// Sets READY_EVENT once the file is open, waits for RELEASE_EVENT (at most two
// minutes, so that a failed test leaves nothing behind), closes the file.
// Exit code: 0 after holding, 2 when the file could not be opened, 3 when an
// event could not be used or the release never came.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 3;
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
  if (!ready || !release) return 3;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  SetEvent(ready);
  DWORD waited = WaitForSingleObject(release, 120000);
  CloseHandle(file);
  CloseHandle(ready);
  CloseHandle(release);
  return waited == WAIT_OBJECT_0 ? 0 : 3;
}
