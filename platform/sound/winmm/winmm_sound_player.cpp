#include "platform/sound/winmm/winmm_sound_player.h"

#include <windows.h>

#include <memory>

#include "platform/sound/chime.h"
#include "platform/sound/winmm/wave_file_stream.h"
#include "platform/sound/winmm/wave_out_playback.h"
#include "platform/sound/winmm/win_sound_file.h"
#include "platform/win_text.h"

namespace tonvela {
namespace {

// A file that cannot be read as a sound fails like a stream that stops short: the next sound in
// line is tried.
WaveOutResult playFile(HANDLE file, std::stop_token stop, std::chrono::milliseconds slack) {
  std::unique_ptr<AudioSource> stream = openWaveFileStream(file);
  return stream ? playOnWaveOut(*stream, std::move(stop), slack) : WaveOutResult::Failed;
}

// The file the user chose for the default beep in the Sound control panel, if any.
std::wstring defaultSoundFile() {
  constexpr const wchar_t* kKey = L"AppEvents\\Schemes\\Apps\\.Default\\.Default\\.Current";
  std::wstring path(MAX_PATH, L'\0');
  DWORD bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
  // RRF_RT_REG_EXPAND_SZ values come back with %SystemRoot% and the like already expanded.
  LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, kKey, nullptr,
                                RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr, path.data(), &bytes);
  if (status == ERROR_MORE_DATA) {
    path.resize(bytes / sizeof(wchar_t) + 1);
    bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    status = RegGetValueW(HKEY_CURRENT_USER, kKey, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ,
                          nullptr, path.data(), &bytes);
  }
  if (status != ERROR_SUCCESS) {
    return {};
  }
  path.resize(wcsnlen(path.c_str(), path.size()));
  return path;
}

}  // namespace

bool WinmmSoundPlayer::playSync(const std::string& fileName, std::stop_token stop) {
  const std::wstring name = widen(fileName);
  const std::vector<std::wstring> dirs =
      options_.searchDirs ? *options_.searchDirs : soundSearchFolders();
  WaveOutResult outcome = WaveOutResult::Failed;
  if (UniqueHandle file = findSoundFile(name, dirs); file.valid()) {
    outcome = playFile(file.get(), stop, options_.deadlineSlack);
  }
  if (outcome == WaveOutResult::Failed && options_.useDefaultSound && !stop.stop_requested()) {
    const std::wstring path = defaultSoundFile();
    if (UniqueHandle file = path.empty() ? UniqueHandle{} : openDiskFile(path); file.valid()) {
      outcome = playFile(file.get(), stop, options_.deadlineSlack);
    }
  }
  if (outcome == WaveOutResult::Failed && !stop.stop_requested()) {
    Chime chime;
    outcome = playOnWaveOut(chime, stop, options_.deadlineSlack);
  }
  return outcome == WaveOutResult::Played;
}

}  // namespace tonvela
