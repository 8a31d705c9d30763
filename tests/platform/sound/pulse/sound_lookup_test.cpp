// Finding the sound file and the desktop's default sound: plain file system work, no server.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "core/voice_file.h"
#include "platform/sound/pulse/regular_file.h"
#include "platform/sound/pulse/sound_file_lookup.h"
#include "platform/sound/pulse/sound_theme.h"
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

UniqueFd firstCandidate(const std::string& name, std::vector<fs::path> dirs) {
  return SoundFileCandidates(name, std::move(dirs)).next();
}

TEST(SoundFileLookup, PicksTheFirstDirectoryHoldingAUsableFile) {
  TempDir tmp;
  fs::path first = tmp.path() / "first", second = tmp.path() / "second";
  fs::create_directories(first);
  writeText(second / kVoiceName, "second");
  EXPECT_EQ(contentsOf(firstCandidate(kVoiceName, {first, second})), "second");

  writeText(first / kVoiceName, "first");
  EXPECT_EQ(contentsOf(firstCandidate(kVoiceName, {first, second})), "first");
}

TEST(SoundFileLookup, MatchesTheNameWhateverTheCaseOfItsLatinLetters) {
  TempDir tmp;
  writeText(tmp.path() / "语音文件.wav", "lower");
  EXPECT_EQ(contentsOf(firstCandidate(kVoiceName, {tmp.path()})), "lower");

  // An exact match wins over a case variant, whatever order the directory lists them in.
  writeText(tmp.path() / kVoiceName, "exact");
  EXPECT_EQ(contentsOf(firstCandidate(kVoiceName, {tmp.path()})), "exact");
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
  UniqueFd fd = firstCandidate(kVoiceName, {fifoDir, dirDir, devDir, tmp.path() / "good"});
  // A blocking open of the FIFO would never return; the lookup takes a few ms.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(contentsOf(fd), "good");
  EXPECT_FALSE(firstCandidate(kVoiceName, {fifoDir, dirDir, devDir}).valid());
}

// Every regular file under the name is a candidate in turn: the exact name, the other spellings
// smallest first, then the next folders. So a file the player cannot use ends no search.
TEST(SoundFileLookup, GivesEveryRegularFileInTurn) {
  TempDir tmp;
  fs::path first = tmp.path() / "first", second = tmp.path() / "second";
  writeText(first / kVoiceName, "exact");
  writeText(first / "语音文件.wav", "lower");
  writeText(first / "语音文件.Wav", "mixed");
  fs::create_directories(first / "语音文件.wAV");  // between the two, and no file
  writeText(second / "语音文件.wav", "second");

  SoundFileCandidates candidates(kVoiceName, {first, tmp.path() / "missing", second});
  std::vector<std::string> seen;
  for (UniqueFd fd = candidates.next(); fd.valid(); fd = candidates.next()) {
    seen.push_back(contentsOf(fd));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"exact", "mixed", "lower", "second"}));
}

TEST(SoundFileLookup, LooksUpOnlyBareNames) {
  TempDir tmp;
  writeText(tmp.path() / "sub" / kVoiceName, "nested");
  writeText(tmp.path() / kVoiceName, "top");
  for (std::string name : {"sub/语音文件.WAV", "../语音文件.WAV", "", ".", ".."}) {
    EXPECT_FALSE(firstCandidate(name, {tmp.path() / "sub"}).valid()) << name;
  }
}

// Each spelling that is no regular file is passed over for the next spelling in the same
// folder, then for the next folder.
TEST(SoundFileLookup, PassesOverAnUnusableSpellingToTheNextCandidate) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& first)> makeFirst;
    const char* expected;
  };
  const Case cases[] = {
      {"directory beside a lower-case file",
       [](const fs::path& d) {
         fs::create_directories(d / kVoiceName);
         writeText(d / "语音文件.wav", "lower");
       },
       "lower"},
      {"FIFO beside a mixed-case file",
       [](const fs::path& d) {
         fs::create_directories(d);
         ASSERT_EQ(::mkfifo((d / kVoiceName).c_str(), 0600), 0);
         writeText(d / "语音文件.Wav", "mixed");
       },
       "mixed"},
      {"directory and file both in other case",
       [](const fs::path& d) {
         fs::create_directories(d / "语音文件.WAv");  // sorts first, is no file
         writeText(d / "语音文件.wav", "lower");
       },
       "lower"},
      {"symlink to a regular file",
       [](const fs::path& d) {
         writeText(d / "take-3.wav", "linked");
         fs::create_symlink("take-3.wav", d / kVoiceName);
       },
       "linked"},
      {"only unusable spellings: the next folder",
       [](const fs::path& d) {
         fs::create_directories(d / kVoiceName);
         fs::create_directories(d / "语音文件.wav");
       },
       "next folder"},
  };
  for (const Case& c : cases) {
    TempDir tmp;
    c.makeFirst(tmp.path() / "first");
    writeText(tmp.path() / "second" / kVoiceName, "next folder");
    EXPECT_EQ(contentsOf(firstCandidate(kVoiceName, {tmp.path() / "first", tmp.path() / "second"})),
              c.expected)
        << c.name;
  }
}

// Stands in for a device node, whose driver runs on any open (a serial port resets its line): a
// FIFO with a writer blocked in its open, which returns as soon as anything opens the FIFO for
// reading, even without blocking.
class WatchedFifo {
 public:
  explicit WatchedFifo(fs::path path) : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0600) != 0) return;
    writer_ = std::thread([this] {
      tid_ = static_cast<pid_t>(::syscall(SYS_gettid));
      int fd = ::openat(AT_FDCWD, path_.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd >= 0) ::close(fd);
    });
    // Waited for, not timed: the writer must be in its open before anything is looked up.
    for (int i = 0; i < 10000 && !writerWaiting(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~WatchedFifo() {
    if (!writer_.joinable()) return;
    int release = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer_.join();
    if (release >= 0) ::close(release);
  }

  const fs::path& path() const { return path_; }
  // The writer still sleeps in its open: nothing has opened the FIFO for reading since. A reader's
  // open wakes it before that open returns, so no wait is needed to see it.
  bool writerWaiting() const {
    if (tid_ == 0) return false;
    std::ifstream syscallFile("/proc/self/task/" + std::to_string(tid_) + "/syscall");
    long number = -1;
    syscallFile >> number;
    return syscallFile && number == SYS_openat;
  }

 private:
  fs::path path_;
  std::atomic<pid_t> tid_{0};
  std::thread writer_;
};

TEST(SoundFileLookup, NeverOpensADeviceANameLeadsTo) {
  TempDir tmp;
  WatchedFifo device(tmp.path() / "ttyS9");
  ASSERT_TRUE(device.writerWaiting());
  fs::path first = tmp.path() / "first";
  fs::create_directories(first);
  fs::create_symlink(device.path(), first / kVoiceName);
  fs::create_symlink(device.path(), first / "语音文件.wav");
  writeText(tmp.path() / "second" / kVoiceName, "second");

  EXPECT_EQ(contentsOf(firstCandidate(kVoiceName, {first, tmp.path() / "second"})), "second");
  EXPECT_FALSE(openRegularFile(first / kVoiceName).valid());  // the theme's sounds' way in
  EXPECT_TRUE(device.writerWaiting()) << "the device behind the name was opened";
}

// Runs `body` in a child process with no effective capabilities, so even as root the file mode
// bits decide (CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH would let root list any folder). Returns
// what the child wrote, or "child failed".
std::string withoutPermissionOverride(const std::function<std::string()>& body) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "no pipe";
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    if (::syscall(SYS_capget, &header, caps) != 0) ::_exit(2);
    caps[0].effective = caps[1].effective = 0;
    if (::syscall(SYS_capset, &header, caps) != 0) ::_exit(2);
    std::string result = body();
    if (::write(pipeFds[1], result.data(), result.size()) < 0) ::_exit(3);
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string result(256, '\0');
  ssize_t n = ::read(pipeFds[0], result.data(), result.size());
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || n < 0) return "child failed";
  result.resize(static_cast<std::size_t>(n));
  return result;
}

TEST(SoundFileLookup, OpensTheExactNameInAFolderThatCannotBeListed) {
  TempDir tmp;
  fs::path locked = tmp.path() / "locked";
  writeText(locked / kVoiceName, "exact");
  writeText(tmp.path() / "other" / kVoiceName, "other folder");
  ASSERT_EQ(::chmod(locked.c_str(), 0311), 0);  // search, no read: the name must be known

  std::string seen = withoutPermissionOverride([&] {
    // Proves the child is really held to the mode bits: the folder cannot be listed.
    DIR* listing = ::opendir(locked.c_str());
    if (listing != nullptr) {
      ::closedir(listing);
      return std::string("the folder could be listed");
    }
    return contentsOf(firstCandidate(kVoiceName, {locked, tmp.path() / "other"}));
  });
  ::chmod(locked.c_str(), 0755);
  EXPECT_EQ(seen, "exact");
}

TEST(SoundFileLookup, SearchesTheCurrentThenTheDataThenTheProgramsDirectory) {
  struct Case {
    const char* name;
    std::vector<fs::path> dataDirs;
    fs::path programDir;
    std::vector<fs::path> expected;
  };
  const Case cases[] = {
      {"all",
       {"/home/u/.local/share", "/usr/local/share", "/usr/share"},
       "/opt/tonvela/bin",
       {".", "/home/u/.local/share/tonvela", "/usr/local/share/tonvela", "/usr/share/tonvela",
        "/opt/tonvela/bin"}},
      {"program folder unknown", {"/d"}, "", {".", "/d/tonvela"}},
      {"no data folders", {}, "/bin", {".", "/bin"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(soundSearchDirs(c.dataDirs, c.programDir), c.expected) << c.name;
  }
}

TEST(SoundFileLookup, DefaultDirectoriesComeFromTheEnvironment) {
  ::setenv("XDG_DATA_HOME", "/xdg/home", 1);
  ::setenv("XDG_DATA_DIRS", "/xdg/a:/xdg/b", 1);
  auto dirs = defaultSoundSearchDirs();
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("XDG_DATA_DIRS");
  const std::vector<fs::path> expected{".", "/xdg/home/tonvela", "/xdg/a/tonvela", "/xdg/b/tonvela",
                                       TONVELA_TEST_BINARY_DIR};
  EXPECT_EQ(dirs, expected);
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

// Whatever stands under a theme's index.theme, the lookup returns at once: an index is read only
// from a regular file (or a link to one) of at most kMaxThemeIndexBytes. Anything else counts as
// no index, and the theme's default folders are searched.
struct ThemeIndexCase {
  const char* name;
  void (*make)(const fs::path& index);
  const char* foundIn;  // "wide" where the index was read, "stereo" where it counted as absent
};

const std::string kWideIndex = "[Sound Theme]\nDirectories=wide\n";

// That index after a comment line making the file `size` bytes long.
void writePaddedIndex(const fs::path& index, std::size_t size) {
  writeText(index, std::string(size - kWideIndex.size() - 1, '#') + "\n" + kWideIndex);
}

class ThemeIndex : public SoundTheme, public testing::WithParamInterface<ThemeIndexCase> {};

TEST_P(ThemeIndex, NeitherHoldsUpNorMisleadsTheLookup) {
  fs::path themeDir = tmp_.path() / "usr/sounds/ocean";
  fs::create_directories(themeDir);
  GetParam().make(themeDir / "index.theme");
  sound("usr", "ocean", "stereo", "complete.oga");
  sound("usr", "ocean", "wide", "complete.oga");

  auto start = std::chrono::steady_clock::now();
  auto found = findThemeSound(dataDirs(), "ocean");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(found, themeDir / GetParam().foundIn / "complete.oga");
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, ThemeIndex,
    testing::Values(
        ThemeIndexCase{"at_the_bound",
                       [](const fs::path& i) { writePaddedIndex(i, kMaxThemeIndexBytes); }, "wide"},
        ThemeIndexCase{"past_the_bound",
                       [](const fs::path& i) { writePaddedIndex(i, kMaxThemeIndexBytes + 1); },
                       "stereo"},
        // 1 GiB of holes, then the index: nothing of it may be read.
        ThemeIndexCase{"sparse_1gib",
                       [](const fs::path& i) {
                         writeText(i, "");
                         fs::resize_file(i, std::uintmax_t{1} << 30);
                         std::ofstream(i, std::ios::app) << "\n" << kWideIndex;
                       },
                       "stereo"},
        ThemeIndexCase{"fifo", [](const fs::path& i) { ASSERT_EQ(::mkfifo(i.c_str(), 0600), 0); },
                       "stereo"},
        ThemeIndexCase{"urandom",
                       [](const fs::path& i) { fs::create_symlink("/dev/urandom", i); }, "stereo"},
        ThemeIndexCase{"zero", [](const fs::path& i) { fs::create_symlink("/dev/zero", i); },
                       "stereo"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tonvela::test
