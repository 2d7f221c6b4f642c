#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string.h>

#include <algorithm>

#include "removal_step.h"
#include "tree_files.h"

static bool ListFolder(const std::string& root, const std::string& relative, Tree* tree,
                       std::string* error) {
  std::string dir = relative.empty() ? root : root + "/" + relative;
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) {
    *error = dir + ": " + strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(listing)) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
      names.push_back(entry->d_name);
    }
  }
  closedir(listing);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string child = relative.empty() ? name : relative + "/" + name;
    struct stat info;
    // Links are not followed: one could lead out of the tree or round in a
    // circle, and the game folder holds no links.
    if (lstat((root + "/" + child).c_str(), &info) != 0) {
      *error = root + "/" + child + ": " + strerror(errno);
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      tree->folders.push_back(child);
      if (!ListFolder(root, child, tree, error)) return false;
    } else if (S_ISREG(info.st_mode)) {
      tree->files.push_back({child, static_cast<uint64_t>(info.st_size)});
    } else {
      tree->skipped.push_back(child);
    }
  }
  return true;
}

bool ListTree(const std::string& root, Tree* tree, std::string* error) {
  *tree = Tree();
  return ListFolder(root, "", tree, error);
}

FolderState GetFolderState(const std::string& dir) {
  struct stat info;
  if (stat(dir.c_str(), &info) != 0) return FolderState::kMissing;
  if (!S_ISDIR(info.st_mode)) return FolderState::kNotAFolder;
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return FolderState::kNotEmpty;
  FolderState state = FolderState::kEmpty;
  while (const dirent* entry = readdir(listing)) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
      state = FolderState::kNotEmpty;
      break;
    }
  }
  closedir(listing);
  return state;
}

bool IsReadableFile(const std::string& path, uint64_t* size) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (access(path.c_str(), R_OK) != 0) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

FILE* OpenFile(const std::string& path, const char* mode) {
  return fopen(path.c_str(), mode);
}

// Every file of the medium reaches the disk before the medium is renamed
// into place: a crash then leaves the old medium or the whole new one, never
// the new names over empty files.
static bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A new file, as on Windows: an existing one is never written over.
static int CreateNewFile(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

static bool SyncAndClose(int fd, bool ok) {
  ok = ok && fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

bool CopyOneFile(const std::string& from, const std::string& to) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = CreateNewFile(to);
  bool ok = out >= 0;
  static char buffer[65536];
  while (ok) {
    ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = WriteAll(out, buffer, static_cast<size_t>(n));
  }
  close(in);
  return out >= 0 && SyncAndClose(out, ok);
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  int out = CreateNewFile(path);
  if (out < 0) return false;
  return SyncAndClose(out, WriteAll(out, bytes.data(), bytes.size()));
}

bool SyncFolder(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  return SyncAndClose(fd, true);
}

bool MakeFolders(const std::string& dir) {
  struct stat info;
  if (stat(dir.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash))) return false;
  return mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST;
}

static std::string Parent(const std::string& path, std::string* base) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.find_last_of('/');
  *base = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : trimmed.substr(0, slash);
}

bool MakeFolderBeside(const std::string& dir, const char* tag, std::string* made) {
  std::string base;
  std::string parent = Parent(dir, &base);
  std::string pattern = parent + "/." + base + "." + tag + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) return false;
  *made = buffer.data();
  // mkdtemp makes it private (0700); the medium is for everyone to read, as
  // any new folder under the caller's umask.
  mode_t mask = umask(0);
  umask(mask);
  return chmod(made->c_str(), 0777 & ~mask) == 0;
}

bool RenameFolder(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveEmptyFolder(const std::string& dir) {
  return rmdir(dir.c_str()) == 0;
}

void (*remove_tree_listed_hook)(const std::string& folder) = nullptr;

// Empties the folder held open as dir_fd. Every name is opened relative to
// the folder and with O_NOFOLLOW: a link, or a folder swapped for one after
// the listing, fails to open as a folder and is unlinked as the link it is.
static void RemoveInside(int dir_fd, dev_t device, const std::string& path) {
  int list_fd = openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* listing = list_fd >= 0 ? fdopendir(list_fd) : nullptr;
  if (listing == nullptr) {
    if (list_fd >= 0) close(list_fd);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(listing)) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
      names.push_back(entry->d_name);
    }
  }
  closedir(listing);
  if (remove_tree_listed_hook != nullptr) remove_tree_listed_hook(path);
  for (const std::string& name : names) {
    int child = openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) {
      unlinkat(dir_fd, name.c_str(), 0);
      continue;
    }
    struct stat info;
    bool opened = fstat(child, &info) == 0;
    // Opened relative to a folder of the medium, without following: inside.
    HeldEntry held = {opened && S_ISDIR(info.st_mode), false, opened && info.st_dev == device,
                      true};
    if (DecideRemoval(held) == RemovalStep::kDescend) {
      RemoveInside(child, device, path + "/" + name);
      close(child);
      unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR);
    } else {
      close(child);
    }
  }
}

void RemoveTree(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    // A file, or a link: only itself goes.
    unlink(dir.c_str());
    return;
  }
  struct stat info;
  if (fstat(fd, &info) == 0) RemoveInside(fd, info.st_dev, dir);
  close(fd);
  rmdir(dir.c_str());
}

std::string FindLinkOnTheWay(const std::string& path) {
  std::string prefix = path.compare(0, 1, "/") == 0 ? "/" : "";
  size_t begin = prefix.size();
  while (begin < path.size()) {
    size_t end = path.find('/', begin);
    if (end == std::string::npos) end = path.size();
    std::string name = path.substr(begin, end - begin);
    begin = end + 1;
    if (name.empty() || name == ".") continue;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    prefix += name;
    struct stat info;
    // Nothing below a missing name can be a link yet.
    if (lstat(prefix.c_str(), &info) != 0) return "";
    if (S_ISLNK(info.st_mode)) return prefix;
  }
  return "";
}

// The absolute form of path, its links resolved as far as it exists.
static std::string FullPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  std::string base;
  std::string parent = Parent(path, &base);
  if (parent == path) return path;
  std::string full = FullPath(parent);
  return (full == "/" ? "" : full) + "/" + base;
}

bool IsSameOrInside(const std::string& inner, const std::string& outer) {
  std::string a = FullPath(inner);
  std::string b = FullPath(outer);
  if (b == "/") return true;
  return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == '/');
}
