#include "platform/sound/wave_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace tonvela {
namespace {

// A WAVE file's headers are small; a longer "fmt " chunk is damage, not a format.
constexpr std::uint32_t kMaxFormatChunk = 1024;
// Files with thousands of tiny chunks would make the walk slow; real files have a handful.
constexpr int kMaxChunks = 4096;

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
bool isId(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

std::optional<WaveFormat> parseFormat(const std::vector<std::uint8_t>& body) {
  if (body.size() < 16) {
    return std::nullopt;
  }
  WaveFormat format;
  format.formatTag = le16(&body[0]);
  format.channels = le16(&body[2]);
  format.samplesPerSec = le32(&body[4]);
  format.avgBytesPerSec = le32(&body[8]);
  format.blockAlign = le16(&body[12]);
  format.bitsPerSample = le16(&body[14]);
  if (body.size() >= 18) {
    std::size_t cbSize = le16(&body[16]);
    // Some writers pad the chunk beyond cbSize; none may claim more than the chunk holds.
    if (cbSize > body.size() - 18) {
      return std::nullopt;
    }
    format.extra.assign(body.begin() + 18, body.begin() + 18 + static_cast<std::ptrdiff_t>(cbSize));
  }
  return format;
}

bool inRange(const WaveFormat& format) {
  return format.channels >= 1 && format.channels <= kMaxChannels &&
         isPlayableRate(format.samplesPerSec) && format.blockAlign > 0 && format.avgBytesPerSec > 0;
}

// The bytes after cbSize that the codecs of the system read for their own formats, whatever
// cbSize says: a shorter block would have them read past its end.
bool hasCodecFields(const WaveFormat& format) {
  const std::size_t extra = format.extra.size();
  switch (format.formatTag) {
    case kWaveFormatMsAdpcm: {
      // wSamplesPerBlock, wNumCoef, then that many coefficient pairs of two 16-bit values.
      if (extra < 4) {
        return false;
      }
      const std::size_t coefficients = le16(&format.extra[2]);
      return coefficients > 0 && extra >= 4 + 4 * coefficients;
    }
    case kWaveFormatImaAdpcm:
    case kWaveFormatGsm610:
      return extra >= 2;  // wSamplesPerBlock
    case kWaveFormatMpegLayer3:
      return extra >= 12;  // wID, fdwFlags, nBlockSize, nFramesPerBlock, nCodecDelay
    default:
      return true;
  }
}

// The KSDATAFORMAT_SUBTYPE GUIDs of PCM and float differ only in their first two bytes.
constexpr std::array<std::uint8_t, 14> kSubtypeTail{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t effectiveTag(const WaveFormat& format) {
  if (format.formatTag != kWaveFormatExtensible) {
    return format.formatTag;
  }
  // Samples.wValidBitsPerSample (2), dwChannelMask (4), SubFormat (16).
  if (format.extra.size() < 22 ||
      !std::equal(kSubtypeTail.begin(), kSubtypeTail.end(), format.extra.begin() + 8)) {
    return 0;
  }
  return le16(&format.extra[6]);
}

}  // namespace

std::optional<WaveLayout> readWaveLayout(ByteSource& source) {
  const std::uint64_t fileSize = source.size();
  std::array<std::uint8_t, 12> riff{};
  if (!source.readAt(0, riff.data(), riff.size()) || !isId(&riff[0], "RIFF") ||
      !isId(&riff[8], "WAVE")) {
    return std::nullopt;
  }
  // The RIFF size is often wrong in files cut by hand; the file's own length is what bounds us.
  const std::uint64_t end = std::min<std::uint64_t>(fileSize, 8ULL + le32(&riff[4]));
  std::optional<WaveFormat> format;
  std::optional<WaveLayout> layout;
  std::uint64_t offset = 12;
  for (int chunk = 0; chunk < kMaxChunks && offset + 8 <= end; ++chunk) {
    std::array<std::uint8_t, 8> header{};
    if (!source.readAt(offset, header.data(), header.size())) {
      return std::nullopt;
    }
    const std::uint32_t size = le32(&header[4]);
    const std::uint64_t body = offset + 8;
    if (isId(&header[0], "fmt ")) {
      if (size > kMaxFormatChunk || body + size > fileSize) {
        return std::nullopt;
      }
      std::vector<std::uint8_t> bytes(size);
      if (!source.readAt(body, bytes.data(), size) || !(format = parseFormat(bytes))) {
        return std::nullopt;
      }
    } else if (isId(&header[0], "data")) {
      if (size == 0 || body + size > fileSize) {
        return std::nullopt;  // nothing to play, or a truncated file
      }
      layout = WaveLayout{{}, body, size};
    }
    if (format && layout) {
      break;
    }
    offset = body + size + (size & 1U);  // chunks are padded to an even length
  }
  if (!format || !layout || !inRange(*format) || !hasCodecFields(*format) ||
      layout->dataSize < format->blockAlign) {
    return std::nullopt;
  }
  layout->format = std::move(*format);
  return layout;
}

PcmEncoding pcmEncodingOf(const WaveFormat& format) {
  const std::uint16_t tag = effectiveTag(format);
  PcmEncoding encoding = PcmEncoding::None;
  if (tag == kWaveFormatPcm) {
    switch (format.bitsPerSample) {
      case 8:
        encoding = PcmEncoding::Unsigned8;
        break;
      case 16:
        encoding = PcmEncoding::Signed16;
        break;
      case 24:
        encoding = PcmEncoding::Signed24;
        break;
      case 32:
        encoding = PcmEncoding::Signed32;
        break;
      default:
        break;
    }
  } else if (tag == kWaveFormatFloat) {
    if (format.bitsPerSample == 32) {
      encoding = PcmEncoding::Float32;
    } else if (format.bitsPerSample == 64) {
      encoding = PcmEncoding::Float64;
    }
  } else if ((tag == kWaveFormatMuLaw || tag == kWaveFormatALaw) && format.bitsPerSample == 8) {
    encoding = tag == kWaveFormatMuLaw ? PcmEncoding::MuLaw : PcmEncoding::ALaw;
  }
  if (encoding == PcmEncoding::None ||
      format.blockAlign != format.channels * bytesPerSample(encoding)) {
    return PcmEncoding::None;
  }
  return encoding;
}

namespace {

template <typename Float>
std::int16_t floatToSigned16(Float value) {
  if (!std::isfinite(value)) {
    return 0;
  }
  Float scaled = std::nearbyint(value * Float{32767});
  return static_cast<std::int16_t>(std::clamp<Float>(scaled, -32768, 32767));
}

// G.711 as ITU-T defines it. A mu-law byte is stored inverted: sign, a 3-bit exponent and a
// 4-bit mantissa over a bias of 0x84 (132), giving -32124..32124.
std::int16_t muLawToSigned16(std::uint8_t code) {
  const unsigned bits = ~code & 0xFFU;
  const int exponent = static_cast<int>((bits >> 4) & 0x07U);
  const int magnitude = ((static_cast<int>(bits & 0x0FU) << 3) + 0x84) << exponent;
  return static_cast<std::int16_t>((bits & 0x80U) != 0 ? 0x84 - magnitude : magnitude - 0x84);
}

// An A-law byte has its even bits inverted; segment 0 is linear, each further one doubles the
// step, giving -32256..32256. Its sign bit set means positive.
std::int16_t aLawToSigned16(std::uint8_t code) {
  const unsigned bits = code ^ 0x55U;
  const int segment = static_cast<int>((bits >> 4) & 0x07U);
  int magnitude = static_cast<int>(bits & 0x0FU) << 4;
  magnitude = segment == 0 ? magnitude + 8 : (magnitude + 0x108) << (segment - 1);
  return static_cast<std::int16_t>((bits & 0x80U) != 0 ? magnitude : -magnitude);
}

}  // namespace

void toSigned16(PcmEncoding encoding, const std::uint8_t* in, std::size_t sampleCount,
                std::int16_t* out) {
  for (std::size_t i = 0; i < sampleCount; ++i) {
    const std::uint8_t* p = in + i * bytesPerSample(encoding);
    switch (encoding) {
      case PcmEncoding::Unsigned8:
        out[i] = static_cast<std::int16_t>((p[0] - 128) * 256);
        break;
      case PcmEncoding::Signed16:
        out[i] = static_cast<std::int16_t>(le16(p));
        break;
      case PcmEncoding::Signed24:
      case PcmEncoding::Signed32:
        // The top 16 bits; both are stored little-endian with the sign in the last byte.
        out[i] = static_cast<std::int16_t>(le16(p + bytesPerSample(encoding) - 2));
        break;
      case PcmEncoding::Float32: {
        float value;
        std::memcpy(&value, p, sizeof value);
        out[i] = floatToSigned16(value);
        break;
      }
      case PcmEncoding::Float64: {
        double value;
        std::memcpy(&value, p, sizeof value);
        out[i] = floatToSigned16(value);
        break;
      }
      case PcmEncoding::MuLaw:
        out[i] = muLawToSigned16(p[0]);
        break;
      case PcmEncoding::ALaw:
        out[i] = aLawToSigned16(p[0]);
        break;
      case PcmEncoding::None:
        out[i] = 0;
        break;
    }
  }
}

}  // namespace tonvela
