#pragma once

// RIFF WAVE files built byte by byte, with every size field free to lie, for the tests of the
// reader and of the streams built on it.
#include <cstdint>
#include <vector>

namespace tonvela::test {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
// Byte by byte: GCC 12 at -O3 takes a range insert into an empty vector for an overflow.
inline void putId(Bytes& b, const char* id) {
  for (int i = 0; i < 4; ++i) {
    b.push_back(static_cast<std::uint8_t>(id[i]));
  }
}

// A "fmt " body of 16 bytes (no cbSize), as plain PCM writes it.
inline Bytes fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                     std::uint16_t bits) {
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

// A "fmt " body of a codec's format: WAVEFORMATEX's fields, cbSize and the given extra bytes.
inline Bytes codecFmtBody(std::uint16_t tag, std::uint32_t rate, std::uint32_t bytesPerSecond,
                          std::uint16_t blockAlign, std::uint16_t bits, const Bytes& extra) {
  Bytes body;
  put16(body, tag);
  put16(body, 1);
  put32(body, rate);
  put32(body, bytesPerSecond);
  put16(body, blockAlign);
  put16(body, bits);
  put16(body, static_cast<std::uint32_t>(extra.size()));
  body.insert(body.end(), extra.begin(), extra.end());
  return body;
}

// One chunk with the size its header claims, which may differ from the body's.
struct Chunk {
  const char* id;
  Bytes body;
  std::uint32_t claimed;
};

inline Chunk fmtChunk(Bytes body) {
  auto size = static_cast<std::uint32_t>(body.size());
  return {"fmt ", std::move(body), size};
}
inline Chunk dataChunk(std::size_t bytes, std::uint8_t fill = 0x11) {
  return {"data", Bytes(bytes, fill), static_cast<std::uint32_t>(bytes)};
}

inline Bytes riffWave(const std::vector<Chunk>& chunks, std::uint32_t riffSizeDelta = 0) {
  Bytes inner;
  putId(inner, "WAVE");
  for (const Chunk& c : chunks) {
    putId(inner, c.id);
    put32(inner, c.claimed);
    inner.insert(inner.end(), c.body.begin(), c.body.end());
    if (c.body.size() % 2 != 0) {
      inner.push_back(0);  // chunks are padded to an even length
    }
  }
  Bytes file;
  putId(file, "RIFF");
  put32(file, static_cast<std::uint32_t>(inner.size()) + riffSizeDelta);
  file.insert(file.end(), inner.begin(), inner.end());
  return file;
}

}  // namespace tonvela::test
