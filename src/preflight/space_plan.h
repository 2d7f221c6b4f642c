// How much free space an update needs, and sizes as a person reads them.
#pragma once

#include <stddef.h>

struct SpacePlan {
  unsigned long long cluster;  // the volume's allocation unit in bytes
  unsigned long long growth;   // what the game folder grows by in all
  unsigned long long largest;  // the largest new file
};

// cluster: the bytes each file's size is rounded up to; 0 or 1 for none.
void ClearSpacePlan(SpacePlan* plan, unsigned long long cluster);
// One entry: its new size, and the size of the file it replaces (0 when
// there is none).
void PlanReplacement(SpacePlan* plan, unsigned long long new_size, unsigned long long old_size);
// Free space the update needs at its peak.
unsigned long long SpaceNeeded(const SpacePlan& plan);

enum SizeRounding { kRoundDown, kRoundUp };

// bytes as "1.2 GB", "350 MB", "12 KB": one decimal under 10 of a unit, none
// from 10 on, in units of 1024. A need is rounded up and what is free down,
// so that a shortfall never shows as two equal figures.
bool FormatSize(unsigned long long bytes, SizeRounding rounding, char* out, size_t size);
