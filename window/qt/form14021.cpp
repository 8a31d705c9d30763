#include "window/qt/form14021.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QPalette>
#include <QSignalBlocker>
#include <chrono>
#include <exception>
#include <string_view>

#include "platform/runtime_error.h"
#include "window/event_boundary.h"
#include "window/form_design.h"
#include "window/qt/qt_design.h"
#include "window/qt/song_font.h"

// The icons live in the static library's resources, which the linker keeps only when asked.
static void initIconResources() { Q_INIT_RESOURCE(tonvela); }

namespace tonvela::qt {
namespace {

QString fromUtf8(const char* text) { return QString::fromUtf8(text); }

QLabel* makeLabel(QWidget* form, const design::LabelDesign& design) {
  auto* label = new QLabel(fromUtf8(design.text), form);
  label->setGeometry(toQRect(design.rect));
  label->setFont(songFont(design::kLabelPointSize, QFont::Weight(design::kLabelFontWeight)));
  // Designed labels draw their text from the top left, not centred in their height.
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, fromBgr(design::kLabelTextBgr));
  label->setPalette(palette);
  return label;
}

std::array<QLabel*, 4> makeLabel1(QWidget* form) {
  std::array<QLabel*, 4> labels{};
  for (std::size_t i = 0; i < labels.size(); ++i) {
    labels[i] = makeLabel(form, design::kLabel1[i]);
  }
  return labels;
}

// The accessible name is the label's text without its colon: a screen reader says
// "白天间隔时间" rather than "edit".
QString accessibleNameOf(const design::LabelDesign& label) {
  QString name = fromUtf8(label.text);
  while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A))) {
    name.chop(1);
  }
  return name;
}

QLineEdit* makeBox(QWidget* form, const design::BoxDesign& design, const QString& accessibleName) {
  auto* box = new QLineEdit(fromUtf8(design.text), form);
  box->setGeometry(toQRect(design.rect));
  box->setFont(songFont(design::kBoxPointSize, QFont::Weight(design::kBoxFontWeight)));
  QPalette palette = box->palette();
  palette.setColor(QPalette::Text, fromBgr(design.textBgr));
  palette.setColor(QPalette::Base, fromBgr(design.backBgr));
  box->setPalette(palette);
  box->setAccessibleName(accessibleName);
  return box;
}

// Made after the labels, so the boxes lie on top of the long labels that reach under them.
std::array<QLineEdit*, 2> makeText1(QWidget* form) {
  std::array<QLineEdit*, 2> boxes{};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const auto& label = design::kLabel1[static_cast<std::size_t>(design::kLabelOfBox[i])];
    boxes[i] = makeBox(form, design::kText1[i], accessibleNameOf(label));
  }
  QWidget::setTabOrder(boxes[0], boxes[1]);
  return boxes;
}

QTimer* makeTimer1(QWidget* form, std::chrono::milliseconds period) {
  auto* timer = new QTimer(form);
  timer->setTimerType(Qt::PreciseTimer);
  timer->setInterval(period);
  return timer;
}

QIcon programIcon() {
  initIconResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/tonvela-32.xpm"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/icons/tonvela-16.xpm"), QSize(16, 16));
  return icon;
}

}  // namespace

Form14021::Form14021(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport,
                     std::chrono::milliseconds tickPeriod, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Label1(makeLabel1(this)),
      Text1(makeText1(this)),
      Timer1(makeTimer1(this, tickPeriod)),
      sound_(sound),
      reminder_(clock, sound_),
      errorReport_(errorReport),
      tickPeriod_(tickPeriod) {
  setWindowTitle(fromUtf8(design::kCaption));
  setWindowIcon(programIcon());
  setFixedSize(twipsToPixels(design::kClientWidthTwips), twipsToPixels(design::kClientHeightTwips));
  Text1[0]->setFocus();

  sound_.onNothingPlayed = [this] { askForAttention(); };
  deliver([this] { reminder_.Form_Load(); });
  wireEvents();
  if (!ended_) {
    Timer1->start();
  }
}

void Form14021::wireEvents() {
  for (std::size_t i = 0; i < Text1.size(); ++i) {
    const auto index = static_cast<std::int16_t>(i);
    connect(Text1[i], &QLineEdit::textChanged, this, [this, index](const QString& text) {
      deliver([this, index, &text] {
        const QByteArray utf8 = text.toUtf8();
        reminder_.Text1_Change(
            index, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
      });
    });
  }
  connect(Timer1, &QTimer::timeout, this, &Form14021::onTick);
}

// While the voice plays the event loop runs, but a tick must not: the reminder handles one event
// at a time. Ticks falling due meanwhile are held back, and, as when a blocking call held the
// thread, they are not caught up: one overdue tick comes as soon as the voice has ended, and the
// period restarts from that moment. So a voice longer than a minute costs the minutes it covers
// except one, and the reminder never fires a burst of catch-up ticks.
void Form14021::onTick() {
  if (Timer1->intervalAsDuration() != tickPeriod_) {
    Timer1->start(tickPeriod_);  // this was the overdue tick
  }
  const auto nextDue = std::chrono::steady_clock::now() + tickPeriod_;
  {
    const QSignalBlocker holdTicks(Timer1);
    deliver([this] { reminder_.Timer1_Timer(); });
  }
  if (!ended_ && std::chrono::steady_clock::now() >= nextDue) {
    Timer1->start(std::chrono::milliseconds(0));
  }
}

// A close, from the title bar, Alt+F4 or a termination signal, wins over a voice in progress:
// the voice stops, and neither Timer1 nor a tick already queued may start another one. The
// event is accepted, so Qt ends the program as for any last window closed.
void Form14021::closeEvent(QCloseEvent* event) {
  ended_ = true;
  Timer1->stop();
  sound_.stopForGood();
  event->accept();
}

// Nothing at all could sound: the taskbar entry asks for the user's eye instead (the window
// manager marks it demanding attention until the window is activated).
void Form14021::askForAttention() {
  if (!ended_) {
    QApplication::alert(this);
  }
}

template <typename Handler>
void Form14021::deliver(Handler&& handler) noexcept {
  if (ended_) {
    return;  // the program is ending; events still queued must not run the reminder again
  }
  const std::exception_ptr error = runAtEventBoundary(handler);
  if (!error) {
    return;
  }
  // Stop first: the report's message box runs an event loop of its own, in which no further tick
  // or edit may reach the reminder.
  ended_ = true;
  Timer1->stop();
  report(error);
  endProgram();
}

void Form14021::report(const std::exception_ptr& error) noexcept {
  reportUnhandled(error, errorReport_);
}

void Form14021::endProgram() noexcept {
  hide();
  // Queued, so it also ends a program whose event loop has not started yet (an error at load).
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { QCoreApplication::exit(kUnhandledErrorExitStatus); },
      Qt::QueuedConnection);
}

}  // namespace tonvela::qt
