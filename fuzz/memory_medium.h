// A medium held in memory, standing in for the disk under update-check's
// lookup: the checker then runs on it without a file system call. Paths are
// UTF-8 with '/' between names, as on disk.
#pragma once

#include <stddef.h>

#include <string>

void ClearMemoryMedium();
// Adds a folder or file at path; its parent folders must have been added.
void AddMemoryFolder(const std::string& path);
void AddMemoryFile(const std::string& path, const void* bytes, size_t size);
