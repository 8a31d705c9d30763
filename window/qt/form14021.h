#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <exception>

#include "core/reminder.h"
#include "platform/clock.h"
#include "platform/error_report.h"
#include "platform/sound_player.h"
#include "window/event_boundary.h"
#include "window/qt/responsive_sound.h"

namespace tonvela::qt {

// The reminder's one window: two labelled boxes for the day and night intervals and the minute
// timer. It owns the reminder and hands it the three events of the design: load, a box's text
// changed, a tick. The voice plays through a ResponsiveSound, so the window stays painted while it
// plays and a close always wins: it stops Timer1 and the voice, and no reminder runs after it.
// Everything else (keys, clicks) keeps Qt's default behaviour.
class Form14021 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kTickPeriod{60000};

  // Loads the window: builds the controls, runs Form_Load and starts Timer1. A shorter tickPeriod
  // is for tests and benchmarks only.
  Form14021(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport,
            std::chrono::milliseconds tickPeriod = kTickPeriod, QWidget* parent = nullptr);

  const Reminder& reminder() const { return reminder_; }
  // True from the moment a close was asked for: no tick reaches the reminder any more.
  bool closing() const { return ended_; }

  // The controls, named and indexed as in the design.
  const std::array<QLabel*, 4> Label1;
  const std::array<QLineEdit*, 2> Text1;
  QTimer* const Timer1;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void wireEvents();
  void onTick();
  void askForAttention();

  // Runs one handler where its event enters our code. An error leaving it is reported and ends
  // the program: no exception may cross Qt's event loop.
  template <typename Handler>
  void deliver(Handler&& handler) noexcept;
  void report(const std::exception_ptr& error) noexcept;
  void endProgram() noexcept;

  ResponsiveSound sound_;
  Reminder reminder_;
  ErrorReport& errorReport_;
  const std::chrono::milliseconds tickPeriod_;
  bool ended_ = false;
};

}  // namespace tonvela::qt
