#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tonvela {

// A theme's index.theme larger than this is taken as no index at all, and the theme's sounds are
// looked for in its default folders. Real indexes are a few KiB even with every translation of
// the theme's name; cutting a larger file at the bound instead could leave half a line, and a
// list of folders or parent themes cut short would be worse than none.
inline constexpr std::size_t kMaxThemeIndexBytes = 64 * 1024;

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
// An index.theme that is no regular file, or is too large, counts as missing: the lookup never
// waits on a FIFO or reads a device.
std::optional<std::filesystem::path> findThemeSound(
    const std::vector<std::filesystem::path>& dataDirs,
    const std::string& themeName = "freedesktop");

}  // namespace tonvela
