#include <iconv.h>

#include "cp932_text.h"

static bool Convert(iconv_t cd, const char* bytes, size_t len, std::string* out) {
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string buffer(len * 4 + 8, '\0');
  char* in_ptr = const_cast<char*>(bytes);
  size_t in_left = len;
  char* out_ptr = &buffer[0];
  size_t out_left = buffer.size();
  if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) return false;
  if (in_left != 0) return false;
  buffer.resize(buffer.size() - out_left);
  *out = buffer;
  return true;
}

bool DecodeCp932Char(const char* bytes, size_t len, std::string* utf8) {
  static iconv_t cd = iconv_open("UTF-8", "CP932");
  return Convert(cd, bytes, len, utf8);
}

bool EncodeCp932Table(const std::string& utf8, std::string* cp932) {
  static iconv_t cd = iconv_open("CP932", "UTF-8");
  return Convert(cd, utf8.data(), utf8.size(), cp932);
}
