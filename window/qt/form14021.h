#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <exception>

#include "platform/clock.h"
#include "platform/error_report.h"
#include "core/reminder.h"
#include "platform/sound_player.h"

namespace tonvela {

// The status the program ends with after an error that left a handler.
inline constexpr int kUnhandledErrorExitStatus = 1;

// The reminder's one window: two labelled boxes for the day and night intervals and the minute
// timer. It owns the reminder and hands it the three events of the design: load, a box's text
// changed, a tick. Everything else (keys, clicks, closing) keeps Qt's default behaviour.
class Form14021 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kTickPeriod{60000};

  // Loads the window: builds the controls, runs Form_Load and starts Timer1. A shorter tickPeriod
  // is for tests and benchmarks only.
  Form14021(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport,
            std::chrono::milliseconds tickPeriod = kTickPeriod, QWidget* parent = nullptr);

  const Reminder& reminder() const { return reminder_; }

  // The controls, named and indexed as in the design.
  const std::array<QLabel*, 4> Label1;
  const std::array<QLineEdit*, 2> Text1;
  QTimer* const Timer1;

 private:
  void wireEvents();

  // Runs one handler where its event enters our code. An error leaving it is reported and ends
  // the program: no exception may cross Qt's event loop.
  template <typename Handler>
  void deliver(Handler&& handler) noexcept;
  void report(const std::exception_ptr& error) noexcept;
  void endProgram() noexcept;

  Reminder reminder_;
  ErrorReport& errorReport_;
  bool ended_ = false;
};

}  // namespace tonvela
