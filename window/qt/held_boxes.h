#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPointF>
#include <QString>
#include <array>
#include <cstddef>

namespace tonvela::qt {

// The two boxes while the voice plays: each keeps the text, cursor and selection it had when the
// voice began and takes no typing, input-method text, drop or edit of any other kind; when the
// voice ends they take input again, as they were. A mouse press or an input method's unfinished
// (pre-edit) text that a box had when the voice began is ended first, as a release or a reset
// would end it, so nothing half-done is left over for after the voice: the release itself comes
// while input is dropped and would never reach the box. Watches the boxes for those from the
// start.
class HeldBoxes final : public QObject {
 public:
  explicit HeldBoxes(const std::array<QLineEdit*, 2>& boxes);

  void hold();
  void release();
  // An edit reached box `index` while held (an accessibility tool's, say): the box goes back to
  // what it was, unseen by anyone listening to its text.
  void putBack(std::size_t index);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Box {
    QLineEdit* edit = nullptr;
    Qt::MouseButtons pressed;
    QPointF pressedAt;
    bool preediting = false;
    // As the box was when the voice began.
    QString text;
    int cursor = 0;
    int selectionStart = -1;
    int selectionLength = 0;
    bool readOnly = false;
    bool acceptsDrops = false;
  };

  static void endPress(Box& box);
  static void endPreedit(Box& box);
  static void restoreCursorAndSelection(const Box& box);

  std::array<Box, 2> boxes_;
  bool held_ = false;
};

}  // namespace tonvela::qt
