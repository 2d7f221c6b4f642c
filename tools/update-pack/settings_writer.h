// update.ini as update-pack writes it: code page 932 with CR LF line ends,
// in the form the updater's parser reads back byte for byte.
#pragma once

#include <string>
#include <vector>

struct KeyValue {
  const char* key;    // a text key, such as TITLE
  std::string value;  // code page 932
};

// Text keys first, then the one file type under INSTALL_LST and the file
// list under that type's header.
std::string ComposeSettings(const std::vector<KeyValue>& keys, const std::string& type,
                            const std::vector<std::string>& entries);

// Why a quoted key value would not read back as it is, or null when it
// would.
const char* UnreadableValueReason(const std::string& value);

// Why text cannot be the type's name, both under INSTALL_LST and as the
// header of the file list, or null when it can.
const char* UnusableTypeReason(const std::string& type);
