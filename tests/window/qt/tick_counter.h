#pragma once

#include <QObject>
#include <QTimer>

namespace tonvela::qt::test {

// Counts the ticks Timer1 delivers. Connected after the window's own handler, so while that
// handler runs the tick in progress is not counted yet.
class TickCounter {
 public:
  explicit TickCounter(QTimer* timer) {
    QObject::connect(timer, &QTimer::timeout, [this] { ++delivered_; });
  }
  int delivered() const { return delivered_; }
  int tickInProgress() const { return delivered_ + 1; }

 private:
  int delivered_ = 0;
};

}  // namespace tonvela::qt::test
