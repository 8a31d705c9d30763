#include "window/qt/held_boxes.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QSignalBlocker>

namespace tonvela::qt {

HeldBoxes::HeldBoxes(const std::array<QLineEdit*, 2>& boxes) {
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    boxes_[i].edit = boxes[i];
    boxes[i]->installEventFilter(this);
  }
}

bool HeldBoxes::eventFilter(QObject* watched, QEvent* event) {
  for (Box& box : boxes_) {
    if (watched != box.edit) {
      continue;
    }
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        box.pressed |= mouse->button();
        box.pressedAt = mouse->position();
        break;
      }
      case QEvent::MouseButtonRelease:
        box.pressed &= ~static_cast<QMouseEvent*>(event)->button();
        break;
      case QEvent::InputMethod:
        box.preediting = !static_cast<QInputMethodEvent*>(event)->preeditString().isEmpty();
        break;
      default:
        break;
    }
  }
  return false;  // only watched, never taken
}

void HeldBoxes::hold() {
  for (Box& box : boxes_) {
    QLineEdit* edit = box.edit;
    box.text = edit->text();
    box.cursor = edit->cursorPosition();
    box.selectionStart = edit->selectionStart();
    box.selectionLength = edit->selectionLength();
    box.readOnly = edit->isReadOnly();
    box.acceptsDrops = edit->acceptDrops();
    endPreedit(box);  // before read-only, which makes the box ignore input-method events
    // Read-only before the release: a middle button's release would paste.
    edit->setReadOnly(true);
    edit->setAcceptDrops(false);
    endPress(box);
    restoreCursorAndSelection(box);
  }
  held_ = true;
}

void HeldBoxes::release() {
  held_ = false;
  for (Box& box : boxes_) {
    box.edit->setReadOnly(box.readOnly);
    box.edit->setAcceptDrops(box.acceptsDrops);
    restoreCursorAndSelection(box);
  }
}

void HeldBoxes::putBack(std::size_t index) {
  if (!held_) {
    return;
  }
  const Box& box = boxes_.at(index);
  if (box.edit->text() != box.text) {
    const QSignalBlocker unseen(box.edit);
    box.edit->setText(box.text);
  }
  restoreCursorAndSelection(box);
}

// The unfinished text is dropped, not committed: committing would change the box at the voice's
// start. The input method is told too, so it does not go on composing.
void HeldBoxes::endPreedit(Box& box) {
  if (!box.preediting) {
    return;
  }
  QGuiApplication::inputMethod()->reset();
  QInputMethodEvent noPreedit;
  QCoreApplication::sendEvent(box.edit, &noPreedit);
  box.preediting = false;
}

void HeldBoxes::endPress(Box& box) {
  for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    if (!(box.pressed & button)) {
      continue;
    }
    box.pressed &= ~button;
    QMouseEvent release(QEvent::MouseButtonRelease, box.pressedAt,
                        box.edit->mapToGlobal(box.pressedAt), button, box.pressed, Qt::NoModifier);
    QCoreApplication::sendEvent(box.edit, &release);
  }
  box.pressed = Qt::NoButton;
}

void HeldBoxes::restoreCursorAndSelection(const Box& box) {
  QLineEdit* edit = box.edit;
  if (edit->cursorPosition() == box.cursor && edit->selectionStart() == box.selectionStart &&
      edit->selectionLength() == box.selectionLength) {
    return;
  }
  if (box.selectionLength <= 0) {
    edit->setCursorPosition(box.cursor);
  } else if (box.cursor == box.selectionStart) {
    // Selected leftwards: the cursor stands at the start, the anchor at the end.
    edit->setSelection(box.selectionStart + box.selectionLength, -box.selectionLength);
  } else {
    edit->setSelection(box.selectionStart, box.selectionLength);
  }
}

}  // namespace tonvela::qt
