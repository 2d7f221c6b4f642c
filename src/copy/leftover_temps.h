// Temporary copies that a killed run or a log-off left in the game folder.
#pragma once

// Removes every file named as a temporary copy in folder (code page 932,
// ending with its separator). Other files and folders stay.
void RemoveLeftoverTemps(const char* folder);

// Removes the temporary copy of dest_path, if there is one. A copy still
// open in this process goes when its handle closes, or the process ends.
void RemoveTempOf(const char* dest_path);
