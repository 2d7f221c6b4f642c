#include "windows_names.h"

#include <string.h>

#include "text/case_fold.h"

bool IsWindowsName(const std::string& name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || strchr("*?\"<>|:\\", c) != nullptr) return false;
  }
  return true;
}

namespace {

void AppendUtf8(unsigned int c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsContinuation(const std::string& s, size_t pos) {
  return pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80;
}

}  // namespace

std::string WindowsCaseKey(const std::string& utf8) {
  std::string key;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    unsigned int c = 0;
    size_t len = 0;
    // Only characters of the Basic Multilingual Plane have a case that
    // Windows folds; anything else, well formed or not, stays as it is.
    if (lead < 0x80) {
      c = lead;
      len = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF && IsContinuation(utf8, i + 1)) {
      c = ((lead & 0x1Fu) << 6) | (utf8[i + 1] & 0x3F);
      len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF && IsContinuation(utf8, i + 1) &&
               IsContinuation(utf8, i + 2)) {
      c = ((lead & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3F);
      len = 3;
    }
    if (len == 0 || (len == 3 && c < 0x800)) {
      key += utf8[i++];
      continue;
    }
    unsigned int folded = FoldCase(static_cast<unsigned short>(c));
    if (folded >= 'A' && folded <= 'Z') folded += 'a' - 'A';
    AppendUtf8(folded, &key);
    i += len;
  }
  return key;
}
