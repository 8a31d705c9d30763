#include "tests/platform/sound/sound_file_cases.h"

#include <sndfile.h>

#include <cstdint>
#include <fstream>
#include <iterator>

#include "tests/platform/sound/riff_bytes.h"
#include "tests/platform/sound/test_sounds.h"

namespace tonvela::test {

std::string fileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

void writeBurstsWav(const std::filesystem::path& file) {
  writeSound(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, toneBursts(44100));
}

void patchHeader(const std::filesystem::path& file, std::size_t offset, std::uint32_t value,
                 std::size_t width) {
  std::string bytes = fileBytes(file);
  for (std::size_t i = 0; i < width; ++i) {
    bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  writeBytes(file, bytes);
}

std::vector<FormatCase> commonWavFormats() {
  return {
      {"pcm16_44k", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1},
      {"u8_22k", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 1},
      {"pcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 1},
      {"float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1},
      {"ulaw_8k", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1},
      {"alaw_8k", SF_FORMAT_WAV | SF_FORMAT_ALAW, 8000, 1},
      {"ima_adpcm", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 22050, 1},
      {"ms_adpcm", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 22050, 1},
      {"gsm_8k", SF_FORMAT_WAV | SF_FORMAT_GSM610, 8000, 1},
      {"wavex_6ch", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 48000, 6},
  };
}

std::vector<BadFileCase> badSoundFiles() {
  return {
      {"missing", [](const std::filesystem::path&) {}},
      {"directory", [](const std::filesystem::path& f) { std::filesystem::create_directory(f); }},
      {"empty", [](const std::filesystem::path& f) { writeBytes(f, ""); }},
      {"garbage", [](const std::filesystem::path& f) { writeBytes(f, std::string(5000, 'Z')); }},
      {"truncated_header",
       [](const std::filesystem::path& f) {
         writeBurstsWav(f);
         writeBytes(f, fileBytes(f).substr(0, 30));
       }},
      {"truncated_data",
       [](const std::filesystem::path& f) {
         writeBurstsWav(f);
         writeBytes(f, fileBytes(f).substr(0, 44 + 2000));
       }},
      {"channels_300",
       [](const std::filesystem::path& f) {
         writeSound(f, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, std::vector<float>(800, 0.3F), 300);
       }},
      {"rate_zero",
       [](const std::filesystem::path& f) {
         writeBurstsWav(f);
         patchHeader(f, 24, 0, 4);
       }},
      {"rate_999",
       [](const std::filesystem::path& f) {
         writeBurstsWav(f);
         patchHeader(f, 24, 999, 4);
         patchHeader(f, 28, 999 * 2, 4);
       }},
      {"rate_4g",
       [](const std::filesystem::path& f) {
         writeBurstsWav(f);
         patchHeader(f, 24, 0xFFFFFFFFU, 4);
       }},
      // One byte of 16-bit sound: not a whole frame, nothing to hear.
      {"data_shorter_than_a_frame",
       [](const std::filesystem::path& f) {
         writeBurstsWav(f);
         writeBytes(f, fileBytes(f).substr(0, 45) + '\0');
         patchHeader(f, 4, 36 + 2, 4);
         patchHeader(f, 40, 1, 4);
       }},
      // IMA ADPCM with a 16-byte format block: no cbSize, no samples per block for the codec.
      {"ima_adpcm_16_byte_format",
       [](const std::filesystem::path& f) {
         Bytes format = codecFmtBody(0x0011, 22050, 11100, 256, 4, {});
         format.resize(16);
         const Bytes file = riffWave({fmtChunk(format), dataChunk(256 * 40, 0x07)});
         writeBytes(f, std::string(file.begin(), file.end()));
       }},
  };
}

}  // namespace tonvela::test
