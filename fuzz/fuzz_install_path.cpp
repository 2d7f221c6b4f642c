// Feeds up to 1023 bytes of typed folder text to the install-path check.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/install_path.h"
#include "fuzz_check.h"
#include "app/run_state.h"
#include "text/sjis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > sizeof install_dir - 1) size = sizeof install_dir - 1;
  memset(install_dir, 0, sizeof install_dir);
  memcpy(install_dir, data, size);
  // Whether the text names an existing file only decides whether a last
  // name with a dot is dropped.
  CheckInstallPath(size % 2 == 1);

  Check(memchr(install_dir, '\0', sizeof install_dir) != nullptr, "result terminated");
  size_t len = strlen(install_dir);
  Check(len <= 2 + 255, "result holds a drive and one cleaned folder at most");
  Check(!EndsWithBackslash(install_dir), "no trailing one-byte backslash");
  // After the drive, runs of backslashes are gone, character by character.
  const char* p = install_dir;
  bool previous_backslash = false;
  while (*p != '\0') {
    size_t n = CharLength(p);
    bool backslash = n == 1 && *p == '\\';
    Check(!(backslash && previous_backslash), "no run of backslashes");
    previous_backslash = backslash;
    p += n;
  }
  return 0;
}
