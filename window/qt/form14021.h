#pragma once

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>

#include "core/reminder.h"
#include "platform/clock.h"
#include "platform/error_report.h"
#include "platform/sound_player.h"
#include "window/form_engine.h"
#include "window/front_end.h"
#include "window/qt/held_boxes.h"

namespace tonvela::qt {

// The reminder's one window in Qt: two labelled boxes for the day and night intervals and the
// minute timer, drawn from the design table. What it does with its events, the voice and a close
// is the engine's (FormEngine); this class turns Qt's events into the engine's calls and lends it
// Qt's pieces: a local event loop that drops user input while the voice plays, the taskbar alert,
// Timer1. Everything else (keys, clicks) keeps Qt's default behaviour.
class Form14021 final : public QWidget, private FrontEnd {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kTickPeriod = FormEngine::kTickPeriod;

  // Loads the window: builds the controls, runs Form_Load and starts Timer1. A shorter tickPeriod
  // is for tests and benchmarks only.
  Form14021(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport,
            std::chrono::milliseconds tickPeriod = kTickPeriod, QWidget* parent = nullptr);

  const Reminder& reminder() const { return engine_.reminder(); }
  // True from the moment a close was asked for: no tick reaches the reminder any more.
  bool closing() const { return engine_.ending(); }

  // The controls, named and indexed as in the design.
  const std::array<QLabel*, 4> Label1;
  const std::array<QLineEdit*, 2> Text1;
  QTimer* const Timer1;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void wireEvents();

  void pumpUntil(const std::atomic<bool>& finished) noexcept override;
  void wakePump() noexcept override;
  void askForAttention() override;
  void startTimer1(std::chrono::milliseconds period) override;
  void stopTimer1() override;
  void endProgram(int status) override;

  HeldBoxes heldBoxes_;
  std::mutex pumpMutex_;
  QEventLoop* pump_ = nullptr;  // the local loop the window waits in, while there is one
  FormEngine engine_;
};

}  // namespace tonvela::qt
