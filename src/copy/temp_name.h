// The name under which a file is copied before it replaces the game's file.
#pragma once

#include <stddef.h>

// Ends every temporary copy's name; no game ships a file named like this, and
// a copy left behind by a killed run is found again under the same name.
constexpr char kTempSuffix[] = ".~update-part";

// Writes dest_path with the suffix into out. Returns false, with out empty,
// when it does not fit.
bool MakeTempName(const char* dest_path, char* out, size_t size);

// True when name (a path or a bare file name) is a temporary copy's.
bool IsTempName(const char* name);
