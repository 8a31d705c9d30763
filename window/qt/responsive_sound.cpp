#include "window/qt/responsive_sound.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QInputEvent>
#include <atomic>
#include <exception>
#include <thread>

namespace tonvela::qt {
namespace {

// Installed on the application for the length of a playback: keyboard, mouse, wheel, touch and
// input-method events are swallowed rather than held back, so keys typed over the voice are not
// applied once it ends either. Everything else (paint, expose, close, timers, sockets) passes.
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
        return true;
      default:
        return dynamic_cast<QInputEvent*>(event) != nullptr;
    }
  }
};

}  // namespace

bool ResponsiveSound::playSync(const std::string& fileName, std::stop_token stop) {
  if (closing_.stop_requested()) {
    return false;
  }
  std::stop_source playbackStop;
  std::stop_callback stopOnClose(closing_.get_token(), [&] { playbackStop.request_stop(); });
  std::stop_callback stopOnCaller(stop, [&] { playbackStop.request_stop(); });
  const bool played = playOnWorker(fileName, playbackStop);
  if (!played && !playbackStop.stop_requested() && onNothingPlayed) {
    onNothingPlayed();
  }
  return played;
}

bool ResponsiveSound::playOnWorker(const std::string& fileName, std::stop_source& playbackStop) {
  QEventLoop loop;
  std::atomic<bool> finished = false;
  bool played = false;
  std::exception_ptr error;
  {
    DropUserInput dropInput;
    std::jthread worker([&, token = playbackStop.get_token()] {
      try {
        played = player_.playSync(fileName, token);
      } catch (...) {
        error = std::current_exception();
      }
      finished = true;
      // Queued to the loop's thread; if the loop has not started yet, it ends at once when it does.
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // The loop also ends when the application quits (the window was closed): the sound must not
    // outlive the call, so it is stopped rather than waited out.
    if (!finished) {
      playbackStop.request_stop();
    }
  }  // joins the worker
  if (error) {
    std::rethrow_exception(error);
  }
  return played;
}

}  // namespace tonvela::qt
