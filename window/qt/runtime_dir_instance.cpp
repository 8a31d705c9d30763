#include "window/qt/runtime_dir_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tonvela::qt {
namespace {

constexpr int kBacklog = 16;

// The folder itself, opened without following a link, when it is this user's own and no one
// else's to enter; -1 otherwise. Later files are opened relative to it.
int openPrivateFolder(const std::string& path) {
  if (path.empty() || path.front() != '/') {
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() ||
      (status.st_mode & 0777) != 0700) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A trailing slash would make the folder's last component followed even if it is a link.
std::string withoutTrailingSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') {
    path.remove_suffix(1);
  }
  return std::string(path);
}

bool ownUser(int socketFd) {
  struct ucred peer {};
  socklen_t size = sizeof peer;
  return ::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         peer.uid == ::geteuid();
}

bool toAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int unixSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

}  // namespace

RuntimeDirInstance::RuntimeDirInstance(std::string_view runtimeDir, std::string_view name)
    : folder_(withoutTrailingSlashes(runtimeDir)), name_(name) {
  folderFd_ = openPrivateFolder(folder_);
}

RuntimeDirInstance::RuntimeDirInstance()
    : RuntimeDirInstance(std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "") {}

RuntimeDirInstance::~RuntimeDirInstance() {
  notifier_.reset();
  if (listenFd_ >= 0) {
    // Still holding the lock, so the socket at the name is ours.
    ::unlinkat(folderFd_, name_.c_str(), 0);
    ::close(listenFd_);
  }
  for (int fd : {lockFd_, folderFd_}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

std::string RuntimeDirInstance::socketPath() const { return folder_ + "/" + name_; }

Ownership RuntimeDirInstance::tryToOwn() {
  if (folderFd_ < 0) {
    return Ownership::Unusable;
  }
  if (lockFd_ >= 0) {
    return Ownership::Owned;
  }
  // Non-blocking, and never through a link: a FIFO or a device put at the name cannot hold the
  // start, and only a regular file of our own is locked.
  const std::string lockName = name_ + ".lock";
  const int fd = ::openat(folderFd_, lockName.c_str(),
                          O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) {
    return Ownership::Unusable;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
    ::close(fd);
    return Ownership::Unusable;
  }
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked == 0) {
    lockFd_ = fd;
    return Ownership::Owned;
  }
  const bool held = errno == EWOULDBLOCK;
  ::close(fd);
  return held ? Ownership::HeldByAnother : Ownership::Unusable;
}

void RuntimeDirInstance::listen() {
  sockaddr_un address;
  if (lockFd_ < 0 || !toAddress(socketPath(), address)) {
    return;
  }
  // Holding the lock, a socket at the name is a killed owner's; anything else there is left alone,
  // and this instance then runs without being reachable.
  struct stat status {};
  if (::fstatat(folderFd_, name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISSOCK(status.st_mode)) {
    ::unlinkat(folderFd_, name_.c_str(), 0);
  }
  const int fd = unixSocket();
  if (fd < 0) {
    return;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, kBacklog) != 0) {
    ::close(fd);
    return;
  }
  listenFd_ = fd;
  notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [this] { answer(); });
}

// The connection is the request: nothing is awaited from the owner, which may be busy playing the
// voice and accepts once its event loop is free; the kernel holds the connection until then. A
// socket that accepts belongs to a live owner, a killed one's refuses; one that is not the same
// user's is not ours and is not asked.
bool RuntimeDirInstance::askOwnerToComeForward() {
  sockaddr_un address;
  if (folderFd_ < 0 || !toAddress(socketPath(), address)) {
    return false;
  }
  const int fd = unixSocket();
  if (fd < 0) {
    return false;
  }
  const bool asked =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      ownUser(fd);
  ::close(fd);
  return asked;
}

void RuntimeDirInstance::answer() {
  bool asked = false;
  while (true) {
    const int connection = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (connection < 0) {
      if (errno == EINTR || errno == ECONNABORTED) {
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        // Out of descriptors, say: a connection left pending would wake the loop again and again.
        notifier_->setEnabled(false);
      }
      break;
    }
    asked = asked || ownUser(connection);
    ::close(connection);
  }
  if (asked && onComeForward) {
    onComeForward();
  }
}

void bringToFront(QWidget& window) {
  window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window.show();
  window.raise();
  window.activateWindow();
  QApplication::alert(&window);
}

}  // namespace tonvela::qt
