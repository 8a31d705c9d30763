#include "platform/sound/winmm_sound_player.h"

#include <windows.h>

#include <memory>

#include "chime.h"
#include "platform/win_text.h"
#include "wave_file_stream.h"
#include "wave_out_playback.h"
#include "win_sound_file.h"

namespace tonvela {
namespace {

// The chime as 16-bit frames.
class ChimeStream final : public PcmStream {
 public:
  int channels() const override { return chime_.channels(); }
  std::uint32_t sampleRate() const override { return Chime::kSampleRate; }
  std::uint64_t frames() const override { return Chime::kFrames; }
  bool failed() const override { return false; }
  std::size_t read(std::int16_t* out, std::size_t maxFrames) override {
    floats_.resize(maxFrames);
    std::size_t count = chime_.read(floats_.data(), maxFrames);
    toSigned16(PcmEncoding::Float32, reinterpret_cast<const std::uint8_t*>(floats_.data()), count,
               out);
    return count;
  }

 private:
  Chime chime_;
  std::vector<float> floats_;
};

// A file that cannot be read as a sound fails like a stream that stops short: the next sound in
// line is tried.
WaveOutResult playFile(HANDLE file, std::stop_token stop, std::chrono::milliseconds slack) {
  std::unique_ptr<PcmStream> stream = openWaveFileStream(file);
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
      options_.searchDirs ? *options_.searchDirs : defaultSoundSearchDirs();
  WaveOutResult outcome = WaveOutResult::Failed;
  if (UniqueHandle file = openSoundFile(name, dirs); file.valid()) {
    outcome = playFile(file.get(), stop, options_.deadlineSlack);
  }
  if (outcome == WaveOutResult::Failed && options_.useDefaultSound && !stop.stop_requested()) {
    const std::wstring path = defaultSoundFile();
    if (UniqueHandle file = path.empty() ? UniqueHandle{} : openRegularFile(path); file.valid()) {
      outcome = playFile(file.get(), stop, options_.deadlineSlack);
    }
  }
  if (outcome == WaveOutResult::Failed && !stop.stop_requested()) {
    ChimeStream chime;
    outcome = playOnWaveOut(chime, stop, options_.deadlineSlack);
  }
  return outcome == WaveOutResult::Played;
}

}  // namespace tonvela
