// A Windows test program: plays one sound through the Windows player, as the reminder would,
// and prints what the call returned and how long it took. The recording and the judging are done
// on the Linux side, which hears what Wine sent to the test sound server.
//
//   tonvela_play_file.exe <folder> <name> [stop after ms, -1 for none] [lock]
// With "lock", the file is first opened without any sharing, as another program may hold it.
// The name is looked for in <folder> only; the user's default sound is skipped, so whatever
// cannot be played is replaced by the chime. Exit status 0 when the call returned true, 1 if
// not (as after a stop).
// windows.h first: the other Windows headers build on its types.
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

#include "platform/sound/winmm_sound_player.h"
#include "platform/win_text.h"

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 3) {
    std::fputs("usage: tonvela_play_file <folder> <name> [stop after ms] [lock]\n", stderr);
    return 2;
  }
  tonvela::WinmmSoundPlayer::Options options;
  options.searchDirs = std::vector<std::wstring>{argv[1]};
  options.useDefaultSound = false;
  // Far past any return on a loaded machine, so that the tests' limits tell a player that waits
  // for its deadline instead of the device's "done" from a slow one.
  options.deadlineSlack = std::chrono::seconds(120);
  tonvela::WinmmSoundPlayer player(options);
  const std::string name = tonvela::narrow(argv[2]);
  const long stopAfterMs = argc > 3 ? std::wcstol(argv[3], nullptr, 10) : -1;
  HANDLE lock = INVALID_HANDLE_VALUE;
  if (argc > 4 && std::wcscmp(argv[4], L"lock") == 0) {
    const std::wstring path = std::wstring(argv[1]) + L"\\" + argv[2];
    lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
      std::fputs("cannot lock the file\n", stderr);
      return 2;
    }
  }
  LocalFree(argv);

  std::stop_source stop;
  std::jthread stopper;
  if (stopAfterMs >= 0) {
    stopper = std::jthread([&stop, stopAfterMs] {
      std::this_thread::sleep_for(std::chrono::milliseconds(stopAfterMs));
      stop.request_stop();
    });
  }
  const auto start = std::chrono::steady_clock::now();
  const bool played = player.playSync(name, stop.get_token());
  const auto elapsed =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
  std::printf("played=%d elapsed_ms=%.1f\n", played ? 1 : 0, elapsed.count());
  if (lock != INVALID_HANDLE_VALUE) {
    CloseHandle(lock);
  }
  return played ? 0 : 1;
}
