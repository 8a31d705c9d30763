// The RIFF WAVE reader against hand-built files: what it must accept, and every way a damaged
// or hostile header must be refused before a device is opened.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/sound/wave_format.h"

namespace tonvela {
namespace {

using Bytes = std::vector<std::uint8_t>;

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

void put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

void putChunk(Bytes& b, const char* id, const Bytes& body, std::uint32_t claimed) {
  putId(b, id);
  put32(b, claimed);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) {
    b.push_back(0);
  }
}

Bytes fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  Bytes body;
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  put16(body, tag);
  put16(body, channels);
  put32(body, rate);
  put32(body, rate * align);
  put16(body, align);
  put16(body, bits);
  return body;
}

// A file assembled from chunks, each given with the size its header claims.
struct Chunk {
  const char* id;
  Bytes body;
  std::uint32_t claimed;
};
Bytes riffWave(const std::vector<Chunk>& chunks, std::uint32_t riffSizeDelta = 0) {
  Bytes inner;
  putId(inner, "WAVE");
  for (const Chunk& c : chunks) {
    putChunk(inner, c.id, c.body, c.claimed);
  }
  Bytes file;
  putId(file, "RIFF");
  put32(file, static_cast<std::uint32_t>(inner.size()) + riffSizeDelta);
  file.insert(file.end(), inner.begin(), inner.end());
  return file;
}
Chunk fmtChunk(Bytes body) {
  auto size = static_cast<std::uint32_t>(body.size());
  return {"fmt ", std::move(body), size};
}
Chunk dataChunk(std::size_t bytes) {
  return {"data", Bytes(bytes, 0x11), static_cast<std::uint32_t>(bytes)};
}
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
                    EncodingCase{"ima_adpcm", format(0x11, 1, 4, 256), PcmEncoding::None}),
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
                       {16384, -32767, 32767, -32768, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tonvela
