// How the checker target's input lays out a medium. The first byte says
// which of the first eight copied entries have a file on the medium, the
// second how the medium is laid out; the rest is update.ini.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// Makes a folder or a file at a UTF-8 path: in memory for the fuzz target,
// on disk to compare with it. A path under an existing file or folder of
// the same name is left as it is.
struct MediumMaker {
  void (*folder)(const std::string& path);
  void (*file)(const std::string& path, const void* bytes, size_t size);
};

// Lays out the medium at root from an input of two bytes or more. True
// when update.ini is there as a file.
bool LayOutMedium(const std::string& root, const uint8_t* data, size_t size,
                  const MediumMaker& make);
