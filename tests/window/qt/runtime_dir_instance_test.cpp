// The Linux instance primitive on real folders, files and sockets: it owns the session only in a
// private runtime folder, takes a lock no crash leaves stale, never hangs on what it finds at the
// lock's name, and reaches the owner through its socket.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "window/qt/runtime_dir_instance.h"

namespace tonvela::qt {
namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "org.tonvela.Test";
constexpr uid_t kOtherUser = 65534;  // nobody

// A scratch folder of the test's own, removed with it.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "instance-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~Scratch() { fs::remove_all(path_); }
  fs::path folder(const char* name, mode_t mode) const {
    const fs::path made = path_ / name;
    fs::create_directory(made);
    ::chmod(made.c_str(), mode);
    return made;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A socket left at a path by an owner that was killed: bound, then gone without removing it.
void leaveDeadSocket(const fs::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

class RuntimeDirInstanceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "runtime_dir_instance_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
  }
  Scratch scratch;
};

TEST_F(RuntimeDirInstanceTest, OwnsTheSessionOnlyInAPrivateRuntimeFolder) {
  struct Case {
    const char* name;
    std::function<std::string(const Scratch&)> runtimeDir;
    Ownership expected;
    bool needsRoot;
  };
  const Case cases[] = {
      {"unset", [](const Scratch&) { return std::string(); }, Ownership::Unusable, false},
      {"a relative path", [](const Scratch&) { return std::string("runtime"); },
       Ownership::Unusable, false},
      {"missing", [](const Scratch& s) { return (s.path() / "missing").string(); },
       Ownership::Unusable, false},
      {"open to others (0755)", [](const Scratch& s) { return s.folder("open", 0755).string(); },
       Ownership::Unusable, false},
      {"shared and sticky, as /tmp (1777)",
       [](const Scratch& s) { return s.folder("tmp", 01777).string(); }, Ownership::Unusable,
       false},
      {"a link to a private folder",
       [](const Scratch& s) {
         fs::create_directory_symlink(s.folder("private", 0700), s.path() / "link");
         return (s.path() / "link").string();
       },
       Ownership::Unusable, false},
      {"a link to a private folder, with a trailing slash",
       [](const Scratch& s) {
         fs::create_directory_symlink(s.folder("private", 0700), s.path() / "link");
         return (s.path() / "link/").string();
       },
       Ownership::Unusable, false},
      {"another user's private folder",
       [](const Scratch& s) {
         const fs::path folder = s.folder("theirs", 0700);
         EXPECT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
         return folder.string();
       },
       Ownership::Unusable, true},
      {"private", [](const Scratch& s) { return s.folder("private", 0700).string(); },
       Ownership::Owned, false},
      {"private, with a trailing slash",
       [](const Scratch& s) { return s.folder("private", 0700).string() + "/"; },
       Ownership::Owned, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && ::geteuid() != 0) {
      continue;  // only root can give a folder to another user
    }
    Scratch scratch;
    RuntimeDirInstance instance(c.runtimeDir(scratch), kName);
    EXPECT_EQ(instance.tryToOwn(), c.expected);
  }
}

// What stands at the lock's name: a stale lock is taken over, anything else is never opened as a
// lock (a FIFO would hang the start) and leaves the start to run alone at once.
TEST_F(RuntimeDirInstanceTest, TakesOverAStaleLockAndNothingElse) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& lock)> make;
    Ownership expected;
    bool needsRoot;
  };
  const Case cases[] = {
      {"nothing", [](const fs::path&) {}, Ownership::Owned, false},
      {"an empty lock left by a crash", [](const fs::path& lock) { std::ofstream{lock}; },
       Ownership::Owned, false},
      {"a lock with an old owner's pid", [](const fs::path& lock) { std::ofstream{lock} << "1\n"; },
       Ownership::Owned, false},
      {"a FIFO", [](const fs::path& lock) { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); },
       Ownership::Unusable, false},
      {"a link to a file",
       [](const fs::path& lock) {
         std::ofstream{lock.string() + ".target"};
         fs::create_symlink(lock.string() + ".target", lock);
       },
       Ownership::Unusable, false},
      {"a folder", [](const fs::path& lock) { fs::create_directory(lock); }, Ownership::Unusable,
       false},
      {"another user's file",
       [](const fs::path& lock) {
         std::ofstream{lock};
         EXPECT_EQ(::chown(lock.c_str(), kOtherUser, kOtherUser), 0);
       },
       Ownership::Unusable, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && ::geteuid() != 0) {
      continue;
    }
    Scratch scratch;
    const fs::path folder = scratch.folder("private", 0700);
    c.make(folder / (std::string(kName) + ".lock"));
    RuntimeDirInstance instance(folder.string(), kName);
    EXPECT_EQ(instance.tryToOwn(), c.expected);
  }
}

TEST_F(RuntimeDirInstanceTest, ALaterStartReachesTheOwnerAndNoOneElse) {
  const fs::path folder = scratch.folder("private", 0700);
  // A killed owner's socket is there: it refuses, and the next owner listens in its place.
  leaveDeadSocket(folder / kName);
  RuntimeDirInstance later(folder.string(), kName);
  EXPECT_FALSE(later.askOwnerToComeForward());

  int cameForward = 0;
  {
    RuntimeDirInstance owner(folder.string(), kName);
    owner.onComeForward = [&] { ++cameForward; };
    ASSERT_EQ(owner.tryToOwn(), Ownership::Owned);
    owner.listen();
    EXPECT_EQ(later.tryToOwn(), Ownership::HeldByAnother);
    EXPECT_TRUE(later.askOwnerToComeForward());
    for (int waited = 0; cameForward == 0 && waited < 5000; waited += 10) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(cameForward, 1);
  }
  // The owner has gone: its lock is free at once and its socket is gone with it.
  EXPECT_EQ(later.tryToOwn(), Ownership::Owned);
  EXPECT_FALSE(fs::exists(folder / kName));
}

}  // namespace
}  // namespace tonvela::qt
