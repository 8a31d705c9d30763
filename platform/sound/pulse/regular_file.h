#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/sound/pulse/unique_fd.h"

namespace tonvela {

// Opens `name` (relative to dirFd, which may be AT_FDCWD) for reading when it is a regular file
// or a symbolic link to one; returns an invalid fd for anything else. Nothing but a regular file
// is ever opened for reading: a device's driver runs on open (a serial port resets its line), and
// a FIFO would wait for a writer.
UniqueFd openRegularFileAt(int dirFd, const char* name);
UniqueFd openRegularFile(const std::filesystem::path& path);

// The contents of the regular file at path, if it is one of at most maxBytes. Never reads more
// than maxBytes + 1 bytes, so a file that grows while it is read cannot grow the result.
std::optional<std::string> readSmallRegularFile(const std::filesystem::path& path,
                                                std::size_t maxBytes);

}  // namespace tonvela
