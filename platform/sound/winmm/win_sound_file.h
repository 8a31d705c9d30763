#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound/wave_format.h"

namespace tonvela {

// Owns a kernel handle (file, event); closes it once.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset(HANDLE handle = nullptr);

 private:
  HANDLE handle_ = nullptr;
};

// The folders searched for a sound given by a bare name, in order: the current folder,
// %APPDATA%\Tonvela, then the folder of the program itself (a shortcut may start it anywhere).
std::vector<std::wstring> soundSearchFolders();

// The folder holding the running program, without a trailing separator.
std::wstring programFolder();

// Opens path for reading if it is a regular file on a disk. Directories, pipes, consoles and
// devices are refused, and so is a file another program holds without sharing reads: the open
// fails at once instead of waiting on it. Invalid handle when refused.
UniqueHandle openDiskFile(const std::wstring& path);

// Where a file called name would be in each of dirs, in their order; none for a name with a
// directory part. Windows file systems match the name without regard to case.
std::vector<std::wstring> soundFileCandidates(const std::wstring& name,
                                              const std::vector<std::wstring>& dirs);

// Reads an open file as a ByteSource for the RIFF reader.
class FileByteSource final : public ByteSource {
 public:
  explicit FileByteSource(HANDLE file);
  std::uint64_t size() const override { return size_; }
  bool readAt(std::uint64_t offset, void* out, std::size_t count) override;

 private:
  HANDLE file_;
  std::uint64_t size_ = 0;
};

}  // namespace tonvela
