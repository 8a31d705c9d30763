// A Windows test program for the end-to-end scripts: does to the running Tonvela window what
// other programs and the session do, and reports what it saw. It times its own messages, since a
// Wine program takes far longer to start than the window takes to answer.
//
//   tonvela_window_probe.exe answer        sends WM_GETTEXT and prints how long the answer took;
//                                          status 2 without an answer within 60 s
//   tonvela_window_probe.exe minimise      minimises the window and waits until it is
//   tonvela_window_probe.exe state         prints: windows=<count> iconic=<0|1> foreground=<0|1>
//   tonvela_window_probe.exe other <s>     shows a window of its own in front for <s> seconds
// Status 1 when no Tonvela window exists.
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>

#include "window/win32/form14021.h"

namespace {

constexpr const wchar_t* kFormClass = tonvela::win32::Form14021::kClassName;
constexpr UINT kAnswerLimitMs = 60000;

using Clock = std::chrono::steady_clock;

double millisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int answer(HWND form) {
  wchar_t caption[64] = {};
  DWORD_PTR length = 0;
  const auto sent = Clock::now();
  const LRESULT answered = SendMessageTimeoutW(form, WM_GETTEXT, 64,
                                               reinterpret_cast<LPARAM>(caption), SMTO_BLOCK,
                                               kAnswerLimitMs, &length);
  const double took = millisSince(sent);
  if (!answered) {
    std::printf("no answer after %.1f ms\n", took);
    return 2;
  }
  std::printf("answered in %.3f ms (%u characters), not responding: %d\n", took,
              static_cast<unsigned>(length), IsHungAppWindow(form) ? 1 : 0);
  return 0;
}

int minimise(HWND form) {
  PostMessageW(form, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  for (int i = 0; i < 600 && !IsIconic(form); ++i) {
    Sleep(50);
  }
  return IsIconic(form) ? 0 : 2;
}

BOOL CALLBACK countForm(HWND window, LPARAM count) {
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (std::wcscmp(className, kFormClass) == 0 && IsWindowVisible(window)) {
    ++*reinterpret_cast<int*>(count);
  }
  return TRUE;
}

int state(HWND form) {
  int windows = 0;
  EnumWindows(countForm, reinterpret_cast<LPARAM>(&windows));
  std::printf("windows=%d iconic=%d foreground=%d\n", windows, IsIconic(form) ? 1 : 0,
              GetForegroundWindow() == form ? 1 : 0);
  return 0;
}

int showOther(int seconds) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"Tonvela.Test.Other";
  RegisterClassExW(&windowClass);
  HWND other = CreateWindowExW(0, windowClass.lpszClassName, L"another program",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
  SetForegroundWindow(other);
  std::printf("other window in front: %d\n", GetForegroundWindow() == other ? 1 : 0);
  std::fflush(stdout);
  const auto until = Clock::now() + std::chrono::seconds(seconds);
  MSG message{};
  while (Clock::now() < until) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2) {
    std::fputs("usage: tonvela_window_probe answer|minimise|state|other <s>\n", stderr);
    return 64;
  }
  const std::wstring command = argv[1];
  if (command == L"other") {
    return showOther(argc > 2 ? _wtoi(argv[2]) : 30);
  }
  HWND form = FindWindowW(kFormClass, nullptr);
  if (form == nullptr) {
    std::printf("no Tonvela window\n");
    return 1;
  }
  if (command == L"answer") return answer(form);
  if (command == L"minimise") return minimise(form);
  if (command == L"state") return state(form);
  std::fputs("unknown command\n", stderr);
  return 64;
}
