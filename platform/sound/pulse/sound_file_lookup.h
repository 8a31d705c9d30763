#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sound/pulse/unique_fd.h"

namespace tonvela {

// The folder under each data directory that holds the program's own files.
inline constexpr char kDataSubdirectory[] = "tonvela";

// The directories searched for a sound given by a bare name, in order: the current directory,
// then <dataDir>/tonvela for each freedesktop data directory (the user's own first, then the
// system's), then the directory the program itself lives in (so a build tree or an unpacked copy
// still finds the file beside the program).
std::vector<std::filesystem::path> soundSearchDirs(
    const std::vector<std::filesystem::path>& dataDirs, const std::filesystem::path& programDir);

// The same for this process: data directories from $XDG_DATA_HOME and $XDG_DATA_DIRS.
std::vector<std::filesystem::path> defaultSoundSearchDirs();

// The directory holding the running program, from /proc/self/exe; empty if it cannot be read.
std::filesystem::path programDirectory();

// The files that may hold the sound called `fileName`, in the order they are to be tried: in each
// of `dirs`, the exact name first (no listing is needed for it, so a folder without read
// permission works), then the names that differ from it only in ASCII case, smallest first (users
// copy "语音文件.wav" as often as "语音文件.WAV"). Only regular files are given; a FIFO, device or
// directory under any spelling is passed over without being opened. The folders are visited one
// at a time, so a usable file in the first costs no listing of the others. Names with a
// directory part are refused: only bare names are looked up.
class SoundFileCandidates {
 public:
  SoundFileCandidates(std::string fileName, std::vector<std::filesystem::path> dirs);

  // The next candidate, open for reading; an invalid fd when none is left.
  UniqueFd next();

 private:
  bool refill();

  std::string fileName_;
  std::vector<std::filesystem::path> dirs_;
  std::size_t nextDir_ = 0;
  UniqueFd dirFd_;
  std::vector<std::string> spellings_;  // still to try in the current folder, last one first
  bool listed_ = false;                 // the current folder's other spellings were added
};

// True when two names are equal with ASCII letters compared case-insensitively; other bytes
// (the Chinese characters of the name, in UTF-8) must match exactly.
bool sameNameIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace tonvela
