#include "platform/sound/winmm/wave_out_playback.h"

// windows.h first: the other Windows headers build on its types.
#include <windows.h>

#include <mmreg.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "platform/sound/winmm/win_sound_file.h"

namespace tonvela {
namespace {

using Clock = std::chrono::steady_clock;

// 800 ms queued: a busy machine may leave this thread unscheduled for a while without the
// device running dry. Stopping does not wait for them: waveOutReset drops what is queued.
constexpr std::size_t kBufferCount = 8;
constexpr std::uint32_t kBufferMillis = 100;
constexpr DWORD kPollMillis = 20;
// KSDATAFORMAT_SUBTYPE_PCM, spelled out so no GUID library has to be linked.
constexpr GUID kSubtypePcm = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// The device plays 16-bit samples: what every wave device and driver takes.
std::int16_t toDeviceSample(float sample) {
  if (!std::isfinite(sample)) {
    return 0;
  }
  return static_cast<std::int16_t>(
      std::clamp(std::nearbyint(sample * 32768.0F), -32768.0F, 32767.0F));
}

WAVEFORMATEXTENSIBLE deviceFormat(const AudioSource& stream) {
  WAVEFORMATEXTENSIBLE format{};
  WAVEFORMATEX& ex = format.Format;
  ex.wFormatTag = WAVE_FORMAT_PCM;
  ex.nChannels = static_cast<WORD>(stream.channels());
  ex.nSamplesPerSec = static_cast<DWORD>(stream.sampleRate());
  ex.wBitsPerSample = 16;
  ex.nBlockAlign = static_cast<WORD>(ex.nChannels * 2);
  ex.nAvgBytesPerSec = ex.nSamplesPerSec * ex.nBlockAlign;
  if (stream.channels() > 2) {
    // Plain PCM names no speaker positions beyond stereo; the extensible form does.
    static constexpr DWORD kMasks[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
    ex.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    ex.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    format.Samples.wValidBitsPerSample = 16;
    format.dwChannelMask = kMasks[stream.channels()];
    format.SubFormat = kSubtypePcm;
  }
  return format;
}

// The open device with its buffers; closing it silences and releases everything.
class WaveOutDevice {
 public:
  WaveOutDevice(HWAVEOUT device, std::size_t bufferSamples) : device_(device) {
    for (Buffer& buffer : buffers_) {
      buffer.samples.resize(bufferSamples);
    }
  }
  ~WaveOutDevice() {
    waveOutReset(device_);
    for (Buffer& buffer : buffers_) {
      if (buffer.header.dwFlags & WHDR_PREPARED) {
        waveOutUnprepareHeader(device_, &buffer.header, sizeof buffer.header);
      }
    }
    waveOutClose(device_);
  }
  WaveOutDevice(const WaveOutDevice&) = delete;
  WaveOutDevice& operator=(const WaveOutDevice&) = delete;

  // Refills every buffer the device has finished with; false once a write fails.
  bool refill(AudioSource& stream) {
    for (Buffer& buffer : buffers_) {
      if (buffer.queued && !(buffer.header.dwFlags & WHDR_DONE)) {
        continue;
      }
      buffer.queued = false;
      if (buffer.header.dwFlags & WHDR_PREPARED) {
        waveOutUnprepareHeader(device_, &buffer.header, sizeof buffer.header);
      }
      const std::size_t channels = static_cast<std::size_t>(stream.channels());
      floats_.resize(buffer.samples.size());
      std::size_t frames = stream.read(floats_.data(), buffer.samples.size() / channels);
      if (frames == 0) {
        continue;
      }
      std::transform(floats_.begin(),
                     floats_.begin() + static_cast<std::ptrdiff_t>(frames * channels),
                     buffer.samples.begin(), toDeviceSample);
      buffer.header = WAVEHDR{};
      buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
      buffer.header.dwBufferLength = static_cast<DWORD>(frames * channels * 2);
      if (waveOutPrepareHeader(device_, &buffer.header, sizeof buffer.header) != MMSYSERR_NOERROR ||
          waveOutWrite(device_, &buffer.header, sizeof buffer.header) != MMSYSERR_NOERROR) {
        return false;
      }
      buffer.queued = true;
      anyWritten_ = true;
    }
    return true;
  }

  // Whether a single frame ever reached the device: a stream that ends before giving one was
  // heard by no one, however normally it ended.
  bool anyWritten() const { return anyWritten_; }

  bool anyQueued() const {
    for (const Buffer& buffer : buffers_) {
      if (buffer.queued && !(buffer.header.dwFlags & WHDR_DONE)) {
        return true;
      }
    }
    return false;
  }

 private:
  struct Buffer {
    std::vector<std::int16_t> samples;
    WAVEHDR header{};
    bool queued = false;
  };
  HWAVEOUT device_;
  std::array<Buffer, kBufferCount> buffers_;
  std::vector<float> floats_;
  bool anyWritten_ = false;
};

}  // namespace

WaveOutResult playOnWaveOut(AudioSource& stream, std::stop_token stop,
                            std::chrono::milliseconds slack) {
  WAVEFORMATEXTENSIBLE format = deviceFormat(stream);
  // Auto-reset: the device signals it whenever a buffer is done.
  UniqueHandle bufferDone(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  HWAVEOUT handle = nullptr;
  if (!bufferDone.valid() || waveOutOpen(&handle, WAVE_MAPPER, &format.Format,
                                         reinterpret_cast<DWORD_PTR>(bufferDone.get()), 0,
                                         CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    return WaveOutResult::NoDevice;
  }
  const auto length = std::chrono::milliseconds(stream.frames() * 1000 / stream.sampleRate());
  const auto deadline = Clock::now() + length + slack;
  const std::size_t bufferFrames =
      static_cast<std::size_t>(stream.sampleRate()) * kBufferMillis / 1000;
  WaveOutDevice device(handle, bufferFrames * static_cast<std::size_t>(stream.channels()));

  for (;;) {
    if (!device.refill(stream)) {
      return WaveOutResult::Failed;
    }
    if (!device.anyQueued()) {
      return stream.failed() || !device.anyWritten() ? WaveOutResult::Failed
                                                     : WaveOutResult::Played;
    }
    if (stop.stop_requested()) {
      return WaveOutResult::Stopped;
    }
    if (Clock::now() > deadline) {
      return WaveOutResult::Failed;  // the device stopped consuming; the destructor resets it
    }
    WaitForSingleObject(bufferDone.get(), kPollMillis);
  }
}

}  // namespace tonvela
