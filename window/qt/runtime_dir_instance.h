#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/program_identity.h"
#include "window/single_instance.h"

class QWidget;

namespace tonvela::qt {

// The session's one instance on Linux, for startInstance(): a lock and a Unix socket in the user's
// private runtime folder ($XDG_RUNTIME_DIR, when it is an absolute path to a directory of the
// user's own, not a link, with mode 0700). The lock is an flock on a regular file, so a killed
// owner's lock is free again at once, whatever the file holds; the socket is watched by the event
// loop's socket notifier and answers only the same user. Without a private folder the session
// cannot be owned and the program runs alone: never a socket or a lock where others can write.
class RuntimeDirInstance {
 public:
  // name: the socket's name in the folder; the lock is name + ".lock". Tests give their own.
  explicit RuntimeDirInstance(std::string_view runtimeDir,
                              std::string_view name = kProgramId);
  // The user's runtime folder, from $XDG_RUNTIME_DIR.
  RuntimeDirInstance();
  ~RuntimeDirInstance();
  RuntimeDirInstance(const RuntimeDirInstance&) = delete;
  RuntimeDirInstance& operator=(const RuntimeDirInstance&) = delete;

  Ownership tryToOwn();
  // Needs the application object: its event loop watches the socket. When the socket cannot be
  // made, this instance still owns the session and runs; later starts then run alone.
  void listen();
  bool askOwnerToComeForward();

  // Told on the event loop's thread when a later start asked this instance to come forward.
  std::function<void()> onComeForward;

 private:
  void answer();
  std::string socketPath() const;

  int folderFd_ = -1;  // the private folder, checked once; -1 when there is none
  std::string folder_;
  std::string name_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

// Shows the window in front and active, and where the platform gives the focus only to the user
// (Wayland) asks for the user's attention instead.
void bringToFront(QWidget& window);

}  // namespace tonvela::qt
