#include "platform/sound/winmm/win_sound_file.h"

#include <shlobj.h>

namespace tonvela {

void UniqueHandle::reset(HANDLE handle) {
  if (valid()) {
    CloseHandle(handle_);
  }
  handle_ = handle;
}

namespace {

std::wstring currentDirectory() {
  DWORD length = GetCurrentDirectoryW(0, nullptr);
  if (length == 0) {
    return {};
  }
  std::wstring dir(length, L'\0');
  length = GetCurrentDirectoryW(length, dir.data());
  dir.resize(length);
  return dir;
}

std::wstring appDataDirectory() {
  PWSTR roaming = nullptr;
  std::wstring dir;
  if (SUCCEEDED(
          SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &roaming))) {
    dir = std::wstring(roaming) + L"\\Tonvela";
  }
  CoTaskMemFree(roaming);
  return dir;
}

bool hasDirectoryPart(const std::wstring& name) {
  return name.find_first_of(L"\\/:") != std::wstring::npos;
}

}  // namespace

std::wstring programFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // long paths (\\?\ form) exceed MAX_PATH
  }
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring{} : path.substr(0, slash);
}

std::vector<std::wstring> soundSearchFolders() {
  std::vector<std::wstring> dirs;
  for (std::wstring dir : {currentDirectory(), appDataDirectory(), programFolder()}) {
    if (!dir.empty()) {
      dirs.push_back(std::move(dir));
    }
  }
  return dirs;
}

UniqueHandle openDiskFile(const std::wstring& path) {
  // No FILE_FLAG_BACKUP_SEMANTICS: without it a directory cannot be opened at all.
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) {
    return {};
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return {};
  }
  return file;
}

std::vector<std::wstring> soundFileCandidates(const std::wstring& name,
                                              const std::vector<std::wstring>& dirs) {
  std::vector<std::wstring> paths;
  if (name.empty() || hasDirectoryPart(name)) {
    return paths;
  }
  for (std::wstring path : dirs) {
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
      path += L'\\';
    }
    paths.push_back(path + name);
  }
  return paths;
}

FileByteSource::FileByteSource(HANDLE file) : file_(file) {
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    size_ = static_cast<std::uint64_t>(size.QuadPart);
  }
}

bool FileByteSource::readAt(std::uint64_t offset, void* out, std::size_t count) {
  if (offset > size_ || count > size_ - offset) {
    return false;
  }
  auto* bytes = static_cast<char*>(out);
  while (count > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFU);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD chunk = count > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count);
    DWORD got = 0;
    // A range locked by another program fails here at once; the caller treats it as unreadable.
    if (!ReadFile(file_, bytes, chunk, &got, &at) || got == 0) {
      return false;
    }
    bytes += got;
    offset += got;
    count -= got;
  }
  return true;
}

}  // namespace tonvela
