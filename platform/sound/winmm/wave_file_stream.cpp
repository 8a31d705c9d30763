#include "platform/sound/winmm/wave_file_stream.h"

// windows.h first: the other Windows headers build on its types.
#include <windows.h>

#include <mmreg.h>
#include <mmsystem.h>
#include <msacm.h>

#include <algorithm>
#include <vector>

namespace tonvela {
namespace {

// About a quarter of a second of the file is read and converted at a time, but never more than
// kMaxReadBytes of it, whatever rate the header claims: the header's bytes per second are the
// file's word alone, and 0xFFFFFFFF would have the whole data chunk read at once. A block is read
// whole, so a chunk holds at least one (a block is at most 64 KiB).
constexpr std::uint32_t kReadMillis = 250;
constexpr std::uint32_t kMaxReadBytes = 64 * 1024;
// What one chunk may decode to. The codecs of the system expand by at most about 10 (GSM 6.10:
// 65 bytes to 320 samples); a codec that asks for more than this for one chunk is refused.
constexpr DWORD kMaxDecodedBytes = 16 * kMaxReadBytes;

// Decoding goes through 16 bits, what the wave device plays; n / 32768 is exact in a float, so
// the device gets the very same samples back.
void int16ToFloat(const std::int16_t* in, std::size_t count, float* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = static_cast<float>(in[i]) / 32768.0F;
  }
}

class PcmFileStream final : public AudioSource {
 public:
  PcmFileStream(HANDLE file, const WaveLayout& layout, PcmEncoding encoding)
      : source_(file), layout_(layout), encoding_(encoding) {}

  int sampleRate() const override { return static_cast<int>(layout_.format.samplesPerSec); }
  int channels() const override { return layout_.format.channels; }
  std::int64_t frames() const override { return layout_.dataSize / layout_.format.blockAlign; }
  bool failed() const override { return failed_; }

  std::size_t read(float* out, std::size_t maxFrames) override {
    const std::int64_t left = frames() - position_;
    const std::size_t count = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(maxFrames), left));
    if (count == 0 || failed_) {
      return 0;
    }
    const std::size_t bytes = count * layout_.format.blockAlign;
    buffer_.resize(bytes);
    const std::uint64_t offset =
        layout_.dataOffset + static_cast<std::uint64_t>(position_) * layout_.format.blockAlign;
    if (!source_.readAt(offset, buffer_.data(), bytes)) {
      failed_ = true;
      return 0;
    }
    const std::size_t samples = count * layout_.format.channels;
    samples_.resize(samples);
    toSigned16(encoding_, buffer_.data(), samples, samples_.data());
    int16ToFloat(samples_.data(), samples, out);
    position_ += static_cast<std::int64_t>(count);
    return count;
  }

 private:
  FileByteSource source_;
  WaveLayout layout_;
  PcmEncoding encoding_;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::int16_t> samples_;
  std::int64_t position_ = 0;
  bool failed_ = false;
};

// WAVEFORMATEX followed by the format's extra bytes, as the ACM expects it.
std::vector<std::uint8_t> waveFormatEx(const WaveFormat& format) {
  std::vector<std::uint8_t> bytes(sizeof(WAVEFORMATEX) + format.extra.size());
  WAVEFORMATEX header{};
  header.wFormatTag = format.formatTag;
  header.nChannels = format.channels;
  header.nSamplesPerSec = format.samplesPerSec;
  header.nAvgBytesPerSec = format.avgBytesPerSec;
  header.nBlockAlign = format.blockAlign;
  header.wBitsPerSample = format.bitsPerSample;
  header.cbSize = static_cast<WORD>(format.extra.size());
  std::copy_n(reinterpret_cast<const std::uint8_t*>(&header), sizeof header, bytes.begin());
  std::copy(format.extra.begin(), format.extra.end(), bytes.begin() + sizeof header);
  return bytes;
}

std::uint32_t readChunkBytes(const WaveFormat& format) {
  const std::uint32_t align = format.blockAlign;
  const std::uint32_t wanted =
      std::min(format.avgBytesPerSec / (1000 / kReadMillis), kMaxReadBytes);
  return std::max(align, wanted / align * align);
}

class AcmFileStream final : public AudioSource {
 public:
  AcmFileStream(HANDLE file, const WaveLayout& layout) : source_(file), layout_(layout) {}
  ~AcmFileStream() override {
    if (stream_ != nullptr) {
      acmStreamClose(stream_, 0);
    }
  }
  AcmFileStream(const AcmFileStream&) = delete;
  AcmFileStream& operator=(const AcmFileStream&) = delete;

  // False when no codec of the system converts this format to 16-bit PCM.
  bool open() {
    std::vector<std::uint8_t> from = waveFormatEx(layout_.format);
    auto* fromFormat = reinterpret_cast<WAVEFORMATEX*>(from.data());
    pcm_ = WAVEFORMATEX{};
    pcm_.wFormatTag = WAVE_FORMAT_PCM;
    pcm_.wBitsPerSample = 16;
    if (acmFormatSuggest(nullptr, fromFormat, &pcm_, sizeof pcm_,
                         ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE) != 0 ||
        pcm_.nChannels == 0 || pcm_.nChannels > kMaxChannels ||
        !isPlayableRate(pcm_.nSamplesPerSec) || pcm_.nBlockAlign != pcm_.nChannels * 2) {
      return false;
    }
    if (acmStreamOpen(&stream_, nullptr, fromFormat, &pcm_, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != 0) {
      stream_ = nullptr;
      return false;
    }
    DWORD pcmBytes = 0;
    if (acmStreamSize(stream_, layout_.dataSize, &pcmBytes, ACM_STREAMSIZEF_SOURCE) != 0) {
      return false;
    }
    frames_ = pcmBytes / pcm_.nBlockAlign;
    chunkBytes_ = readChunkBytes(layout_.format);
    return frames_ > 0;
  }

  int sampleRate() const override { return static_cast<int>(pcm_.nSamplesPerSec); }
  int channels() const override { return pcm_.nChannels; }
  std::int64_t frames() const override { return frames_; }
  bool failed() const override { return failed_; }

  std::size_t read(float* out, std::size_t maxFrames) override {
    while (pending_.size() - taken_ < static_cast<std::size_t>(pcm_.nChannels) && convertMore()) {
    }
    const std::size_t available = (pending_.size() - taken_) / pcm_.nChannels;
    const std::size_t count = std::min(available, maxFrames);
    int16ToFloat(pending_.data() + taken_, count * pcm_.nChannels, out);
    taken_ += count * pcm_.nChannels;
    return count;
  }

 private:
  // Converts the next chunk of the file into pending_; false at the end or on failure.
  bool convertMore() {
    if (failed_ || consumed_ >= layout_.dataSize) {
      return false;
    }
    const std::uint32_t bytes = std::min(chunkBytes_, layout_.dataSize - consumed_);
    const bool last = consumed_ + bytes >= layout_.dataSize;
    std::vector<std::uint8_t> input(bytes);
    DWORD outputBytes = 0;
    if (!source_.readAt(layout_.dataOffset + consumed_, input.data(), bytes) ||
        acmStreamSize(stream_, bytes, &outputBytes, ACM_STREAMSIZEF_SOURCE) != 0 ||
        outputBytes > kMaxDecodedBytes) {
      failed_ = true;
      return false;
    }
    std::vector<std::int16_t> output(outputBytes / 2 + pcm_.nChannels);
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = input.data();
    header.cbSrcLength = bytes;
    header.pbDst = reinterpret_cast<LPBYTE>(output.data());
    header.cbDstLength = static_cast<DWORD>(output.size() * 2);
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | (consumed_ == 0 ? ACM_STREAMCONVERTF_START : 0) |
                  (last ? ACM_STREAMCONVERTF_END : 0);
    bool converted = acmStreamPrepareHeader(stream_, &header, 0) == 0;
    converted = converted && acmStreamConvert(stream_, &header, flags) == 0;
    if (header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) {
      acmStreamUnprepareHeader(stream_, &header, 0);
    }
    if (!converted || header.cbSrcLengthUsed == 0) {
      failed_ = !converted;
      return false;
    }
    consumed_ += header.cbSrcLengthUsed;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(taken_));
    taken_ = 0;
    const std::size_t samples = header.cbDstLengthUsed / 2 / pcm_.nChannels * pcm_.nChannels;
    pending_.insert(pending_.end(), output.begin(),
                    output.begin() + static_cast<std::ptrdiff_t>(samples));
    return true;
  }

  FileByteSource source_;
  WaveLayout layout_;
  HACMSTREAM stream_ = nullptr;
  WAVEFORMATEX pcm_{};
  std::int64_t frames_ = 0;
  std::uint32_t chunkBytes_ = 0;
  std::uint32_t consumed_ = 0;
  std::vector<std::int16_t> pending_;
  std::size_t taken_ = 0;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<AudioSource> openWaveFileStream(HANDLE file) {
  FileByteSource source(file);
  std::optional<WaveLayout> layout = readWaveLayout(source);
  if (!layout) {
    return nullptr;
  }
  PcmEncoding encoding = pcmEncodingOf(layout->format);
  if (encoding != PcmEncoding::None) {
    return std::make_unique<PcmFileStream>(file, *layout, encoding);
  }
  if (layout->format.formatTag == kWaveFormatPcm || layout->format.formatTag == kWaveFormatFloat ||
      layout->format.formatTag == kWaveFormatExtensible) {
    return nullptr;  // uncompressed but inconsistent: no codec would make sense of it
  }
  auto stream = std::make_unique<AcmFileStream>(file, *layout);
  if (!stream->open()) {
    return nullptr;
  }
  return stream;
}

}  // namespace tonvela
