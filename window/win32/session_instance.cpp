#include "window/win32/session_instance.h"

#include <utility>

#include "platform/program_identity.h"
#include "platform/win_text.h"

namespace tonvela::win32 {

SessionInstance::SessionInstance(std::wstring mutexName, std::wstring windowClass,
                                 UINT comeForwardMessage)
    : mutexName_(std::move(mutexName)),
      windowClass_(std::move(windowClass)),
      comeForwardMessage_(comeForwardMessage) {}

SessionInstance::~SessionInstance() {
  if (owned_) {
    ReleaseMutex(mutex_);
  }
  if (mutex_ != nullptr) {
    CloseHandle(mutex_);
  }
}

Ownership SessionInstance::tryToOwn() {
  if (owned_) {
    return Ownership::Owned;
  }
  if (mutex_ == nullptr) {
    // Fails with access denied for another user's mutex, and for another kind of object that
    // took the name.
    mutex_ = CreateMutexW(nullptr, FALSE, mutexName_.c_str());
    if (mutex_ == nullptr) {
      return Ownership::Unusable;
    }
  }
  switch (WaitForSingleObject(mutex_, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its owner ended without letting it go
      owned_ = true;
      return Ownership::Owned;
    case WAIT_TIMEOUT:
      return Ownership::HeldByAnother;
    default:
      return Ownership::Unusable;
  }
}

bool SessionInstance::askOwnerToComeForward() {
  HWND window = FindWindowW(windowClass_.c_str(), nullptr);
  if (window == nullptr || comeForwardMessage_ == 0 || IsHungAppWindow(window)) {
    return false;  // not created yet, closing, or hung
  }
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  AllowSetForegroundWindow(process);
  return PostMessageW(window, comeForwardMessage_, 0, 0) != FALSE;
}

std::wstring sessionMutexName() { return L"Local\\" + widen(kProgramId); }

}  // namespace tonvela::win32
