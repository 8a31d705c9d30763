#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tonvela {

// The base directories of the freedesktop data lookup, most important first: $XDG_DATA_HOME
// (default ~/.local/share), then each of $XDG_DATA_DIRS (default /usr/local/share:/usr/share).
// Arguments are the variables' values, null when unset.
std::vector<std::filesystem::path> xdgDataDirs(const char* xdgDataHome, const char* home,
                                               const char* xdgDataDirsList);

// The same, read from this process's environment.
std::vector<std::filesystem::path> xdgDataDirsFromEnvironment();

// Finds the desktop's sound for "time is up" by the freedesktop sound theme lookup: for each of
// the event names in order of preference, the theme and the themes it inherits (ending with
// "freedesktop"), each theme's directories under <dataDir>/sounds/<theme>, files .oga, .ogg, .wav.
std::optional<std::filesystem::path> findThemeSound(
    const std::vector<std::filesystem::path>& dataDirs,
    const std::string& themeName = "freedesktop");

}  // namespace tonvela
