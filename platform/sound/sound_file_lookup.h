#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "unique_fd.h"

namespace tonvela {

// The directories searched for a sound given by a bare name, in order: the current directory,
// then the directory the program itself lives in (a desktop launcher starts programs in the
// home folder, so the file beside the program must still be found).
std::vector<std::filesystem::path> defaultSoundSearchDirs();

// The directory holding the running program, from /proc/self/exe; empty if it cannot be read.
std::filesystem::path programDirectory();

// Names with a directory part are refused: only bare names are looked up.
// Opens the first regular file called `fileName` in `dirs`, matching the name without regard to
// ASCII case when no exact match exists (users copy "语音文件.wav" as often as "语音文件.WAV").
// A FIFO, device or directory under that name is passed over: it is opened non-blocking so a
// FIFO without a writer cannot stall the caller, and refused. Returns an invalid fd if nothing
// usable is found.
UniqueFd openSoundFile(const std::string& fileName, const std::vector<std::filesystem::path>& dirs);

// Opens path (a sound theme's file) the same careful way: non-blocking, regular files only.
UniqueFd openRegularFile(const std::filesystem::path& path);

// True when two names are equal with ASCII letters compared case-insensitively; other bytes
// (the Chinese characters of the name, in UTF-8) must match exactly.
bool sameNameIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace tonvela
