#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLibraryInfo>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <cstring>
#include <memory>

#include "core/minute_rule.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_error_report.h"
#include "tests/support/recording_sound.h"
#include "tests/window/qt/form_child.h"
#include "tests/window/qt/tick_counter.h"
#include "window/event_boundary.h"
#include "window/qt/form14021.h"
#include "window/qt/qt_translations.h"
#include "window/qt/song_font.h"

namespace tonvela::qt::test {
namespace {

using std::chrono::milliseconds;

// One keyboard action on a box: text typed key by key, or a single key with modifiers.
struct KeyStep {
  QString typed;
  Qt::Key key = Qt::Key_unknown;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};
KeyStep type(const char* text) { return {QString::fromUtf8(text)}; }
KeyStep press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  return {{}, key, modifiers};
}
const KeyStep kSelectAll = press(Qt::Key_A, Qt::ControlModifier);

struct Intervals {
  int day;
  int night;
};

// A window loaded with a clock stopped at `hour` and a sound that records what it plays.
struct FormFixture {
  explicit FormFixture(int hour = 9, milliseconds tickPeriod = Form14021::kTickPeriod)
      : clock(hour), form(clock, sound, errors, tickPeriod), ticks(form.Timer1) {
    sound.currentTick = [this] { return ticks.tickInProgress(); };
  }

  Intervals intervals() const {
    const auto& state = form.reminder().state();
    return {state.DayInterval, state.NightInterval};
  }

  fakes::FakeClock clock;
  fakes::RecordingSound sound;
  fakes::RecordingErrorReport errors;
  Form14021 form;
  TickCounter ticks;
};

// QTest::keyClicks knows Latin-1 only; an input method's full-width characters come as key events
// that carry their text.
void typeText(QLineEdit* box, const QString& text) {
  for (const QChar ch : text) {
    if (ch.unicode() < 0x80) {
      QTest::keyClick(box, ch.toLatin1());
    } else {
      QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
  }
}

bool hasCjk(const QString& text) {
  for (const QChar ch : text) {
    if (ch.unicode() >= 0x4E00 && ch.unicode() <= 0x9FFF) return true;
  }
  return false;
}

}  // namespace

class Form14021Test : public QObject {
  Q_OBJECT

 private slots:
  void freshStartShowsLoadValuesWithFocusInDayBox();
  void windowMatchesDesign();
  void controlsShowTheirTextsWholeInTheirColours();
  void tabMovesBetweenTheBoxesOnly();
  void boxesAreNamedByTheirLabels();
  void chineseTextsHaveGlyphsInTheChosenFont();
  void typingChangesOnlyThatBoxsInterval();
  void tooLargeNumberDoesNotEndTheProgram();
  void firstTickComesAMinuteAfterLoad();
  void ticksComeAtThePeriodNeverEarly();
  void tickPlaysTheVoiceWhenDue();
  void ticksDuringPlaybackAreNotCaughtUpAfterwards();
  void errorLeavingAHandlerIsReportedAndEndsTheProgram();
  void qtTextsComeInSimplifiedChinese();
};

void Form14021Test::freshStartShowsLoadValuesWithFocusInDayBox() {
  FormFixture fixture;
  fixture.form.show();
  QVERIFY(QTest::qWaitForWindowActive(&fixture.form));
  QCOMPARE(fixture.form.Text1[0]->text(), QStringLiteral("15"));
  QCOMPARE(fixture.form.Text1[1]->text(), QStringLiteral("25"));
  QVERIFY(fixture.form.Text1[0]->hasFocus());
  const auto& state = fixture.form.reminder().state();
  QCOMPARE(state.DayInterval, 15);
  QCOMPARE(state.NightInterval, 25);
  QCOMPARE(state.ElapsedMinutes, 0);
}

void Form14021Test::windowMatchesDesign() {
  FormFixture fixture;
  Form14021& form = fixture.form;
  QCOMPARE(form.windowTitle(), QStringLiteral("Tonvela......"));
  // 2865 x 1050 twips, fixed: neither resizable nor maximisable.
  QCOMPARE(form.size(), QSize(191, 70));
  QCOMPARE(form.minimumSize(), form.maximumSize());
  QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
  const QList<QSize> iconSizes = form.windowIcon().availableSizes();
  QVERIFY2(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)),
           "the window icon needs its 16x16 and 32x32 images");
}

// The darkest pixel of a rendered control: the full ink of its text, since anti-aliased edges,
// the frame and the background are all lighter. Tells the colour the text is really drawn in,
// whatever the style did with the palette.
QColor inkColour(QWidget* widget) {
  const QImage image = widget->grab().toImage();
  QColor darkest(Qt::white);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (pixel.red() + pixel.green() + pixel.blue() <
          darkest.red() + darkest.green() + darkest.blue()) {
        darkest = pixel;
      }
    }
  }
  return darkest;
}

bool closeColours(const QColor& a, const QColor& b) {
  constexpr int kTolerance = 24;
  return std::abs(a.red() - b.red()) <= kTolerance &&
         std::abs(a.green() - b.green()) <= kTolerance &&
         std::abs(a.blue() - b.blue()) <= kTolerance;
}

// Where each control's text is drawn, and how wide and tall it is in the font really chosen.
QRect textArea(QWidget* widget) {
  if (auto* box = qobject_cast<QLineEdit*>(widget)) {
    // A line edit draws inside its frame, with a small margin on either side.
    constexpr int kFrameAndMargin = 2 + 2;
    return box->contentsRect()
        .marginsRemoved(box->textMargins())
        .adjusted(kFrameAndMargin, 0, -kFrameAndMargin, 0);
  }
  return widget->contentsRect();
}

void Form14021Test::controlsShowTheirTextsWholeInTheirColours() {
  FormFixture fixture;
  Form14021& form = fixture.form;
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  form.Text1[0]->clearFocus();  // the text cursor is drawn in black
  struct Expected {
    const char* name;
    QWidget* widget;
    QString text;
    QColor ink;
  };
  const QColor black(0, 0, 0);
  const Expected table[] = {
      {"Label1(0)", form.Label1[0], "分", black},
      {"Label1(1)", form.Label1[1], "白天间隔时间:", black},
      {"Label1(2)", form.Label1[2], "晚上间隔时间:", black},
      {"Label1(3)", form.Label1[3], "分", black},
      {"Text1(0)", form.Text1[0], "15", QColor(255, 0, 0)},
      {"Text1(1)", form.Text1[1], "25", QColor(0, 0, 0xC0)},
  };
  for (const Expected& row : table) {
    const auto* label = qobject_cast<QLabel*>(row.widget);
    const auto* box = qobject_cast<QLineEdit*>(row.widget);
    QVERIFY2(label || box, row.name);
    QCOMPARE_EQ(label ? label->text() : box->text(), row.text);
    // A fallback face wider than the designed Song face would clip the text.
    const QFontMetrics metrics(row.widget->font());
    const QRect area = textArea(row.widget);
    const QRect needed = metrics.boundingRect(row.text);
    const QByteArray where =
        QByteArray(row.name) + " in " + QFontInfo(row.widget->font()).family().toUtf8() +
        ": text needs " + QByteArray::number(needed.width()) + "x" +
        QByteArray::number(metrics.height()) + ", has " + QByteArray::number(area.width()) + "x" +
        QByteArray::number(area.height());
    QVERIFY2(metrics.horizontalAdvance(row.text) <= area.width(), where);
    QVERIFY2(metrics.ascent() + metrics.descent() <= area.height() + 2, where);
    QVERIFY2(row.widget->font().bold() == (box != nullptr), where);
    const QColor ink = inkColour(row.widget);
    QVERIFY2(closeColours(ink, row.ink), where + ", drawn in " + ink.name().toUtf8());
  }
  // The boxes lie on top of the long labels that reach under them.
  QCOMPARE(form.childAt(QPoint(120, 12)), form.Text1[0]);
  QCOMPARE(form.childAt(QPoint(120, 44)), form.Text1[1]);
}

void Form14021Test::tabMovesBetweenTheBoxesOnly() {
  FormFixture fixture;
  fixture.form.show();
  QVERIFY(QTest::qWaitForWindowActive(&fixture.form));
  for (QLabel* label : fixture.form.Label1) {
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QVERIFY(fixture.form.Text1[1]->hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QVERIFY(fixture.form.Text1[0]->hasFocus());
}

void Form14021Test::boxesAreNamedByTheirLabels() {
  FormFixture fixture;
  const QString expected[] = {QStringLiteral("白天间隔时间"), QStringLiteral("晚上间隔时间")};
  for (std::size_t i = 0; i < 2; ++i) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(fixture.form.Text1[i]);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), expected[i]);
  }
}

void Form14021Test::chineseTextsHaveGlyphsInTheChosenFont() {
  FormFixture fixture;
  for (const QLabel* label : fixture.form.Label1) {
    const QFontInfo info(label->font());
    QVERIFY2(songFamilies().contains(info.family()),
             qPrintable(QStringLiteral("no Song or Ming face installed; got ") + info.family()));
    const QFontMetrics metrics(label->font());
    for (const uint codePoint : label->text().toUcs4()) {
      QVERIFY2(metrics.inFontUcs4(codePoint), qPrintable(label->text()));
    }
  }
}

void Form14021Test::typingChangesOnlyThatBoxsInterval() {
  struct Case {
    const char* name;
    int box;
    std::vector<KeyStep> steps;
    std::vector<Intervals> afterEachStep;
  };
  const Case cases[] = {
      {"replacing 15 by 30", 0, {kSelectAll, type("3"), type("0")}, {{15, 25}, {3, 25}, {30, 25}}},
      {"deleting all keeps the last value",
       0,
       {press(Qt::Key_End), press(Qt::Key_Backspace), press(Qt::Key_Backspace)},
       {{15, 25}, {1, 25}, {1, 25}}},
      {"night box", 1, {kSelectAll, type("4"), type("0")}, {{15, 25}, {15, 4}, {15, 40}}},
      {"refused texts keep the value",
       1,
       {kSelectAll, type("0"), type(".6"), kSelectAll, type("-3"), kSelectAll, type("12abc")},
       {{15, 25}, {15, 25}, {15, 25}, {15, 25}, {15, 25}, {15, 25}, {15, 12}}},
      {"halves round to even", 0, {kSelectAll, type("2.5")}, {{15, 25}, {2, 25}}},
      {"full-width digits from an input method",
       0,
       {kSelectAll, type("２０")},
       {{15, 25}, {20, 25}}},
  };
  for (const Case& testCase : cases) {
    FormFixture fixture;
    QLineEdit* box = fixture.form.Text1[static_cast<std::size_t>(testCase.box)];
    for (std::size_t step = 0; step < testCase.steps.size(); ++step) {
      const KeyStep& keys = testCase.steps[step];
      if (!keys.typed.isEmpty()) {
        typeText(box, keys.typed);
      } else {
        QTest::keyClick(box, keys.key, keys.modifiers);
      }
      const Intervals got = fixture.intervals();
      const Intervals& want = testCase.afterEachStep[step];
      const QByteArray where = QByteArray(testCase.name) + ", step " + QByteArray::number(step) +
                               ": text \"" + box->text().toUtf8() + "\" gave " +
                               QByteArray::number(got.day) + "/" + QByteArray::number(got.night);
      QVERIFY2(got.day == want.day && got.night == want.night, where);
    }
    QVERIFY(fixture.errors.reported.empty());
  }
}

void Form14021Test::tooLargeNumberDoesNotEndTheProgram() {
  FormFixture fixture;
  fixture.form.show();
  QLineEdit* box = fixture.form.Text1[0];
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(box, QStringLiteral("32768"));
  QCOMPARE(box->text(), QStringLiteral("32768"));
  QCOMPARE(fixture.intervals().day, 3276);  // the last text that fitted
  QVERIFY(fixture.errors.reported.empty());
  QVERIFY(fixture.form.isVisible());
  QVERIFY(fixture.form.Timer1->isActive());
  QTest::keyClick(box, Qt::Key_Backspace);
  QTest::keyClick(box, Qt::Key_7);
  QCOMPARE(fixture.intervals().day, 32767);
}

void Form14021Test::firstTickComesAMinuteAfterLoad() {
  FormFixture fixture;
  const int remaining = fixture.form.Timer1->remainingTime();
  QVERIFY2(remaining > 59000 && remaining <= 60000, qPrintable(QString::number(remaining)));
  QCOMPARE(fixture.ticks.delivered(), 0);
}

// Ticks never come early: a tick before its minute is up would play the voice before the
// interval has passed.
void Form14021Test::ticksComeAtThePeriodNeverEarly() {
  constexpr int kPeriodMs = 30;
  constexpr int kTicks = 6;
  const auto loaded = fakes::RecordingSound::Clock::now();
  FormFixture fixture(9, milliseconds(kPeriodMs));
  std::vector<qint64> tickMs;
  QObject::connect(fixture.form.Timer1, &QTimer::timeout, [&] {
    tickMs.push_back(
        std::chrono::duration_cast<milliseconds>(fakes::RecordingSound::Clock::now() - loaded)
            .count());
  });
  QTRY_VERIFY_WITH_TIMEOUT(tickMs.size() >= kTicks, 10000);
  // Tick k is due k periods after load; a late tick does not make the next one early.
  for (std::size_t k = 1; k <= tickMs.size(); ++k) {
    const qint64 at = tickMs[k - 1];
    QVERIFY2(at >= static_cast<qint64>(k) * kPeriodMs - 1,
             qPrintable(QStringLiteral("tick %1 at %2 ms after load").arg(k).arg(at)));
  }
}

void Form14021Test::tickPlaysTheVoiceWhenDue() {
  struct Case {
    const char* name;
    int hour;
    const char* dayText;
    const char* nightText;
    int playsOnTick;
  };
  const Case cases[] = {
      {"day interval by day", 9, "2", "5", 2},
      {"night interval at night", 20, "2", "3", 3},
      {"night interval just before 08:00", 7, "4", "1", 1},
  };
  for (const Case& testCase : cases) {
    FormFixture fixture(testCase.hour, milliseconds(15));
    fixture.form.Text1[0]->setText(QString::fromUtf8(testCase.dayText));
    fixture.form.Text1[1]->setText(QString::fromUtf8(testCase.nightText));
    QTRY_VERIFY_WITH_TIMEOUT(!fixture.sound.plays.empty(), 10000);
    const fakes::RecordingSound::Play& first = fixture.sound.plays.front();
    QVERIFY2(first.tick == testCase.playsOnTick, testCase.name);
    QCOMPARE(first.fileName, std::string(kVoiceFileName));
  }
}

// While a tick plays, the thread is blocked and Timer1's timeouts fall due unseen. They must not
// come as a burst of catch-up ticks afterwards: at most one overdue tick, then the normal pace.
void Form14021Test::ticksDuringPlaybackAreNotCaughtUpAfterwards() {
  constexpr int kPeriodMs = 40;
  constexpr int kBlockedPeriods = 10;
  FormFixture fixture(9, milliseconds(kPeriodMs));
  fixture.form.Text1[0]->setText(QStringLiteral("1"));  // every tick plays
  fixture.sound.whilePlaying = [](int playIndex) {
    if (playIndex == 0) QThread::msleep(kPeriodMs * kBlockedPeriods);
  };
  QTRY_VERIFY_WITH_TIMEOUT(!fixture.sound.plays.empty(), 10000);
  const int ticksAtReturn = fixture.ticks.delivered();
  const auto returnedAt = fixture.sound.plays.front().end;
  // The first tick after the playback, however late a busy machine delivers it; then the pace.
  QTRY_VERIFY2_WITH_TIMEOUT(fixture.ticks.delivered() > ticksAtReturn,
                            "ticks must go on after a long playback", 10000);
  QTest::qWait(kPeriodMs * 4);
  const qint64 waitedMs =
      std::chrono::duration_cast<milliseconds>(fakes::RecordingSound::Clock::now() - returnedAt)
          .count();
  const int ticksAfter = fixture.ticks.delivered() - ticksAtReturn;
  // Catching up would give kBlockedPeriods ticks at once on top of the normal pace.
  const qint64 normalPace = waitedMs / kPeriodMs;
  QVERIFY2(
      ticksAfter <= normalPace + 2,
      qPrintable(
          QStringLiteral("%1 ticks in %2 ms after the playback").arg(ticksAfter).arg(waitedMs)));
  QCOMPARE(fixture.form.reminder().state().ElapsedMinutes, 0);  // each tick played and reset
}

void Form14021Test::errorLeavingAHandlerIsReportedAndEndsTheProgram() {
  struct Case {
    const char* scenario;
    QStringList stderrHas;
    QString boxLine;  // what the child saw in the message box
  };
  const Case cases[] = {
      {kChildSoundRaisesOverflow,
       {QStringLiteral("运行时错误 '6':"), QStringLiteral("溢出")},
       QStringLiteral("message box: Tonvela | 运行时错误 '6':\n\n溢出")},
      {kChildSoundRaisesStdException,
       {QStringLiteral("tonvela: unexpected failure")},
       QStringLiteral("message box: Tonvela | 运行时错误 '51':\n\n内部错误")},
  };
  for (const Case& testCase : cases) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kChildArgument), QString::fromLatin1(testCase.scenario)});
    QVERIFY2(child.waitForFinished(30000), testCase.scenario);
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    const QString err = QString::fromUtf8(child.readAllStandardError());
    const QByteArray where =
        QByteArray(testCase.scenario) + "\nstdout: " + out.toUtf8() + "\nstderr: " + err.toUtf8();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit, where);
    QVERIFY2(child.exitCode() == kUnhandledErrorExitStatus, where);
    for (const QString& part : testCase.stderrHas) {
      QVERIFY2(err.contains(part), where);
    }
    QVERIFY2(out.contains(testCase.boxLine), where);
    QVERIFY2(out.contains(QStringLiteral("ticks after the error: 0")), where);
  }
}

void Form14021Test::qtTextsComeInSimplifiedChinese() {
  const QString file =
      QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm");
  if (!QFileInfo::exists(file)) {
    QSKIP("Qt's translations (qt6-translations-l10n) are not installed");
  }
  QVERIFY(installQtTranslations(*QCoreApplication::instance()));
  FormFixture fixture;
  std::unique_ptr<QMenu> menu(fixture.form.Text1[0]->createStandardContextMenu());
  QVERIFY(!menu->actions().isEmpty());
  const QString undo = menu->actions().first()->text();
  QVERIFY2(hasCjk(undo), qPrintable(undo));
}

}  // namespace tonvela::qt::test

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], tonvela::qt::test::kChildArgument) == 0) {
    return tonvela::qt::test::runChildScenario(argc, argv, argv[2]);
  }
  QApplication app(argc, argv);
  tonvela::qt::test::Form14021Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "form14021_test.moc"
