// Finding the sound file and the desktop's default sound: plain file system work, no server.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>

#include "core/voice_file.h"
#include "platform/sound/sound_file_lookup.h"
#include "platform/sound/sound_theme.h"
#include "tests/platform/sound/test_sounds.h"

namespace tonvela::test {
namespace {

namespace fs = std::filesystem;
const std::string kVoiceName(kVoiceFileName);

void writeText(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

// What the opened descriptor holds, to tell which file was picked.
std::string contentsOf(const UniqueFd& fd) {
  std::string text(64, '\0');
  ssize_t n = ::pread(fd.get(), text.data(), text.size(), 0);
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return text;
}

TEST(SoundFileLookup, PicksTheFirstDirectoryHoldingAUsableFile) {
  TempDir tmp;
  fs::path first = tmp.path() / "first", second = tmp.path() / "second";
  fs::create_directories(first);
  writeText(second / kVoiceName, "second");
  EXPECT_EQ(contentsOf(openSoundFile(kVoiceName, {first, second})), "second");

  writeText(first / kVoiceName, "first");
  EXPECT_EQ(contentsOf(openSoundFile(kVoiceName, {first, second})), "first");
}

TEST(SoundFileLookup, MatchesTheNameWhateverTheCaseOfItsLatinLetters) {
  TempDir tmp;
  writeText(tmp.path() / "语音文件.wav", "lower");
  EXPECT_EQ(contentsOf(openSoundFile(kVoiceName, {tmp.path()})), "lower");

  // An exact match wins over a case variant, whatever order the directory lists them in.
  writeText(tmp.path() / kVoiceName, "exact");
  EXPECT_EQ(contentsOf(openSoundFile(kVoiceName, {tmp.path()})), "exact");
}

TEST(SoundFileLookup, ComparesNamesByAsciiCaseOnly) {
  EXPECT_TRUE(sameNameIgnoringAsciiCase(kVoiceName, "语音文件.wav"));
  EXPECT_TRUE(sameNameIgnoringAsciiCase(kVoiceName, "语音文件.Wav"));
  EXPECT_FALSE(sameNameIgnoringAsciiCase(kVoiceName, "语音文件.WAVE"));
  EXPECT_FALSE(sameNameIgnoringAsciiCase(kVoiceName, "语音文本.WAV"));
  EXPECT_FALSE(sameNameIgnoringAsciiCase("a.WAV", "a.W@V"));  // '@' is not 'A' lowered or raised
}

TEST(SoundFileLookup, PassesOverWhatIsNotARegularFileWithoutBlocking) {
  TempDir tmp;
  fs::path fifoDir = tmp.path() / "fifo", dirDir = tmp.path() / "dir", devDir = tmp.path() / "dev";
  fs::create_directories(fifoDir);
  ASSERT_EQ(::mkfifo((fifoDir / kVoiceName).c_str(), 0600), 0);
  fs::create_directories(dirDir / kVoiceName);
  fs::create_directories(devDir);
  fs::create_symlink("/dev/zero", devDir / kVoiceName);
  writeText(tmp.path() / "good" / kVoiceName, "good");

  auto start = std::chrono::steady_clock::now();
  UniqueFd fd = openSoundFile(kVoiceName, {fifoDir, dirDir, devDir, tmp.path() / "good"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(contentsOf(fd), "good");
  EXPECT_FALSE(openSoundFile(kVoiceName, {fifoDir, dirDir, devDir}).valid());
}

TEST(SoundFileLookup, LooksUpOnlyBareNames) {
  TempDir tmp;
  writeText(tmp.path() / "sub" / kVoiceName, "nested");
  writeText(tmp.path() / kVoiceName, "top");
  for (std::string name : {"sub/语音文件.WAV", "../语音文件.WAV", "", ".", ".."}) {
    EXPECT_FALSE(openSoundFile(name, {tmp.path() / "sub"}).valid()) << name;
  }
}

TEST(SoundFileLookup, SearchesTheCurrentDirectoryThenTheProgramsOwn) {
  auto dirs = defaultSoundSearchDirs();
  ASSERT_EQ(dirs.size(), 2U);
  EXPECT_EQ(dirs[0], fs::path("."));
  EXPECT_EQ(dirs[1], fs::path(TONVELA_TEST_BINARY_DIR));
}

struct DataDirsCase {
  const char* name;
  const char* dataHome;
  const char* home;
  const char* dataDirs;
  std::vector<fs::path> expected;
};

class XdgDataDirs : public testing::TestWithParam<DataDirsCase> {};

TEST_P(XdgDataDirs, FollowTheBaseDirectoryRules) {
  const auto& c = GetParam();
  EXPECT_EQ(xdgDataDirs(c.dataHome, c.home, c.dataDirs), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environment, XdgDataDirs,
    testing::Values(DataDirsCase{"unset",
                                 nullptr,
                                 "/home/u",
                                 nullptr,
                                 {"/home/u/.local/share", "/usr/local/share", "/usr/share"}},
                    DataDirsCase{"set", "/data", "/home/u", "/a:/b", {"/data", "/a", "/b"}},
                    DataDirsCase{"empty_dirs",
                                 "",
                                 "/home/u",
                                 "",
                                 {"/home/u/.local/share", "/usr/local/share", "/usr/share"}},
                    DataDirsCase{"relative_ignored", "rel", nullptr, "/a::rel:/b", {"/a", "/b"}}),
    [](const auto& info) { return std::string(info.param.name); });

class SoundTheme : public testing::Test {
 protected:
  fs::path sound(const char* dataDir, const char* theme, const char* subdir, const char* file) {
    fs::path path = tmp_.path() / dataDir / "sounds" / theme / subdir / file;
    writeText(path, "x");
    return path;
  }
  std::vector<fs::path> dataDirs() const { return {tmp_.path() / "home", tmp_.path() / "usr"}; }
  TempDir tmp_;
};

TEST_F(SoundTheme, NothingInstalledFindsNothing) {
  EXPECT_FALSE(findThemeSound(dataDirs()).has_value());
}

TEST_F(SoundTheme, PrefersTheAlarmThenCompleteThenBell) {
  sound("usr", "freedesktop", "stereo", "bell.oga");
  EXPECT_EQ(findThemeSound(dataDirs()), tmp_.path() / "usr/sounds/freedesktop/stereo/bell.oga");
  auto complete = sound("usr", "freedesktop", "stereo", "complete.oga");
  EXPECT_EQ(findThemeSound(dataDirs()), complete);
  auto alarm = sound("usr", "freedesktop", "stereo", "alarm-clock-elapsed.wav");
  EXPECT_EQ(findThemeSound(dataDirs()), alarm);
}

TEST_F(SoundTheme, UserDataComesBeforeSystemData) {
  sound("usr", "freedesktop", "stereo", "complete.oga");
  auto user = sound("home", "freedesktop", "stereo", "complete.ogg");
  EXPECT_EQ(findThemeSound(dataDirs()), user);
}

TEST_F(SoundTheme, FollowsTheThemesDirectoriesAndInheritance) {
  writeText(tmp_.path() / "usr/sounds/ocean/index.theme",
            "[Sound Theme]\nName=Ocean\nInherits=ocean-base\nDirectories=wide\n");
  writeText(tmp_.path() / "usr/sounds/ocean-base/index.theme",
            "[Sound Theme]\nInherits=ocean\n");  // a loop back must not hang the lookup
  sound("usr", "freedesktop", "stereo", "complete.oga");
  auto inherited = sound("usr", "ocean-base", "stereo", "complete.oga");
  EXPECT_EQ(findThemeSound(dataDirs(), "ocean"), inherited);
  auto own = sound("usr", "ocean", "wide", "complete.oga");
  EXPECT_EQ(findThemeSound(dataDirs(), "ocean"), own);
}

}  // namespace
}  // namespace tonvela::test
