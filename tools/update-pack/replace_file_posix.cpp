#include <stdio.h>

#include "replace_file.h"

bool ReplaceWithFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}
