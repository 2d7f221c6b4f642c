// What --force does with one entry of the old medium, decided from what a
// handle opened on the entry itself (never through a link) shows.
#pragma once

struct HeldEntry {
  bool folder;
  bool link;         // a symbolic link, junction or other reparse point
  bool same_volume;  // on the volume of the folder being removed
  bool inside;       // the handle's own path lies below that folder
};

enum class RemovalStep {
  kDescend,     // a folder of the medium: empty it, then remove it
  kRemoveLink,  // the link itself goes; what it leads to stays
  kRemoveFile,
  kLeave,  // not the medium's own: left as it is
};

RemovalStep DecideRemoval(const HeldEntry& entry);
