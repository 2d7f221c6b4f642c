#include "settings_writer.h"

#include "settings/settings.h"

std::string ComposeSettings(const std::vector<KeyValue>& keys, const std::string& type,
                            const std::vector<std::string>& entries) {
  std::string text;
  // Quoted, so that leading and trailing spaces are part of the value.
  for (const KeyValue& key : keys)
    text += "#" + std::string(key.key) + " \"" + key.value + "\"\r\n";
  text += "#INSTALL_LST\r\n" + type + "\r\n##\r\n";
  text += "#FILE\r\n" + type + "\r\n";
  for (const std::string& entry : entries) text += entry + "\r\n";
  text += "##\r\n";
  return text;
}

// Bytes that end a value or the file wherever they stand.
static const char* BreakingByteReason(const std::string& text) {
  for (char c : text) {
    if (c == '"') return "a double quote ends the value and cannot be written inside one";
    if (c == '\r' || c == '\n') return "a line break ends the line";
    if (c == '\x1A') return "the byte 0x1A ends update.ini for the updater";
  }
  return nullptr;
}

const char* UnreadableValueReason(const std::string& value) {
  const char* reason = BreakingByteReason(value);
  if (reason != nullptr) return reason;
  // The reader takes every byte from 0x80 up together with the byte after
  // it, half-width katakana too: one of those last would swallow the
  // closing quote.
  size_t pos = 0;
  while (pos < value.size()) pos += static_cast<unsigned char>(value[pos]) >= 0x80 ? 2 : 1;
  if (pos > value.size()) {
    return "the reader takes the closing quote for the second byte of the half-width katakana at "
           "its end";
  }
  return nullptr;
}

const char* UnusableTypeReason(const std::string& type) {
  const char* reason = BreakingByteReason(type);
  if (reason != nullptr) return reason;
  if (type.size() < 2 || type[0] != '[') return "a type header starts with [ and names the type";
  if (type[1] == ']') return "a header that starts with [] selects no type";
  if (type.size() > sizeof settings.install_lst[0] - 1) return "a type name holds 63 bytes";
  char last = type.back();
  if (last == ' ' || last == '\t') return "the reader drops spaces and tabs at the end of a line";
  return nullptr;
}
