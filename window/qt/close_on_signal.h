#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QWidget>
#include <memory>

namespace tonvela::qt {

// Turns SIGTERM, SIGINT and SIGHUP into a close of the window, so a session logout or a kill
// takes the same path as the close button: the voice stops and the program ends with status 0.
// The handler only writes a byte to a pipe; the event loop reads it and closes the window. One
// instance at a time; the default handlers come back when it goes.
class CloseOnSignal final : public QObject {
 public:
  explicit CloseOnSignal(QWidget& window);
  ~CloseOnSignal() override;
  CloseOnSignal(const CloseOnSignal&) = delete;
  CloseOnSignal& operator=(const CloseOnSignal&) = delete;

 private:
  void onSignal();

  QWidget& window_;
  int readFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tonvela::qt
