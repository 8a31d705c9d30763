// The Windows backend's file streams under Wine, without a sound device: what a hostile header
// can make them allocate.
// windows.h first: the other Windows headers build on its types.
#include <windows.h>

#include <gtest/gtest.h>
#include <psapi.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/sound/winmm/wave_file_stream.h"
#include "platform/sound/winmm/win_sound_file.h"
#include "tests/platform/sound/riff_bytes.h"

namespace tonvela {
namespace {

using test::Bytes;

// A file in the temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(const wchar_t* name) : path_(std::filesystem::temp_directory_path() / name) {}
  ~TempFile() {
    std::error_code error;
    std::filesystem::remove(path_, error);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

SIZE_T peakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  EXPECT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters));
  return counters.PeakWorkingSetSize;
}

// The codec's stream reads and decodes a bounded piece of the file at a time: a header claiming
// 0xFFFFFFFF bytes per second once had the whole data chunk read at once, and decoded into two
// buffers four times its size (a 400 MB file asked for gigabytes).
TEST(WaveFileStream, DecodesPieceByPieceWhateverRateTheHeaderClaims) {
  constexpr std::uint32_t kDataBytes = 16 * 1024 * 1024;
  constexpr std::uint16_t kBlockAlign = 512;
  constexpr std::uint16_t kSamplesPerBlock = 1017;  // IMA ADPCM, mono, 4 bits
  Bytes samplesPerBlock;
  test::put16(samplesPerBlock, kSamplesPerBlock);
  const Bytes head =
      test::riffWave({test::fmtChunk(test::codecFmtBody(kWaveFormatImaAdpcm, 22050, 0xFFFFFFFFU,
                                                        kBlockAlign, 4, samplesPerBlock)),
                      {"data", {}, kDataBytes}},
                     kDataBytes);
  TempFile file(L"tonvela-huge-rate.wav");
  {
    // Written a block at a time, so the test itself never holds the file in memory. All-zero
    // blocks are valid ones: silence.
    std::ofstream out(file.path(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(head.data()),
              static_cast<std::streamsize>(head.size()));
    const std::vector<char> block(kBlockAlign, 0);
    for (std::uint32_t written = 0; written < kDataBytes; written += kBlockAlign) {
      out.write(block.data(), kBlockAlign);
    }
    ASSERT_TRUE(out.good());
  }
  UniqueHandle handle = openDiskFile(file.path().wstring());
  ASSERT_TRUE(handle.valid());
  const SIZE_T before = peakWorkingSet();

  std::unique_ptr<AudioSource> stream = openWaveFileStream(handle.get());
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->frames(), std::int64_t{kDataBytes / kBlockAlign * kSamplesPerBlock});
  std::vector<float> out(2205);
  std::size_t frames = 0;
  for (int i = 0; i < 10; ++i) {
    frames += stream->read(out.data(), out.size());
  }
  EXPECT_EQ(frames, 22050U);

  // Far below the data chunk's own size, which the old reading took in at once.
  const SIZE_T growth = peakWorkingSet() - before;
  std::printf("peak working set grew by %zu KiB\n", static_cast<std::size_t>(growth / 1024));
  EXPECT_LT(growth, SIZE_T{kDataBytes});
}

}  // namespace
}  // namespace tonvela
