#include <stdio.h>
#include <string.h>

#include "tree_files.h"

int SameContent(const std::string& a, const std::string& b) {
  FILE* fa = OpenFile(a, "rb");
  FILE* fb = OpenFile(b, "rb");
  int result = fa != nullptr && fb != nullptr ? 1 : -1;
  static char ba[65536], bb[65536];
  while (result == 1) {
    size_t na = fread(ba, 1, sizeof ba, fa);
    size_t nb = fread(bb, 1, sizeof bb, fb);
    if (ferror(fa) || ferror(fb)) {
      result = -1;
    } else if (na != nb || memcmp(ba, bb, na) != 0) {
      result = 0;
    } else if (na == 0) {
      break;
    }
  }
  if (fa != nullptr) fclose(fa);
  if (fb != nullptr) fclose(fb);
  return result;
}
