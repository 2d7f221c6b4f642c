#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "medium_folders.h"

bool IsReadableFolder(const std::string& dir) {
  DIR* folder = opendir(dir.c_str());
  if (folder == nullptr) return false;
  closedir(folder);
  return true;
}

bool ListMediumFolder(const std::string& folder, std::vector<std::string>* names) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return false;
  while (const dirent* entry = readdir(listing)) names->push_back(entry->d_name);
  closedir(listing);
  return true;
}

MediumEntry MediumEntryAt(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return MediumEntry::kMissing;
  return S_ISDIR(info.st_mode) ? MediumEntry::kFolder : MediumEntry::kFile;
}

bool ReadMediumFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}
