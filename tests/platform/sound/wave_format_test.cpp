// The RIFF WAVE reader against hand-built files: what it must accept, and every way a damaged
// or hostile header must be refused before a device is opened.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/sound/wave_format.h"
#include "tests/platform/sound/riff_bytes.h"

namespace tonvela {
namespace {

using test::Bytes;
using test::codecFmtBody;
using test::dataChunk;
using test::fmtBody;
using test::fmtChunk;
using test::put16;
using test::put32;
using test::riffWave;

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(Bytes bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool readAt(std::uint64_t offset, void* out, std::size_t count) override {
    if (offset > bytes_.size() || count > bytes_.size() - offset) {
      return false;
    }
    std::memcpy(out, bytes_.data() + offset, count);
    return true;
  }

 private:
  Bytes bytes_;
};

Bytes pcm16File(std::uint16_t channels, std::uint32_t rate) {
  return riffWave({fmtChunk(fmtBody(1, channels, rate, 16)), dataChunk(400)});
}

struct LayoutCase {
  const char* name;
  Bytes file;
  bool accepted;
  std::uint64_t dataOffset = 0;
  std::uint32_t dataSize = 0;
};

Bytes withByte(Bytes b, std::size_t at, std::uint8_t value) {
  b.at(at) = value;
  return b;
}
Bytes truncated(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}
Bytes formatWithCbSize(std::uint16_t cbSize, std::size_t extraPresent) {
  // IMA ADPCM, 4 bits, blocks of 256 bytes: its alignment is no multiple of the sample size.
  Bytes body;
  put16(body, 0x11);
  put16(body, 1);
  put32(body, 22050);
  put32(body, 11100);
  put16(body, 256);
  put16(body, 4);
  put16(body, cbSize);
  body.insert(body.end(), extraPresent, 0);
  return body;
}

// MS ADPCM in blocks of 256 bytes: wSamplesPerBlock, wNumCoef, then `present` of the
// coefficient pairs that wNumCoef announces.
Bytes msAdpcmFormat(std::uint16_t coefficients, std::size_t present) {
  Bytes extra;
  put16(extra, 500);
  put16(extra, coefficients);
  extra.insert(extra.end(), present * 4, 0);
  return codecFmtBody(kWaveFormatMsAdpcm, 22050, 11155, 256, 4, extra);
}
Bytes samplesPerBlockFormat(std::uint16_t tag, std::uint16_t blockAlign) {
  Bytes extra;
  put16(extra, 505);
  return codecFmtBody(tag, 22050, 11100, blockAlign, 4, extra);
}
// A codec's format cut to the 16 bytes of plain PCM's: no cbSize, none of the codec's fields.
Bytes asPcmSized(Bytes body) { return truncated(std::move(body), 16); }

std::vector<LayoutCase> layoutCases() {
  const Bytes good = pcm16File(1, 44100);
  return {
      {"canonical", good, true, 44, 400},
      // Chunks before "fmt ", one of odd length whose pad byte must be skipped.
      {"list_and_odd_chunk_first",
       riffWave({{"LIST", Bytes(5, 'x'), 5}, fmtChunk(fmtBody(1, 2, 48000, 16)), dataChunk(400)}),
       true, 12 + 14 + 24 + 8, 400},
      {"data_before_fmt", riffWave({dataChunk(400), fmtChunk(fmtBody(1, 1, 8000, 16))}), true, 20,
       400},
      // Hand-cut files often carry a wrong RIFF size; the file's length is what counts.
      {"riff_size_too_large", riffWave({fmtChunk(fmtBody(1, 1, 8000, 16)), dataChunk(400)}, 9999),
       true, 44, 400},
      {"adpcm_with_extra", riffWave({fmtChunk(formatWithCbSize(2, 2)), dataChunk(256)}), true, 48,
       256},
      {"empty", {}, false},
      {"not_riff", withByte(good, 0, 'X'), false},
      {"not_wave", withByte(good, 8, 'X'), false},
      {"header_only", truncated(good, 30), false},
      {"data_truncated", truncated(good, 44 + 200), false},
      {"data_size_4g",
       riffWave({fmtChunk(fmtBody(1, 1, 8000, 16)), {"data", Bytes(4, 0), 0xFFFFFFF0U}}), false},
      {"data_empty", riffWave({fmtChunk(fmtBody(1, 1, 8000, 16)), dataChunk(0)}), false},
      {"no_data", riffWave({fmtChunk(fmtBody(1, 1, 8000, 16))}), false},
      {"no_fmt", riffWave({dataChunk(400)}), false},
      {"fmt_too_short", riffWave({fmtChunk(Bytes(14, 1)), dataChunk(400)}), false},
      {"fmt_huge", riffWave({{"fmt ", fmtBody(1, 1, 8000, 16), 0x7FFFFFFF}}), false},
      {"cb_size_beyond_chunk", riffWave({fmtChunk(formatWithCbSize(40, 2)), dataChunk(256)}),
       false},
      {"channels_0", pcm16File(0, 44100), false},
      {"channels_300", pcm16File(300, 44100), false},
      {"channels_8", pcm16File(8, 44100), true, 44, 400},
      {"rate_0", pcm16File(1, 0), false},
      {"rate_999", pcm16File(1, 999), false},
      {"rate_4g", pcm16File(1, 0xFFFFFFFFU), false},
      {"rate_384k", pcm16File(1, 384000), true, 44, 400},
      // A codec reads its own fields after cbSize; a block that lacks them is refused, not
      // handed to a codec that would read past its end.
      {"ms_adpcm", riffWave({fmtChunk(msAdpcmFormat(7, 7)), dataChunk(256)}), true, 78, 256},
      {"ms_adpcm_16_byte_format",
       riffWave({fmtChunk(asPcmSized(msAdpcmFormat(7, 7))), dataChunk(256)}), false},
      {"ms_adpcm_cb_size_0",
       riffWave(
           {fmtChunk(codecFmtBody(kWaveFormatMsAdpcm, 22050, 11155, 256, 4, {})), dataChunk(256)}),
       false},
      {"ms_adpcm_coefficients_cut", riffWave({fmtChunk(msAdpcmFormat(7, 3)), dataChunk(256)}),
       false},
      {"ima_adpcm_16_byte_format",
       riffWave(
           {fmtChunk(asPcmSized(samplesPerBlockFormat(kWaveFormatImaAdpcm, 256))), dataChunk(256)}),
       false},
      {"ima_adpcm_cb_size_0", riffWave({fmtChunk(formatWithCbSize(0, 0)), dataChunk(256)}), false},
      {"gsm_16_byte_format",
       riffWave(
           {fmtChunk(asPcmSized(samplesPerBlockFormat(kWaveFormatGsm610, 65))), dataChunk(260)}),
       false},
      // Less than one frame or block of sound: nothing could be heard.
      {"data_shorter_than_a_frame", riffWave({fmtChunk(fmtBody(1, 2, 44100, 16)), dataChunk(3)}),
       false},
      {"data_one_frame", riffWave({fmtChunk(fmtBody(1, 2, 44100, 16)), dataChunk(4)}), true, 44, 4},
      {"data_shorter_than_a_block", riffWave({fmtChunk(formatWithCbSize(2, 2)), dataChunk(255)}),
       false},
  };
}

class ReadsWaveLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(ReadsWaveLayout, AcceptsOnlySoundFiles) {
  const LayoutCase& c = GetParam();
  MemorySource source(c.file);
  std::optional<WaveLayout> layout = readWaveLayout(source);
  ASSERT_EQ(layout.has_value(), c.accepted);
  if (layout) {
    EXPECT_EQ(layout->dataOffset, c.dataOffset);
    EXPECT_EQ(layout->dataSize, c.dataSize);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ReadsWaveLayout, testing::ValuesIn(layoutCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadsWaveLayout, KeepsTheCodecsExtraBytes) {
  Bytes body = formatWithCbSize(2, 2);
  body[body.size() - 2] = 0xF9;  // IMA ADPCM's samples per block, 505
  body[body.size() - 1] = 0x01;
  MemorySource source(riffWave({fmtChunk(body), dataChunk(256)}));
  std::optional<WaveLayout> layout = readWaveLayout(source);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->format.formatTag, 0x11);
  EXPECT_EQ(layout->format.extra, (Bytes{0xF9, 0x01}));
}

WaveFormat format(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits,
                  std::uint16_t blockAlign, Bytes extra = {}) {
  return {tag, channels, 44100, 44100U * blockAlign, blockAlign, bits, std::move(extra)};
}

// WAVE_FORMAT_EXTENSIBLE's 22 extra bytes with the given sub-format tag and GUID tail.
Bytes extensible(std::uint16_t subTag, std::uint8_t lastGuidByte = 0x71) {
  Bytes extra;
  put16(extra, 16);   // valid bits
  put32(extra, 0x3);  // front left and right
  put16(extra, subTag);
  Bytes tail{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, lastGuidByte};
  extra.insert(extra.end(), tail.begin(), tail.end());
  return extra;
}

struct EncodingCase {
  const char* name;
  WaveFormat format;
  PcmEncoding expected;
};

class RecognisesPcm : public testing::TestWithParam<EncodingCase> {};

TEST_P(RecognisesPcm, ByTagBitsAndAlignment) {
  EXPECT_EQ(pcmEncodingOf(GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RecognisesPcm,
    testing::Values(EncodingCase{"u8", format(1, 1, 8, 1), PcmEncoding::Unsigned8},
                    EncodingCase{"s16_stereo", format(1, 2, 16, 4), PcmEncoding::Signed16},
                    EncodingCase{"s24", format(1, 1, 24, 3), PcmEncoding::Signed24},
                    EncodingCase{"s32", format(1, 2, 32, 8), PcmEncoding::Signed32},
                    EncodingCase{"float", format(3, 1, 32, 4), PcmEncoding::Float32},
                    EncodingCase{"double", format(3, 1, 64, 8), PcmEncoding::Float64},
                    EncodingCase{"extensible_pcm", format(0xFFFE, 2, 16, 4, extensible(1)),
                                 PcmEncoding::Signed16},
                    EncodingCase{"extensible_float", format(0xFFFE, 2, 32, 8, extensible(3)),
                                 PcmEncoding::Float32},
                    EncodingCase{"extensible_foreign_guid",
                                 format(0xFFFE, 2, 16, 4, extensible(1, 0x72)), PcmEncoding::None},
                    EncodingCase{"extensible_short", format(0xFFFE, 2, 16, 4, Bytes(10, 0)),
                                 PcmEncoding::None},
                    EncodingCase{"align_mismatch", format(1, 2, 16, 2), PcmEncoding::None},
                    EncodingCase{"bits_12", format(1, 1, 12, 2), PcmEncoding::None},
                    EncodingCase{"float_16", format(3, 1, 16, 2), PcmEncoding::None},
                    EncodingCase{"ima_adpcm", format(0x11, 1, 4, 256), PcmEncoding::None},
                    EncodingCase{"mu_law", format(7, 1, 8, 1), PcmEncoding::MuLaw},
                    EncodingCase{"a_law_stereo", format(6, 2, 8, 2), PcmEncoding::ALaw},
                    EncodingCase{"mu_law_16_bits", format(7, 1, 16, 2), PcmEncoding::None},
                    EncodingCase{"extensible_mu_law", format(0xFFFE, 1, 8, 1, extensible(7)),
                                 PcmEncoding::MuLaw}),
    [](const auto& info) { return std::string(info.param.name); });

struct ConversionCase {
  const char* name;
  PcmEncoding encoding;
  Bytes in;
  std::vector<std::int16_t> expected;
};

Bytes floats(std::initializer_list<float> values) {
  Bytes b(values.size() * 4);
  std::memcpy(b.data(), values.begin(), b.size());
  return b;
}

class ConvertsToSigned16 : public testing::TestWithParam<ConversionCase> {};

TEST_P(ConvertsToSigned16, SampleBySample) {
  const ConversionCase& c = GetParam();
  std::vector<std::int16_t> out(c.expected.size(), 12345);
  toSigned16(c.encoding, c.in.data(), out.size(), out.data());
  EXPECT_EQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, ConvertsToSigned16,
    testing::Values(
        ConversionCase{"u8", PcmEncoding::Unsigned8, {0, 128, 255}, {-32768, 0, 32512}},
        ConversionCase{"s16", PcmEncoding::Signed16, {0x01, 0x80, 0xFF, 0x7F}, {-32767, 32767}},
        ConversionCase{"s24_keeps_top_bits",
                       PcmEncoding::Signed24,
                       {0xFF, 0x34, 0x12, 0x00, 0x00, 0x80},
                       {0x1234, -32768}},
        ConversionCase{"s32_keeps_top_bits",
                       PcmEncoding::Signed32,
                       {0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0xFF, 0xFF},
                       {32767, -1}},
        ConversionCase{"float_clips_and_rounds",
                       PcmEncoding::Float32,
                       floats({0.5F, -1.0F, 1.5F, -2.0F, std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity()}),
                       {16384, -32767, 32767, -32768, 0, 0}},
        // G.711's extremes, its zeros and smallest steps, as ITU-T's tables give them.
        ConversionCase{"mu_law",
                       PcmEncoding::MuLaw,
                       {0xFF, 0x7F, 0x00, 0x80, 0x7E, 0x0F},
                       {0, 0, -32124, 32124, -8, -16764}},
        ConversionCase{"a_law",
                       PcmEncoding::ALaw,
                       {0xD5, 0x55, 0xAA, 0x2A, 0x00, 0xD4},
                       {8, -8, 32256, -32256, -5504, 24}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tonvela
