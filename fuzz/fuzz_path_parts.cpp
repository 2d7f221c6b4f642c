// Splits and joins arbitrary paths into guarded buffers.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_check.h"
#include "text/path_parts.h"

constexpr unsigned char kGuard = 0xA5;

struct GuardedParts {
  unsigned char before[32];
  PathParts parts;
  unsigned char after[32];
};

struct GuardedJoin {
  unsigned char before[32];
  char out[1100];
};

static bool Guarded(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] != kGuard) return false;
  }
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the size of the join's destination.
  size_t join_size = 1 + data[0] * 4;
  char path[1024];
  size_t len = size - 1 < sizeof path - 1 ? size - 1 : sizeof path - 1;
  memcpy(path, data + 1, len);
  path[len] = '\0';

  GuardedParts split;
  memset(&split, kGuard, sizeof split);
  bool fit = SplitPath(path, &split.parts);
  Check(Guarded(split.before, sizeof split.before), "guard before the parts");
  Check(Guarded(split.after, sizeof split.after), "guard after the parts");
  const PathParts& p = split.parts;
  Check(Terminated(p.drive) && Terminated(p.dir) && Terminated(p.fname) && Terminated(p.ext),
        "parts terminated");

  GuardedJoin join;
  memset(&join, kGuard, sizeof join);
  bool joined = MakePath(join.out, join_size, p.drive, p.dir, p.fname, p.ext);
  Check(Guarded(join.before, sizeof join.before), "guard before the join");
  Check(memchr(join.out, '\0', join_size) != nullptr, "join terminated within its size");
  Check(
      Guarded(reinterpret_cast<unsigned char*>(join.out) + join_size, sizeof join.out - join_size),
      "guard after the join");
  // Splitting and joining again gives back the path whenever nothing was cut.
  if (fit && joined) Check(strcmp(join.out, path) == 0, "split then join is the identity");
  return 0;
}
