#include "windows_names.h"

#include <string.h>

bool IsWindowsName(const std::string& name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || strchr("*?\"<>|:\\", c) != nullptr) return false;
  }
  return true;
}
