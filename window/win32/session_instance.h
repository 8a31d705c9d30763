#pragma once

#include <windows.h>

#include <string>

#include "window/single_instance.h"

namespace tonvela::win32 {

// The session's one instance on Windows, for startInstance(): a named mutex in the session's own
// namespace (Local\), held by the first start for its whole life, which a crash cannot leave
// held (the system hands an ended owner's mutex on as abandoned). A later start reaches the owner
// through its window, found by class: it lets that process take the foreground (which a process
// in the background may not take by itself) and posts it the come-forward message, which the
// window answers by coming to the front itself. Another user's mutex in the same session (a
// program run as someone else) cannot be opened: that start runs alone.
class SessionInstance {
 public:
  // mutexName: with its namespace, e.g. Local\org.tonvela.Tonvela; tests give their own.
  SessionInstance(std::wstring mutexName, std::wstring windowClass, UINT comeForwardMessage);
  ~SessionInstance();
  SessionInstance(const SessionInstance&) = delete;
  SessionInstance& operator=(const SessionInstance&) = delete;

  Ownership tryToOwn();
  // The owner's window is what later starts reach, and it exists from the window's creation on:
  // nothing to start here.
  void listen() {}
  // Never waits: a window that has not taken its messages for five seconds (the system's "Not
  // Responding") is not asked, since it would not come forward nor remind.
  bool askOwnerToComeForward();

 private:
  std::wstring mutexName_;
  std::wstring windowClass_;
  UINT comeForwardMessage_;
  HANDLE mutex_ = nullptr;
  bool owned_ = false;
};

// The program's mutex name: Local\ and the program's id.
std::wstring sessionMutexName();

}  // namespace tonvela::win32
