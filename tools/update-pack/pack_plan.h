// Which files of NEW_DIR go on the medium, and whether a file list can name
// them.
#pragma once

#include <string>
#include <vector>

#include "pack_report.h"
#include "tree_files.h"

// Compares new_tree with each of old_trees (none without --old) file by
// file, by content, and fills the report's files in file-list order, its
// counts, removed files and problems, and the files of each of
// report->versions, which holds one version per old tree, labelled. False,
// with *error, when a file cannot be read.
bool PlanFiles(const std::string& new_dir, const Tree& new_tree, const std::vector<Tree>& old_trees,
               PackReport* report, std::string* error);

// The key under which Windows finds a path: every letter in one case, as
// Windows folds it (Ω and ω, Ａ and ａ are one), ASCII letters in lower case.
std::string SameFileKey(const std::string& utf8_path);
