#include "platform/sound/pulse/sound_theme.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/sound/pulse/regular_file.h"

namespace tonvela {
namespace {

namespace fs = std::filesystem;

constexpr std::array kEventNames{"alarm-clock-elapsed", "complete", "bell"};
constexpr std::array kExtensions{".oga", ".ogg", ".wav"};
constexpr std::string_view kFallbackTheme = "freedesktop";
// Inherits= chains are followed this far at most, so a theme that inherits itself cannot loop.
constexpr std::size_t kMaxThemes = 8;

// Without a string stream: the player splits $XDG_DATA_DIRS when it is made, at start-up, and a
// stream's locale would bring in pages of the C++ library that nothing else at start-up needs.
std::vector<std::string> splitList(std::string_view text, char separator) {
  std::vector<std::string> parts;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(separator), text.size());
    if (end > 0) {
      parts.emplace_back(text.substr(0, end));
    }
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return parts;
}

// The value of `key` in the [Sound Theme] group of the theme's index.theme, if any.
std::optional<std::string> indexThemeValue(const std::vector<fs::path>& dataDirs,
                                           const std::string& theme, std::string_view key) {
  for (const auto& base : dataDirs) {
    auto text = readSmallRegularFile(base / "sounds" / theme / "index.theme", kMaxThemeIndexBytes);
    if (!text) {
      continue;
    }
    std::istringstream index(*text);
    std::string line;
    bool inThemeGroup = false;
    while (std::getline(index, line)) {
      if (line.starts_with('[')) {
        inThemeGroup = line.starts_with("[Sound Theme]");
      } else if (inThemeGroup && line.starts_with(key) && line.size() > key.size() &&
                 line[key.size()] == '=') {
        return line.substr(key.size() + 1);
      }
    }
  }
  return std::nullopt;
}

std::vector<std::string> themeChain(const std::vector<fs::path>& dataDirs,
                                    const std::string& themeName) {
  std::vector<std::string> chain;
  std::vector<std::string> pending{themeName};
  while (!pending.empty() && chain.size() < kMaxThemes) {
    std::string theme = pending.front();
    pending.erase(pending.begin());
    if (std::find(chain.begin(), chain.end(), theme) != chain.end()) {
      continue;
    }
    chain.push_back(theme);
    if (auto inherits = indexThemeValue(dataDirs, theme, "Inherits")) {
      for (auto& parent : splitList(*inherits, ',')) {
        pending.push_back(parent);
      }
    }
  }
  if (std::find(chain.begin(), chain.end(), kFallbackTheme) == chain.end()) {
    chain.emplace_back(kFallbackTheme);
  }
  return chain;
}

std::vector<std::string> themeSubdirectories(const std::vector<fs::path>& dataDirs,
                                             const std::string& theme) {
  if (auto listed = indexThemeValue(dataDirs, theme, "Directories")) {
    return splitList(*listed, ',');
  }
  return {"stereo", "mono", "."};
}

std::optional<fs::path> findInTheme(const std::vector<fs::path>& dataDirs, const std::string& theme,
                                    const std::string& eventName) {
  const auto subdirs = themeSubdirectories(dataDirs, theme);
  for (const auto& base : dataDirs) {
    for (const auto& subdir : subdirs) {
      for (const char* extension : kExtensions) {
        fs::path candidate = base / "sounds" / theme / subdir / (eventName + extension);
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) {
          return candidate.lexically_normal();
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<fs::path> xdgDataDirs(const char* xdgDataHome, const char* home,
                                  const char* xdgDataDirsList) {
  std::vector<fs::path> dirs;
  if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
    dirs.emplace_back(xdgDataHome);
  } else if (home != nullptr && home[0] == '/') {
    dirs.push_back(fs::path(home) / ".local/share");
  }
  std::string systemDirs = (xdgDataDirsList != nullptr && xdgDataDirsList[0] != '\0')
                               ? xdgDataDirsList
                               : "/usr/local/share:/usr/share";
  for (auto& dir : splitList(systemDirs, ':')) {
    // Relative entries are invalid by the base directory rules and are ignored.
    if (dir.starts_with('/')) {
      dirs.emplace_back(dir);
    }
  }
  return dirs;
}

std::vector<fs::path> xdgDataDirsFromEnvironment() {
  return xdgDataDirs(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                     std::getenv("XDG_DATA_DIRS"));
}

std::optional<fs::path> findThemeSound(const std::vector<fs::path>& dataDirs,
                                       const std::string& themeName) {
  const auto chain = themeChain(dataDirs, themeName);
  for (const char* eventName : kEventNames) {
    for (const auto& theme : chain) {
      if (auto found = findInTheme(dataDirs, theme, eventName)) {
        return found;
      }
    }
  }
  return std::nullopt;
}

}  // namespace tonvela
