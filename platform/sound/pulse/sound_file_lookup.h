#pragma once

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

// Names with a directory part are refused: only bare names are looked up.
// Opens the first regular file called `fileName` in `dirs`. In each folder the exact name is
// opened first (no listing needed, so a folder without read permission works); only when that
// gives no regular file is the folder listed for the name in other ASCII case (users copy
// "语音文件.wav" as often as "语音文件.WAV"). A FIFO, device or directory under any spelling is
// passed over: it is opened non-blocking so a FIFO without a writer cannot stall the caller, and
// the search goes on with the next spelling, then the next folder. Returns an invalid fd if
// nothing usable is found.
UniqueFd openSoundFile(const std::string& fileName, const std::vector<std::filesystem::path>& dirs);

// Opens path (a sound theme's file) the same careful way: non-blocking, regular files only.
UniqueFd openRegularFile(const std::filesystem::path& path);

// True when two names are equal with ASCII letters compared case-insensitively; other bytes
// (the Chinese characters of the name, in UTF-8) must match exactly.
bool sameNameIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace tonvela
