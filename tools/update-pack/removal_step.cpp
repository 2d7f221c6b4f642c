#include "removal_step.h"

// Anything that is not plainly the medium's own is left: a name opened
// through a swapped link shows another path, and a folder on another
// volume is a mounted drive that only looks like part of the medium.
RemovalStep DecideRemoval(const HeldEntry& entry) {
  if (!entry.inside) return RemovalStep::kLeave;
  if (entry.link) return RemovalStep::kRemoveLink;
  if (!entry.folder) return RemovalStep::kRemoveFile;
  return entry.same_volume ? RemovalStep::kDescend : RemovalStep::kLeave;
}
