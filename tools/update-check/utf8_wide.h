// UTF-8 <-> UTF-16 for the tools' Windows builds, which keep paths and
// arguments as UTF-8 so that they print the same bytes as on Linux.
#pragma once

#include <string>

std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);
