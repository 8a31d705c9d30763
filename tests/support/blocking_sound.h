#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <string>

#include "platform/sound_player.h"

namespace tonvela::fakes {

// A sound that "plays" for a fixed length, or until its stop is requested, without making a
// sound. Safe to watch from another thread while it plays.
class BlockingSound final : public SoundPlayer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit BlockingSound(std::chrono::milliseconds length) : length_(length) {}

  using SoundPlayer::playSync;
  bool playSync(const std::string&, std::stop_token stop) override {
    std::unique_lock lock(mutex_);
    ++started_;
    playing_ = true;
    changed_.wait_for(lock, stop, length_, [] { return false; });
    playing_ = false;
    ++finished_;
    lastEnd_ = Clock::now();
    const bool stopped = stop.stop_requested();
    stopped_ += stopped ? 1 : 0;
    return !stopped && succeeds_;
  }

  void setSucceeds(bool succeeds) {
    std::lock_guard lock(mutex_);
    succeeds_ = succeeds;
  }
  bool playing() const { return read(playing_); }
  int started() const { return read(started_); }
  int finished() const { return read(finished_); }
  int stopped() const { return read(stopped_); }
  Clock::time_point lastEnd() const { return read(lastEnd_); }

 private:
  template <typename T>
  T read(const T& field) const {
    std::lock_guard lock(mutex_);
    return field;
  }

  const std::chrono::milliseconds length_;
  mutable std::mutex mutex_;
  std::condition_variable_any changed_;
  bool succeeds_ = true;
  bool playing_ = false;
  int started_ = 0;
  int finished_ = 0;
  int stopped_ = 0;
  Clock::time_point lastEnd_{};
};

}  // namespace tonvela::fakes
