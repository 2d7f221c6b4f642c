// Helpers shared by the Windows tests.
#pragma once

#include <string>

// UTF-8 test text as the code page 932 bytes the program holds.
std::string Sjis(const std::string& utf8);

// UTF-8 test text as UTF-16.
std::wstring Wide(const std::string& utf8);

// A fresh folder under the temporary folder, removed with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::wstring& path() const { return path_; }
  // The folder as code page 932 text.
  std::string path932() const;

 private:
  std::wstring path_;
};

// Writes bytes to the file at path.
void WriteTestFile(const std::wstring& path, const std::string& bytes);

// The contents of the file at path, or "<missing>".
std::string ReadTestFile(const std::wstring& path);

// How many files and folders folder holds.
int CountEntries(const std::wstring& folder);
