// The folders update-pack reads and writes. Paths are the platform's own
// (UTF-8 on Windows too); relative paths have '/' between names.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

struct TreeFile {
  std::string path;  // relative to the tree's root
  uint64_t size;
};

struct Tree {
  std::vector<TreeFile> files;
  std::vector<std::string> folders;  // every folder below the root
  std::vector<std::string> skipped;  // neither file nor folder: links, devices
};

// Lists everything below root. False, with *error, when a folder of it
// cannot be read.
bool ListTree(const std::string& root, Tree* tree, std::string* error);

enum class FolderState { kMissing, kEmpty, kNotEmpty, kNotAFolder };
FolderState GetFolderState(const std::string& dir);

// fopen with a path in the platform's own form (UTF-8 on Windows too).
FILE* OpenFile(const std::string& path, const char* mode);

bool IsReadableFile(const std::string& path, uint64_t* size);

// 1 when the two files hold the same bytes, 0 when not, -1 when one of them
// cannot be read.
int SameContent(const std::string& a, const std::string& b);

// Both write a new file, refusing to write over one that exists, and flush
// it to the disk before they return.
bool CopyOneFile(const std::string& from, const std::string& to);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Writes the folder's own entries (its names) out to the disk.
bool SyncFolder(const std::string& dir);
// Makes the folder and every missing folder above it.
bool MakeFolders(const std::string& dir);
// A new folder beside dir (in the same parent), named after dir and tag,
// with the mode that the caller's umask gives a new folder.
bool MakeFolderBeside(const std::string& dir, const char* tag, std::string* made);
// Renames a folder; to must not exist.
bool RenameFolder(const std::string& from, const std::string& to);
bool RemoveEmptyFolder(const std::string& dir);
// Removes dir and everything below it. A link or junction, at dir itself or
// below, is removed as a link: what it leads to is never touched, even when
// a folder is swapped for one during the removal. Each folder is held open
// while it is emptied; a folder on another volume is left.
void RemoveTree(const std::string& dir);
// For tests: called with each folder's path once RemoveTree has read its
// names and before it removes any of them.
extern void (*remove_tree_listed_hook)(const std::string& folder);

// The first name on the way to path, path itself included, that is a
// symbolic link, junction or other reparse point; empty when there is none.
std::string FindLinkOnTheWay(const std::string& path);

// True when inner is outer or lies below it once links, junctions, substituted
// drives and short names are resolved as far as the paths exist.
bool IsSameOrInside(const std::string& inner, const std::string& outer);
