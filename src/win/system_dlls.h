// The system DLLs that a full update maps, folder browser included.
#pragma once

// Names without ".dll". Where the system cannot restrict the DLL search,
// each is mapped from System32 first; the planted-DLL tests plant one of
// each beside the program.
extern const wchar_t* const kSystemDllNames[];
extern const int kSystemDllCount;
