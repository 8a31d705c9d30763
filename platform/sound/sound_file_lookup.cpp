#include "sound_file_lookup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>

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

// Smallest (byte-wise) entry name equal to fileName up to ASCII case, so the choice among
// several such files does not depend on the order the file system lists them in.
std::optional<std::string> findNameIgnoringCase(int dirFd, const std::string& fileName) {
  int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) {
    return std::nullopt;
  }
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return std::nullopt;
  }
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name(entry->d_name);
    if (sameNameIgnoringAsciiCase(name, fileName) && (!best || name < *best)) {
      best = std::string(name);
    }
  }
  ::closedir(dir);
  return best;
}

UniqueFd openInDirectory(const std::filesystem::path& dir, const std::string& fileName) {
  UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dirFd.valid()) {
    return {};
  }
  if (UniqueFd exact = openRegularFileAt(dirFd.get(), fileName); exact.valid()) {
    return exact;
  }
  if (auto other = findNameIgnoringCase(dirFd.get(), fileName); other && *other != fileName) {
    return openRegularFileAt(dirFd.get(), *other);
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

std::vector<std::filesystem::path> defaultSoundSearchDirs() {
  // "." rather than the current path now: the current directory is taken at each lookup.
  std::vector<std::filesystem::path> dirs{"."};
  if (std::filesystem::path own = programDirectory(); !own.empty()) {
    dirs.push_back(own);
  }
  return dirs;
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
