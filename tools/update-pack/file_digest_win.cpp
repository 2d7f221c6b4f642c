#include <stdio.h>

#include "file_digest.h"
#include "tree_files.h"
#include "win/sha256.h"

bool FileDigest(const std::string& path, unsigned char* digest, uint64_t* size) {
  FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return false;
  Sha256 state;
  StartSha256(&state);
  static char buffer[1 << 16];
  *size = 0;
  while (size_t count = fread(buffer, 1, sizeof buffer, file)) {
    *size += count;
    AddToSha256(&state, buffer, count);
  }
  bool read = !ferror(file);
  fclose(file);
  // Ends the hash on every path, which frees it.
  return FinishSha256(&state, digest) && read;
}
