#include "test_text.h"

#include <iconv.h>

#include <stdexcept>

std::string Sjis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 in iconv");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in_ptr = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_ptr = &out[0];
  size_t out_left = out.size();
  size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) throw std::runtime_error("not convertible: " + utf8);
  out.resize(out.size() - out_left);
  return out;
}

const char kWorkedExample[] =
    "#TITLE \"Sample Quest\"\n"
    "#TITLE_OLD Sample Quest Trial\n"
    "#PATH GAME\n"
    "#REG_T SAMPLE\n"
    "#INSTALL_LST\n"
    "[SYSTEM]\n"
    "[DATA]\n"
    "##\n"
    "#INSTALL_S\n"
    "[SYSTEM]\n"
    "#FILE\n"
    "game.exe\n"
    "[SYSTEM]\n"
    "game.exe\n"
    "[DATA]\n"
    "data\\bg.pak\n"
    "[]\n"
    "readme.txt\n"
    "##\n"
    "free text\n";
