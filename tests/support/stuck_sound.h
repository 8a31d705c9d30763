#pragma once

#include <unistd.h>

#include <atomic>
#include <stop_token>
#include <string>

#include "platform/sound_player.h"

namespace tonvela::fakes {

// A player stuck in a system call, as one reading a hung FIFO or a dead network mount is: it
// blocks in read() on a pipe whose writing end it holds open and never writes, and no stop reaches
// it there. The process's end is its only end.
class StuckSound final : public SoundPlayer {
 public:
  using SoundPlayer::playSync;
  bool playSync(const std::string&, std::stop_token) override {
    int fds[2];
    if (::pipe(fds) != 0) {
      return false;
    }
    stuck = true;
    char byte;
    [[maybe_unused]] const ssize_t got = ::read(fds[0], &byte, 1);
    return false;  // never reached while the writing end stays open
  }

  std::atomic<bool> stuck = false;
};

}  // namespace tonvela::fakes
