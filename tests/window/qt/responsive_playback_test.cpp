// The window while a voice plays: it keeps painting and running its event loop, input to the
// boxes is dropped, and a close (or a termination signal) stops the voice at once with no
// reminder after it. The sound is a fake that blocks until its length is up or it is stopped.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <memory>

#include "tests/support/blocking_sound.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_error_report.h"
#include "window/qt/close_on_signal.h"
#include "window/qt/form14021.h"

namespace tonvela::test {
namespace {

using namespace std::chrono_literals;
using fakes::BlockingSound;

constexpr auto kTickPeriod = 20ms;
// A voice that ends by itself: ten times and more what the window's event loop takes to come
// round during it on a loaded machine.
constexpr auto kShortVoice = 3s;

// A window whose every tick plays, with a sound of the given length.
struct PlayingForm {
  explicit PlayingForm(std::chrono::milliseconds voiceLength)
      : sound(voiceLength), clock(9), form(clock, sound, errors, kTickPeriod) {
    form.Text1[0]->setText(QStringLiteral("1"));
    form.show();
  }
  BlockingSound sound;
  fakes::FakeClock clock;
  fakes::RecordingErrorReport errors;
  Form14021 form;
};

// Runs `action` once from inside the event loop the window waits in while the voice plays: the
// only place test code can run during a playback.
class DuringPlayback {
 public:
  DuringPlayback(const BlockingSound& sound, std::function<void()> action)
      : sound_(sound), action_(std::move(action)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (!done_ && sound_.playing()) {
        done_ = true;
        action_();
      }
    });
    poll_.start(2);
  }
  bool done() const { return done_; }

 private:
  const BlockingSound& sound_;
  std::function<void()> action_;
  QTimer poll_;
  bool done_ = false;
};

// Counts the paint events a widget gets while the sound plays.
class PaintCounter final : public QObject {
 public:
  PaintCounter(QWidget& widget, const BlockingSound& sound) : sound_(sound) {
    widget.installEventFilter(this);
  }
  int duringPlayback() const { return count_; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && sound_.playing()) ++count_;
    return false;
  }

 private:
  const BlockingSound& sound_;
  int count_ = 0;
};

}  // namespace

class ResponsivePlaybackTest : public QObject {
  Q_OBJECT

 private slots:
  void closeStopsTheVoiceAndNoReminderFollows();
  void windowPaintsWhileTheVoicePlays();
  void inputDuringTheVoiceIsDroppedNotDeferred();
};

void ResponsivePlaybackTest::closeStopsTheVoiceAndNoReminderFollows() {
  struct Case {
    const char* name;
    int signal;  // 0: the window is closed as the window manager's delete message closes it
  };
  const Case cases[] = {{"close", 0}, {"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};
  for (const Case& c : cases) {
    PlayingForm fixture(30s);
    CloseOnSignal closeOnSignal(fixture.form);
    BlockingSound::Clock::time_point closedAt;
    DuringPlayback closer(fixture.sound, [&] {
      closedAt = BlockingSound::Clock::now();
      if (c.signal == 0) {
        fixture.form.close();
      } else {
        std::raise(c.signal);
      }
    });
    // A stop at once ends the 30 s voice within 10 s, ten times what the first tick and the
    // close take on a loaded machine; the voice waited for would not.
    QTRY_VERIFY2_WITH_TIMEOUT(fixture.sound.finished() == 1, c.name, 10000);
    QVERIFY2(closer.done(), c.name);
    // From the close to the voice's end: milliseconds, against the voice's 30 s.
    const auto stoppedAfter = fixture.sound.lastEnd() - closedAt;
    QVERIFY2(
        stoppedAfter < 1s,
        qPrintable(
            QStringLiteral("%1: the voice went on for %2 ms")
                .arg(c.name)
                .arg(std::chrono::duration_cast<std::chrono::milliseconds>(stoppedAfter).count())));
    QCOMPARE(fixture.sound.stopped(), 1);
    QVERIFY2(fixture.form.closing() && !fixture.form.isVisible(), c.name);
    QVERIFY2(!fixture.form.Timer1->isActive(), c.name);
    // Ten tick periods later still no other reminder has started.
    QTest::qWait(static_cast<int>(kTickPeriod.count()) * 10);
    QVERIFY2(fixture.sound.started() == 1, c.name);
    QVERIFY(fixture.errors.reported.empty());
  }
}

void ResponsivePlaybackTest::windowPaintsWhileTheVoicePlays() {
  PlayingForm fixture(kShortVoice);
  // Set before any event is handled: on a loaded machine the first tick's voice may start while
  // the window is still being exposed.
  PaintCounter paints(fixture.form, fixture.sound);
  DuringPlayback repaint(fixture.sound, [&] { fixture.form.update(); });
  QVERIFY(QTest::qWaitForWindowExposed(&fixture.form));
  // A 20 ms tick and the voice: the limit only tells a voice that ends from one that hangs.
  QTRY_VERIFY_WITH_TIMEOUT(fixture.sound.finished() >= 1, 20000);
  QVERIFY(repaint.done());
  QVERIFY2(paints.duringPlayback() >= 1, "no paint event reached the window during the voice");
  // The voice ended on its own: the window goes on.
  QVERIFY(!fixture.form.closing());
  QVERIFY(fixture.form.Timer1->isActive() || fixture.sound.playing());
}

void ResponsivePlaybackTest::inputDuringTheVoiceIsDroppedNotDeferred() {
  PlayingForm fixture(kShortVoice);
  QLineEdit* box = fixture.form.Text1[0];
  DuringPlayback typist(fixture.sound, [&] {
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClicks(box, QStringLiteral("7"));
    QTest::mouseDClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_Delete);
  });
  QTRY_VERIFY_WITH_TIMEOUT(fixture.sound.finished() >= 1, 20000);
  QVERIFY(typist.done());
  QTest::qWait(50);  // anything held back would be delivered now
  QCOMPARE(box->text(), QStringLiteral("1"));
  QCOMPARE(fixture.form.reminder().state().DayInterval, 1);
  // Between playbacks typing is taken again.
  QTest::keyClick(box, Qt::Key_End);
  QTest::keyClicks(box, QStringLiteral("2"));
  QCOMPARE(box->text(), QStringLiteral("12"));
  QCOMPARE(fixture.form.reminder().state().DayInterval, 12);
}

}  // namespace tonvela::test

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tonvela::test::ResponsivePlaybackTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "responsive_playback_test.moc"
