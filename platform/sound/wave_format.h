#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/sound/playable_rates.h"

namespace tonvela {

// The format block of a RIFF WAVE file, as the "fmt " chunk gives it (WAVEFORMATEX's fields).
struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::vector<std::uint8_t> extra;  // the bytes after cbSize; cbSize is their count
};

// Where the sound lies in the file.
struct WaveLayout {
  WaveFormat format;
  std::uint64_t dataOffset = 0;
  std::uint32_t dataSize = 0;
};

// Random access to the file's bytes, so the reader never holds more than one header in memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Reads exactly count bytes at offset; false when they are not all there.
  virtual bool readAt(std::uint64_t offset, void* out, std::size_t count) = 0;
};

inline constexpr std::uint16_t kWaveFormatPcm = 0x0001;
inline constexpr std::uint16_t kWaveFormatMsAdpcm = 0x0002;
inline constexpr std::uint16_t kWaveFormatFloat = 0x0003;
inline constexpr std::uint16_t kWaveFormatALaw = 0x0006;
inline constexpr std::uint16_t kWaveFormatMuLaw = 0x0007;
inline constexpr std::uint16_t kWaveFormatImaAdpcm = 0x0011;
inline constexpr std::uint16_t kWaveFormatGsm610 = 0x0031;
inline constexpr std::uint16_t kWaveFormatMpegLayer3 = 0x0055;
inline constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;

// At most this many channels: beyond 7.1 no device has the speakers to tell them apart. Rates are
// those of playable_rates.h. Anything outside is refused before a device is opened.
inline constexpr std::uint16_t kMaxChannels = 8;

// Walks the chunks of a RIFF WAVE file with every size checked against the file's real length.
// Nothing (no layout) for files that are not WAVE, lack "fmt " or "data", have a chunk that runs
// past the end (a truncated file), whose format values are out of range, whose compressed format
// lacks the fields of its own that a codec reads after cbSize, or whose sound is shorter than one
// block (a frame, for PCM): nothing of it could be heard.
std::optional<WaveLayout> readWaveLayout(ByteSource& source);

// Encodings of one value per sample that are converted here, without a codec: PCM, float and
// the two companded G.711 encodings, which every rate may carry (the system's codecs may take
// only a few rates).
enum class PcmEncoding {
  None,
  Unsigned8,
  Signed16,
  Signed24,
  Signed32,
  Float32,
  Float64,
  MuLaw,
  ALaw
};

// The encoding of a format (plain, or WAVE_FORMAT_EXTENSIBLE with such a sub-format) whose block
// alignment matches; None for the formats that need a codec and for inconsistent ones.
PcmEncoding pcmEncodingOf(const WaveFormat& format);

// Converts frames of the given encoding to signed 16-bit samples, clipping and rounding floats.
// in holds sampleCount samples; out has room for sampleCount samples.
void toSigned16(PcmEncoding encoding, const std::uint8_t* in, std::size_t sampleCount,
                std::int16_t* out);

inline std::size_t bytesPerSample(PcmEncoding encoding) {
  switch (encoding) {
    case PcmEncoding::Unsigned8:
    case PcmEncoding::MuLaw:
    case PcmEncoding::ALaw:
      return 1;
    case PcmEncoding::Signed16:
      return 2;
    case PcmEncoding::Signed24:
      return 3;
    case PcmEncoding::Signed32:
    case PcmEncoding::Float32:
      return 4;
    case PcmEncoding::Float64:
      return 8;
    case PcmEncoding::None:
      break;
  }
  return 0;
}

}  // namespace tonvela
