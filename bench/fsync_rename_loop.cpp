// The yardstick for updates of many files: what this disk allows a native
// program that replaces files as safely as the updater does. Each file of
// SOURCE, in name order, is read, written into DEST under a temporary name,
// flushed with fsync and renamed to its own name. Files in folders below
// SOURCE go to the same folders below DEST, made as they are first needed,
// as the updater makes them.
//
//   fsync_rename_loop SOURCE DEST
//
// Prints "ms <milliseconds>" and "files <count>" on success; anything else
// is an error.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr size_t kChunk = 1 << 20;

bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t wrote = write(fd, bytes, size);
    if (wrote <= 0) return false;
    bytes += wrote;
    size -= static_cast<size_t>(wrote);
  }
  return true;
}

bool ReplaceOne(const std::string& from, const std::string& to, std::vector<char>* buffer) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::string temp = to + ".~part";
  int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  for (;;) {
    ssize_t got = read(in, buffer->data(), buffer->size());
    if (got < 0) ok = false;
    if (got <= 0) break;
    if (!WriteAll(out, buffer->data(), static_cast<size_t>(got))) {
      ok = false;
      break;
    }
  }
  ok = fsync(out) == 0 && ok;
  ok = close(out) == 0 && ok;
  close(in);
  return ok && rename(temp.c_str(), to.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: fsync_rename_loop SOURCE DEST\n");
    return 2;
  }
  std::vector<std::string> names;
  std::error_code error;
  const std::filesystem::path root = argv[1];
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error)) {
    if (entry.is_regular_file()) names.push_back(entry.path().lexically_relative(root).string());
  }
  if (error) {
    fprintf(stderr, "fsync_rename_loop: cannot list %s\n", argv[1]);
    return 2;
  }
  std::sort(names.begin(), names.end());
  std::vector<char> buffer(kChunk);
  std::string source = argv[1], dest = argv[2];
  auto start = std::chrono::steady_clock::now();
  std::string made;
  for (const std::string& name : names) {
    const std::string folder = std::filesystem::path(name).parent_path().string();
    if (!folder.empty() && folder != made) {
      std::filesystem::create_directories(dest + "/" + folder, error);
      made = folder;
    }
    if (error || !ReplaceOne(source + "/" + name, dest + "/" + name, &buffer)) {
      fprintf(stderr, "fsync_rename_loop: cannot replace %s\n", name.c_str());
      return 2;
    }
  }
  auto end = std::chrono::steady_clock::now();
  printf("ms %.3f\nfiles %zu\n", std::chrono::duration<double, std::milli>(end - start).count(),
         names.size());
  return 0;
}
