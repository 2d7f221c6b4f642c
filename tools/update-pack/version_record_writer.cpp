#include "version_record_writer.h"

#include <stddef.h>

namespace {

// The longest label the record holds, in bytes.
constexpr size_t kLongestLabel = 255;

// Strict UTF-8: no overlong form, no surrogate, nothing past U+10FFFF.
bool IsUtf8(const std::string& text) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t size = text.size();
  for (size_t i = 0; i < size;) {
    unsigned char lead = bytes[i];
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || i + length > size) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
    }
    unsigned char second = length > 1 ? bytes[i + 1] : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
      return false;
    }
    i += length;
  }
  return true;
}

bool HasControlByte(const std::string& text) {
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

}  // namespace

std::string LabelOfFolder(const std::string& dir) {
  size_t end = dir.find_last_not_of("/\\");
  if (end == std::string::npos) return "";
  size_t start = dir.find_last_of("/\\", end);
  start = start == std::string::npos ? 0 : start + 1;
  return dir.substr(start, end + 1 - start);
}

const char* UnusableLabelReason(const std::string& label) {
  if (label.empty() || label == "." || label == "..") {
    return "names no folder of its own; give the folder by its name, which labels the version";
  }
  if (label.size() > kLongestLabel) return "is longer than the 255 bytes a label holds";
  if (!IsUtf8(label) || HasControlByte(label)) {
    return "is not UTF-8 text without control characters, which a label must be";
  }
  return nullptr;
}

bool IsRecordPath(const std::string& path) {
  return IsUtf8(path) && !HasControlByte(path) && path.find('\\') == std::string::npos;
}

std::string ComposeVersionRecord(const std::vector<PackedVersion>& versions) {
  std::string record;
  for (const PackedVersion& version : versions) {
    record += "version " + version.label + "\n";
    for (const VersionFile& file : version.files) {
      record += file.digest + " " + std::to_string(file.size) + " " + file.path + "\n";
    }
  }
  return record;
}
