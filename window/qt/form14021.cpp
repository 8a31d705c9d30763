#include "window/qt/form14021.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QIcon>
#include <QPalette>
#include <cstdio>
#include <exception>
#include <string_view>

#include "window/form_design.h"
#include "window/qt/qt_design.h"
#include "platform/runtime_error.h"
#include "window/qt/song_font.h"

// The icons live in the static library's resources, which the linker keeps only when asked.
static void initIconResources() { Q_INIT_RESOURCE(tonvela); }

namespace tonvela {
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
      reminder_(clock, sound),
      errorReport_(errorReport) {
  setWindowTitle(fromUtf8(design::kCaption));
  setWindowIcon(programIcon());
  setFixedSize(twipsToPixels(design::kClientWidthTwips), twipsToPixels(design::kClientHeightTwips));
  Text1[0]->setFocus();

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
  // Ticks that fall due while a playback blocks the thread are not queued up: Qt delivers one
  // overdue tick as soon as the event loop runs again and restarts the period from that moment.
  // So a voice longer than a minute costs the minutes it covers except one, and the reminder
  // never fires a burst of catch-up ticks.
  connect(Timer1, &QTimer::timeout, this,
          [this] { deliver([this] { reminder_.Timer1_Timer(); }); });
}

template <typename Handler>
void Form14021::deliver(Handler&& handler) noexcept {
  if (ended_) {
    return;  // the program is ending; events still queued must not run the reminder again
  }
  std::exception_ptr error;
  try {
    handler();
    return;
  } catch (...) {
    error = std::current_exception();
  }
  // Stop first: the report's message box runs an event loop of its own, in which no further tick
  // or edit may reach the reminder.
  ended_ = true;
  Timer1->stop();
  report(error);
  endProgram();
}

void Form14021::report(const std::exception_ptr& error) noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const RuntimeError& runtimeError) {
    errorReport_.report(runtimeError);
  } catch (const std::exception& otherError) {
    std::fprintf(stderr, "tonvela: %s\n", otherError.what());
  } catch (...) {
    std::fputs("tonvela: unknown error\n", stderr);
  }
}

void Form14021::endProgram() noexcept {
  hide();
  // Queued, so it also ends a program whose event loop has not started yet (an error at load).
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { QCoreApplication::exit(kUnhandledErrorExitStatus); },
      Qt::QueuedConnection);
}

}  // namespace tonvela
