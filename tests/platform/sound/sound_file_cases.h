#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tonvela::test {

// A WAV encoding a backend must play, with the rate and channels the test file is written in.
struct FormatCase {
  const char* name;
  int format;  // libsndfile's SF_FORMAT_* of the file
  int rate;
  int channels;
};

// The WAV encodings that every backend plays: PCM of each width, float, the companded and ADPCM
// codecs, GSM 6.10, and a six-channel WAVE_FORMAT_EXTENSIBLE file.
std::vector<FormatCase> commonWavFormats();

// Something under the voice file's name that no player may play: made by `make` at the path.
struct BadFileCase {
  const char* name;
  void (*make)(const std::filesystem::path& file);
};

// The unplayable files every sound backend meets alike: missing, a directory, empty, garbage,
// cut short, headers no sound can have (300 channels, a rate of 0, of 999 Hz, of 2^32 - 1), less
// than a frame of sound, and a codec's format without the codec's own fields.
std::vector<BadFileCase> badSoundFiles();

std::string fileBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);
// The test bursts as 16-bit PCM at 44.1 kHz, in the canonical 44-byte-header WAV.
void writeBurstsWav(const std::filesystem::path& file);
// Overwrites a little-endian field of that header.
void patchHeader(const std::filesystem::path& file, std::size_t offset, std::uint32_t value,
                 std::size_t width);

}  // namespace tonvela::test
