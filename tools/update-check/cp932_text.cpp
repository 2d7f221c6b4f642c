#include "cp932_text.h"

#include "text/sjis.h"

// Single bytes that stand for a character of their own: ASCII and the
// half-width katakana. 0x80, 0xA0 and 0xFD to 0xFF are not characters even
// where a platform's table gives them a private meaning, so the result is the
// same on every platform.
static bool IsSingleByteChar(unsigned char c) {
  return c < 0x80 || (c >= 0xA1 && c <= 0xDF);
}

static bool IsTrailByte(unsigned char c) {
  return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

size_t Cp932CharAt(const std::string& text, size_t pos, std::string* utf8) {
  unsigned char c = static_cast<unsigned char>(text[pos]);
  if (IsSingleByteChar(c)) {
    if (c < 0x80) {
      utf8->assign(1, static_cast<char>(c));
      return 1;
    }
    return DecodeCp932Char(text.data() + pos, 1, utf8) ? 1 : 0;
  }
  if (!IsLeadByte(c) || pos + 1 >= text.size()) return 0;
  if (!IsTrailByte(static_cast<unsigned char>(text[pos + 1]))) return 0;
  return DecodeCp932Char(text.data() + pos, 2, utf8) ? 2 : 0;
}

// Length of the bad sequence at text[pos]: a lead byte with a trail byte
// that the table leaves unassigned is one bad character; any other bad byte
// is bad alone.
static size_t InvalidLength(const std::string& text, size_t pos) {
  bool pair = IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() &&
              IsTrailByte(static_cast<unsigned char>(text[pos + 1]));
  return pair ? 2 : 1;
}

std::string DecodeCp932(const std::string& text) {
  std::string out;
  std::string one;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t len = Cp932CharAt(text, pos, &one);
    if (len > 0) {
      out += one;
      pos += len;
      continue;
    }
    out += "\xEF\xBF\xBD";
    pos += InvalidLength(text, pos);
  }
  return out;
}

bool EncodeCp932(const std::string& utf8, std::string* cp932) {
  std::string bytes;
  if (!EncodeCp932Table(utf8, &bytes)) return false;
  // Decoding gives the text back only when each character had a form of its
  // own; the decoder also refuses bytes that are not whole characters.
  if (FindInvalidCp932(bytes, nullptr) >= 0 || DecodeCp932(bytes) != utf8) return false;
  *cp932 = bytes;
  return true;
}

std::vector<std::string> SplitSettingsLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t end = bytes.find('\x1A');
  if (end == std::string::npos) end = bytes.size();
  size_t start = 0;
  while (start < end) {
    size_t lf = bytes.find('\n', start);
    if (lf == std::string::npos || lf >= end) lf = end;
    std::string line = bytes.substr(start, lf - start);
    if (lf < end && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = lf + 1;
  }
  return lines;
}

long FindInvalidCp932(const std::string& line, size_t* length) {
  std::string one;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t len = Cp932CharAt(line, pos, &one);
    if (len == 0) {
      if (length != nullptr) *length = InvalidLength(line, pos);
      return static_cast<long>(pos);
    }
    pos += len;
  }
  return -1;
}

// Length of the well-formed UTF-8 sequence at s[pos] of two bytes or more, or 0.
static size_t Utf8SequenceAt(const std::string& s, size_t pos) {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  size_t len = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (size_t i = 1; i < len; ++i) {
    unsigned char t = static_cast<unsigned char>(s[pos + i]);
    if (t < (i == 1 ? low : 0x80) || t > (i == 1 ? high : 0xBF)) return 0;
  }
  return len;
}

bool LooksLikeUtf8(const std::vector<std::string>& lines, int* line, bool* has_bom) {
  *has_bom = !lines.empty() && lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0;
  int first = 0;
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string& text = lines[n];
    size_t pos = 0;
    while (pos < text.size()) {
      if (static_cast<unsigned char>(text[pos]) < 0x80) {
        ++pos;
        continue;
      }
      size_t len = Utf8SequenceAt(text, pos);
      if (len == 0) return false;
      if (first == 0) first = static_cast<int>(n) + 1;
      pos += len;
    }
  }
  *line = first;
  return first != 0;
}

std::vector<std::string> SplitCp932Path(const std::string& relative) {
  std::vector<std::string> names(1);
  const char* p = relative.c_str();
  while (*p != '\0') {
    size_t len = CharLength(p);
    if (len == 1 && (*p == '\\' || *p == '/')) {
      names.emplace_back();
    } else {
      names.back().append(p, len);
    }
    p += len;
  }
  return names;
}
