// The folders that the file list's entries lie in, each once.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Fills entries (capacity of them) with the index of one entry whose flags
// share a bit with mask, and that usable accepts, for each distinct folder
// part ("" for the top
// folder), and returns their count. Folder parts are compared as bytes: one
// folder spelled two ways is given twice, never one folder left out.
size_t EntryFolders(uint32_t mask, bool (*usable)(const char* name), size_t* entries,
                    size_t capacity);
