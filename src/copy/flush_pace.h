// Flushing a large copy to the disk as it is written.
#pragma once

#include <windows.h>

// One flush of a whole large file before its rename held the copy dialog
// for a second a gigabyte; flushed every few megabytes, the last flush has
// little left to write. The amount adapts to the disk, as chunks do.
struct FlushPace {
  unsigned long long unflushed;
  unsigned long long every;
};

void StartFlushPace(FlushPace* pace);

// Counts written bytes and flushes file once enough are unflushed. False
// when a flush fails.
bool PaceFlush(HANDLE file, unsigned long long written, FlushPace* pace);
