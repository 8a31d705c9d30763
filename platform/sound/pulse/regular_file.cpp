#include "platform/sound/pulse/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tonvela {

UniqueFd openRegularFileAt(int dirFd, const char* name) {
  // O_PATH resolves the name, links included, without opening what it leads to: no driver's
  // open runs and no FIFO is waited on. Its type is then known from fstat.
  UniqueFd pathFd(::openat(dirFd, name, O_PATH | O_CLOEXEC));
  struct stat info {};
  if (!pathFd.valid() || ::fstat(pathFd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return {};
  }
  // Reopened through the descriptor's own /proc entry, which leads to the very file checked
  // above even if the name has since been pointed elsewhere. Linux has no unprivileged way to
  // reopen an O_PATH descriptor besides this: openat(fd, "", ...) does not take AT_EMPTY_PATH.
  const std::string self = "/proc/self/fd/" + std::to_string(pathFd.get());
  return UniqueFd(::open(self.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
}

UniqueFd openRegularFile(const std::filesystem::path& path) {
  return openRegularFileAt(AT_FDCWD, path.c_str());
}

std::optional<std::string> readSmallRegularFile(const std::filesystem::path& path,
                                                std::size_t maxBytes) {
  UniqueFd fd = openRegularFile(path);
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0 ||
      static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
    return std::nullopt;
  }
  std::string text(maxBytes + 1, '\0');
  std::size_t filled = 0;
  while (filled < text.size()) {
    ssize_t got = ::read(fd.get(), text.data() + filled, text.size() - filled);
    if (got == 0) {
      break;
    }
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    filled += static_cast<std::size_t>(got);
  }
  if (filled > maxBytes) {
    return std::nullopt;
  }
  text.resize(filled);
  return text;
}

}  // namespace tonvela
