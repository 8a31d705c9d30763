#include "platform/sound/pulse/sound_file_lookup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "platform/sound/pulse/sound_theme.h"

namespace tonvela {
namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isPlainName(const std::string& fileName) {
  return !fileName.empty() && fileName != "." && fileName != ".." &&
         fileName.find('/') == std::string::npos;
}

// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
UniqueFd openRegularFileAt(int dirFd, const std::string& name) {
  UniqueFd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) {
    return {};
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return {};
  }
  return fd;
}

// Every entry name equal to fileName up to ASCII case except fileName itself, smallest
// (byte-wise) first, so the choice among several such files does not depend on the order the
// file system lists them in.
std::vector<std::string> caseVariants(int dirFd, const std::string& fileName) {
  std::vector<std::string> variants;
  int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) {
    return variants;  // a folder we may search but not list: only exact names are found there
  }
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return variants;
  }
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name(entry->d_name);
    if (name != fileName && sameNameIgnoringAsciiCase(name, fileName)) {
      variants.emplace_back(name);
    }
  }
  ::closedir(dir);
  std::ranges::sort(variants);
  return variants;
}

UniqueFd openInDirectory(const std::filesystem::path& dir, const std::string& fileName) {
  // O_PATH: a folder with search but no read permission still lets its files be opened by name.
  UniqueFd dirFd(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!dirFd.valid()) {
    return {};
  }
  // The exact name first: no listing is needed for it, so it is found in unreadable folders too.
  if (UniqueFd exact = openRegularFileAt(dirFd.get(), fileName); exact.valid()) {
    return exact;
  }
  // A directory or FIFO under one spelling must not hide a playable file under another.
  for (const std::string& variant : caseVariants(dirFd.get(), fileName)) {
    if (UniqueFd fd = openRegularFileAt(dirFd.get(), variant); fd.valid()) {
      return fd;
    }
  }
  return {};
}

}  // namespace

bool sameNameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

UniqueFd openRegularFile(const std::filesystem::path& path) {
  return openRegularFileAt(AT_FDCWD, path.string());
}

std::filesystem::path programDirectory() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : exe.parent_path();
}

std::vector<std::filesystem::path> soundSearchDirs(
    const std::vector<std::filesystem::path>& dataDirs, const std::filesystem::path& programDir) {
  // "." rather than the current path now: the current directory is taken at each lookup.
  std::vector<std::filesystem::path> dirs{"."};
  for (const auto& base : dataDirs) {
    dirs.push_back(base / kDataSubdirectory);
  }
  if (!programDir.empty()) {
    dirs.push_back(programDir);
  }
  return dirs;
}

std::vector<std::filesystem::path> defaultSoundSearchDirs() {
  return soundSearchDirs(xdgDataDirsFromEnvironment(), programDirectory());
}

UniqueFd openSoundFile(const std::string& fileName,
                       const std::vector<std::filesystem::path>& dirs) {
  if (!isPlainName(fileName)) {
    return {};
  }
  for (const auto& dir : dirs) {
    if (UniqueFd fd = openInDirectory(dir, fileName); fd.valid()) {
      return fd;
    }
  }
  return {};
}

}  // namespace tonvela
