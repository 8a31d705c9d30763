// The window while a voice plays: it keeps painting and running its event loop, input to the
// boxes is dropped and leaves them as they were, and a close (or a termination signal) stops the
// voice at once with no reminder after it, even when the player is stuck. The sound is a fake that
// blocks until its length is up or it is stopped, or one stuck in a system call.
#include <QAccessible>
#include <QApplication>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "tests/support/blocking_sound.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_error_report.h"
#include "tests/support/stuck_sound.h"
#include "window/qt/close_on_signal.h"
#include "window/qt/form14021.h"

namespace tonvela::qt::test {
namespace {

using namespace std::chrono_literals;
using fakes::BlockingSound;

constexpr auto kTickPeriod = 20ms;
// A voice that ends by itself: ten times and more what the window's event loop takes to come
// round during it on a loaded machine.
constexpr auto kShortVoice = 3s;

// The test binary runs itself with this argument to watch the real event loop end the program
// while the player is stuck, which a test process could not survive.
constexpr const char* kStuckChildArgument = "--stuck-player-child";
constexpr const char* kStuckAndResponsive = "responsive while the player is stuck";

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

// Counts the presses and releases that reach a widget.
class PressCounter final : public QObject {
 public:
  explicit PressCounter(QWidget& widget) { widget.installEventFilter(this); }
  int presses = 0;
  int releases = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    presses += event->type() == QEvent::MouseButtonPress ? 1 : 0;
    releases += event->type() == QEvent::MouseButtonRelease ? 1 : 0;
    return false;
  }
};

// What the user and their tools can do to a box, each as it reaches the box for real: the mouse
// through the window, the rest as the input method, the drag source or the accessibility layer
// deliver it.
QPoint inWindow(QLineEdit* box) { return box->mapTo(box->window(), QPoint(3, box->height() / 2)); }
void press(QLineEdit* box) {
  QTest::mousePress(box->window()->windowHandle(), Qt::LeftButton, {}, inWindow(box));
}
void release(QLineEdit* box) {
  QTest::mouseRelease(box->window()->windowHandle(), Qt::LeftButton, {}, inWindow(box));
}
void inputMethod(QLineEdit* box, const QString& preedit, const QString& commit) {
  QInputMethodEvent event(preedit, {});
  event.setCommitString(commit);
  QCoreApplication::sendEvent(box, &event);
}
void drop(QLineEdit* box, const QString& text) {
  QMimeData data;
  data.setText(text);
  const QPoint at(3, box->height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(box, &enter);
  QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(box, &dropped);
}
void accessibleEdit(QLineEdit* box, const QString& text) {
  QAccessible::queryAccessibleInterface(box)->setText(QAccessible::Value, text);
}

struct BoxState {
  QString text;
  int cursor;
  int selectionStart;
  int selectionLength;
  bool operator==(const BoxState&) const = default;
};
BoxState stateOf(const QLineEdit* box) {
  return {box->text(), box->cursorPosition(), box->selectionStart(), box->selectionLength()};
}

// Prints the line once the player is stuck and the window's event loop still runs; ended by a
// termination signal, as a session ends it.
int runStuckChild(int argc, char** argv) {
  QApplication app(argc, argv);
  fakes::StuckSound sound;
  fakes::FakeClock clock(9);
  fakes::RecordingErrorReport errors;
  Form14021 form(clock, sound, errors, kTickPeriod);
  form.Text1[0]->setText(QStringLiteral("1"));
  const CloseOnSignal closeOnSignal(form);
  form.show();
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    if (sound.stuck) {
      std::puts(kStuckAndResponsive);
      std::fflush(stdout);
    }
  });
  heartbeat.start(kTickPeriod);
  return QApplication::exec();
}

}  // namespace

class ResponsivePlaybackTest : public QObject {
  Q_OBJECT

 private slots:
  void closeStopsTheVoiceAndNoReminderFollows();
  void windowPaintsWhileTheVoicePlays();
  void inputDuringTheVoiceIsDroppedNotDeferred();
  void boxesStayAsTheyWereThroughTheVoice_data();
  void boxesStayAsTheyWereThroughTheVoice();
  void aSignalEndsTheProgramEvenWhenThePlayerIsStuck();
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

// Whatever was half done to a box when the voice began, and whatever reaches it during the voice,
// the box is the same after the voice as when it began, and clean: a press has had its release,
// no unfinished input-method text is left on screen, and it takes input again.
struct BoxCase {
  const char* name;
  std::function<void(QLineEdit*)> before;  // just before the voice
  std::function<void(QLineEdit*)> during;
  bool looksAsBeforeAll;  // nothing of `before` may remain on screen after the voice
};
const std::vector<BoxCase>& boxCases() {
  static const std::vector<BoxCase> cases{
      {"a press just before the voice, released during it", press, release, false},
      {"an input method's unfinished text",
       [](QLineEdit* box) { inputMethod(box, QStringLiteral("5"), {}); },
       [](QLineEdit* box) { inputMethod(box, {}, QStringLiteral("5")); }, true},
      {"a drop", nullptr, [](QLineEdit* box) { drop(box, QStringLiteral("7")); }, true},
      {"an accessibility edit", nullptr,
       [](QLineEdit* box) { accessibleEdit(box, QStringLiteral("7")); }, true},
  };
  return cases;
}

void ResponsivePlaybackTest::boxesStayAsTheyWereThroughTheVoice_data() {
  QTest::addColumn<int>("row");
  for (std::size_t row = 0; row < boxCases().size(); ++row) {
    QTest::newRow(boxCases()[row].name) << static_cast<int>(row);
  }
}

void ResponsivePlaybackTest::boxesStayAsTheyWereThroughTheVoice() {
  QFETCH(int, row);
  const BoxCase& c = boxCases()[static_cast<std::size_t>(row)];
  QApplication::setCursorFlashTime(0);  // a steady text cursor, for pictures of the box
  PlayingForm fixture(300ms);
  fixture.form.Timer1->stop();  // no voice until the box is set up
  QVERIFY(QTest::qWaitForWindowActive(&fixture.form));
  QLineEdit* box = fixture.form.Text1[0];
  const PressCounter presses(*box);
  const QImage beforeAll = box->grab().toImage();
  if (c.before) {
    c.before(box);
    QVERIFY2(!c.looksAsBeforeAll || box->grab().toImage() != beforeAll, c.name);
  }
  BoxState atVoice{};
  DuringPlayback during(fixture.sound, [&] {
    atVoice = stateOf(box);
    c.during(box);
  });
  fixture.form.Timer1->start();
  QTRY_VERIFY2_WITH_TIMEOUT(fixture.sound.finished() >= 1, c.name, 5000);
  QVERIFY2(during.done(), c.name);
  QTest::qWait(50);  // anything held back would be delivered now
  const QByteArray where = QByteArray(c.name) + ": \"" + box->text().toUtf8() + "\"";
  QVERIFY2(stateOf(box) == atVoice, where);
  QVERIFY2(box->text() == QStringLiteral("1"), where);
  QVERIFY2(fixture.form.reminder().state().DayInterval == 1, where);
  QVERIFY2(presses.releases == presses.presses, where + " lost the release of its press");
  QVERIFY2(!c.looksAsBeforeAll || box->grab().toImage() == beforeAll, where + " looks changed");
  QVERIFY2(!box->isReadOnly() && box->acceptDrops(), where);
  QVERIFY(fixture.errors.reported.empty());
}

// A player stuck in a system call cannot be stopped: the window still answers, and a termination
// signal still ends the program with status 0, without waiting for the player.
void ResponsivePlaybackTest::aSignalEndsTheProgramEvenWhenThePlayerIsStuck() {
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kStuckChildArgument)});
  QVERIFY(child.waitForStarted());
  QByteArray out;
  while (!out.contains(kStuckAndResponsive) && child.state() == QProcess::Running &&
         child.waitForReadyRead(10000)) {
    out += child.readAllStandardOutput();
  }
  QVERIFY2(out.contains(kStuckAndResponsive), out.constData());
  ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
  const bool ended = child.waitForFinished(5000);
  if (!ended) {
    child.kill();
    child.waitForFinished();
  }
  QVERIFY2(ended, "still running 5 s after SIGTERM");
  QCOMPARE(child.exitStatus(), QProcess::NormalExit);
  QCOMPARE(child.exitCode(), 0);
}

}  // namespace tonvela::qt::test

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], tonvela::qt::test::kStuckChildArgument) == 0) {
    return tonvela::qt::test::runStuckChild(argc, argv);
  }
  QApplication app(argc, argv);
  tonvela::qt::test::ResponsivePlaybackTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "responsive_playback_test.moc"
