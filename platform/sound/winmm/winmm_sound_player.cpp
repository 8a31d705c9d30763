#include "platform/sound/winmm/winmm_sound_player.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "platform/sound/chime.h"
#include "platform/sound/winmm/wave_file_stream.h"
#include "platform/sound/winmm/wave_out_playback.h"
#include "platform/sound/winmm/win_sound_file.h"
#include "platform/win_text.h"

namespace tonvela {
namespace {

// A sound file held open with the stream that reads it through the file's handle.
struct OpenSound {
  UniqueHandle file;
  std::unique_ptr<AudioSource> stream;
};

// The file at path, if it is a regular file that opens as a playable sound.
OpenSound openSound(const std::wstring& path) {
  OpenSound sound{openDiskFile(path), nullptr};
  if (sound.file.valid()) {
    sound.stream = openWaveFileStream(sound.file.get());
  }
  return sound;
}

// The first of paths that opens as a playable sound. One that cannot be decoded is passed over
// as one that is missing is, so a damaged file in an earlier folder hides no good one later.
OpenSound firstPlayable(const std::vector<std::wstring>& paths) {
  for (const std::wstring& path : paths) {
    if (OpenSound sound = openSound(path); sound.stream) {
      return sound;
    }
  }
  return {};
}

WaveOutResult play(const OpenSound& sound, std::stop_token stop, std::chrono::milliseconds slack) {
  return sound.stream ? playOnWaveOut(*sound.stream, std::move(stop), slack)
                      : WaveOutResult::Failed;
}

// The file the user chose for the default beep in the Sound control panel, if any. RRF_RT_REG_SZ
// takes an expandable string too, expanded (%SystemRoot% and the like); asking for
// RRF_RT_REG_EXPAND_SZ as well is refused with ERROR_INVALID_PARAMETER unless expansion is off.
std::wstring defaultSoundFile() {
  constexpr const wchar_t* kKey = L"AppEvents\\Schemes\\Apps\\.Default\\.Default\\.Current";
  std::wstring path(MAX_PATH, L'\0');
  LSTATUS status = ERROR_MORE_DATA;
  // The expanded length is known only once expanded, so a second try may need more still.
  for (int attempt = 0; attempt < 3 && status == ERROR_MORE_DATA; ++attempt) {
    DWORD bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    status =
        RegGetValueW(HKEY_CURRENT_USER, kKey, nullptr, RRF_RT_REG_SZ, nullptr, path.data(), &bytes);
    if (status == ERROR_MORE_DATA) {
      path.resize(std::max<std::size_t>(path.size() * 2, bytes / sizeof(wchar_t) + 1));
    }
  }
  if (status != ERROR_SUCCESS) {
    return {};
  }
  path.resize(wcsnlen(path.c_str(), path.size()));
  return path;
}

}  // namespace

bool WinmmSoundPlayer::playSync(const std::string& fileName, std::stop_token stop) {
  const std::vector<std::wstring> dirs =
      options_.searchDirs ? *options_.searchDirs : soundSearchFolders();
  WaveOutResult outcome =
      play(firstPlayable(soundFileCandidates(widen(fileName), dirs)), stop, options_.deadlineSlack);
  if (outcome == WaveOutResult::Failed && options_.useDefaultSound && !stop.stop_requested()) {
    const std::wstring path = defaultSoundFile();
    outcome = play(path.empty() ? OpenSound{} : openSound(path), stop, options_.deadlineSlack);
  }
  if (outcome == WaveOutResult::Failed && !stop.stop_requested()) {
    Chime chime;
    outcome = playOnWaveOut(chime, stop, options_.deadlineSlack);
  }
  return outcome == WaveOutResult::Played;
}

}  // namespace tonvela
