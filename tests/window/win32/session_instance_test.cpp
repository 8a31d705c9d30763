// The Windows instance primitive on real named mutexes and windows, under Wine. A mutex belongs
// to a thread, so every later start is played by a thread of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "window/win32/session_instance.h"

namespace tonvela::win32 {
namespace {

constexpr wchar_t kTestClass[] = L"Tonvela.Test.SessionInstance";

// A name of this run's own, so runs side by side, or a run cut short, never meet.
std::wstring uniqueMutexName(const wchar_t* what) {
  return L"Local\\org.tonvela.Test." + std::wstring(what) + L"." +
         std::to_wstring(GetCurrentProcessId());
}

UINT testMessage() {
  static const UINT message = RegisterWindowMessageW(L"org.tonvela.Test.ComeForward");
  return message;
}

int comeForwardAsked = 0;

LRESULT CALLBACK countComeForward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == testMessage()) {
    ++comeForwardAsked;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The owner's window, as the running program's window stands for it.
class OwnerWindow {
 public:
  OwnerWindow() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = countComeForward;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kTestClass;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, kTestClass, L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~OwnerWindow() { DestroyWindow(window_); }
  HWND get() const { return window_; }

  // Takes the messages posted to it.
  void answer() const {
    MSG message{};
    while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&message);
    }
  }

 private:
  HWND window_;
};

SessionInstance instanceNamed(const std::wstring& mutexName) {
  return SessionInstance(mutexName, kTestClass, testMessage());
}

// What a later start, on a thread of its own, finds and whether it reached the owner.
struct LaterStart {
  Ownership ownership;
  bool asked;
};
LaterStart startLater(const std::wstring& mutexName) {
  LaterStart seen{};
  std::thread([&] {
    SessionInstance later = instanceNamed(mutexName);
    seen.ownership = later.tryToOwn();
    seen.asked = seen.ownership == Ownership::HeldByAnother && later.askOwnerToComeForward();
  }).join();
  return seen;
}

TEST(SessionInstance, TheFirstOwnsALaterStartReachesItsWindowAndOwnsOnceItHasEnded) {
  const std::wstring name = uniqueMutexName(L"first");
  comeForwardAsked = 0;
  {
    SessionInstance first = instanceNamed(name);
    ASSERT_EQ(first.tryToOwn(), Ownership::Owned);

    // Still starting: its window is not there yet.
    LaterStart beforeWindow = startLater(name);
    EXPECT_EQ(beforeWindow.ownership, Ownership::HeldByAnother);
    EXPECT_FALSE(beforeWindow.asked);

    OwnerWindow window;
    ASSERT_NE(window.get(), nullptr);
    LaterStart withWindow = startLater(name);
    EXPECT_EQ(withWindow.ownership, Ownership::HeldByAnother);
    EXPECT_TRUE(withWindow.asked);
    window.answer();
    EXPECT_EQ(comeForwardAsked, 1);
  }
  EXPECT_EQ(startLater(name).ownership, Ownership::Owned);
}

// An owner that ended without letting go (a crash, a kill) leaves the mutex abandoned, not held.
TEST(SessionInstance, AnEndedOwnersMutexIsTakenOver) {
  const std::wstring name = uniqueMutexName(L"abandoned");
  auto crashed = std::make_unique<SessionInstance>(name, kTestClass, testMessage());
  std::thread([&] { ASSERT_EQ(crashed->tryToOwn(), Ownership::Owned); }).join();
  EXPECT_EQ(startLater(name).ownership, Ownership::Owned);
}

// The name taken by an object of another kind: the session cannot be owned, the start runs alone.
TEST(SessionInstance, ANameTakenByAnotherKindOfObjectIsUnusable) {
  const std::wstring name = uniqueMutexName(L"squatted");
  HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  ASSERT_NE(squatter, nullptr);
  EXPECT_EQ(startLater(name).ownership, Ownership::Unusable);
  CloseHandle(squatter);
}

}  // namespace
}  // namespace tonvela::win32
