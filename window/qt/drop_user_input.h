#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QInputEvent>
#include <QObject>

namespace tonvela::qt {

// Installed on the application while the voice plays: keyboard, mouse, wheel, touch, input-method
// and drag-and-drop events are swallowed rather than held back, so keys typed over the voice are
// not applied once it ends either, and a drop is refused. Everything else (paint, expose, close,
// timers, sockets) passes.
class DropUserInput final : public QObject {
 public:
  DropUserInput() { QCoreApplication::instance()->installEventFilter(this); }
  ~DropUserInput() override { QCoreApplication::instance()->removeEventFilter(this); }
  DropUserInput(const DropUserInput&) = delete;
  DropUserInput& operator=(const DropUserInput&) = delete;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::InputMethod:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop:
        return true;
      default:
        return dynamic_cast<QInputEvent*>(event) != nullptr;
    }
  }
};

}  // namespace tonvela::qt
