#pragma once

// Takes the program's own folder and the current folder out of the DLL
// search. Call it first thing in WinMain.
void RestrictDllSearch();

// What RestrictDllSearch does where SetDefaultDllDirectories is missing
// (Windows 7 without KB2533623); apart so that a test can run it anywhere.
void RestrictDllSearchWithoutDefaultDirectories();
