#include "copy/temp_name.h"

#include <string.h>

#include "text/format.h"

bool MakeTempName(const char* dest_path, char* out, size_t size) {
  if (FormatText(out, size, "%s%s", dest_path, kTempSuffix)) return true;
  if (size > 0) out[0] = '\0';
  return false;
}

bool IsTempName(const char* name) {
  size_t len = strlen(name);
  size_t suffix = sizeof kTempSuffix - 1;
  return len > suffix && memcmp(name + len - suffix, kTempSuffix, suffix) == 0;
}
