#include "platform/sound/pulse/sound_file_lookup.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <string_view>

#include "platform/sound/pulse/regular_file.h"
#include "platform/sound/pulse/sound_theme.h"

namespace tonvela {
namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isPlainName(const std::string& fileName) {
  return !fileName.empty() && fileName != "." && fileName != ".." &&
         fileName.find('/') == std::string::npos;
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

}  // namespace

bool sameNameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return asciiLower(x) == asciiLower(y); });
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

SoundFileCandidates::SoundFileCandidates(std::string fileName,
                                         std::vector<std::filesystem::path> dirs)
    : fileName_(std::move(fileName)), dirs_(std::move(dirs)) {
  if (!isPlainName(fileName_)) {
    dirs_.clear();
  }
}

UniqueFd SoundFileCandidates::next() {
  do {
    while (!spellings_.empty()) {
      const std::string name = std::move(spellings_.back());
      spellings_.pop_back();
      if (UniqueFd fd = openRegularFileAt(dirFd_.get(), name.c_str()); fd.valid()) {
        return fd;
      }
    }
  } while (refill());
  return {};
}

// The current folder's other spellings once its exact name is used up, then the next folder.
bool SoundFileCandidates::refill() {
  if (dirFd_.valid() && !listed_) {
    spellings_ = caseVariants(dirFd_.get(), fileName_);
    std::ranges::reverse(spellings_);
    listed_ = true;
    return true;
  }
  while (nextDir_ < dirs_.size()) {
    // O_PATH: a folder with search but no read permission still lets its files be opened by name.
    dirFd_ = UniqueFd(::open(dirs_[nextDir_++].c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dirFd_.valid()) {
      spellings_ = {fileName_};
      listed_ = false;
      return true;
    }
  }
  return false;
}

}  // namespace tonvela
