#include "window/qt/form14021.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QSignalBlocker>
#include <chrono>
#include <string_view>

#include "resources/icons/tonvela-16.xpm"
#include "resources/icons/tonvela-32.xpm"
#include "window/form_design.h"
#include "window/qt/drop_user_input.h"
#include "window/qt/qt_design.h"
#include "window/qt/song_font.h"

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

// From the XPM drawings compiled in: no image reader, and so none of its plugins, is loaded for
// the icon.
QIcon programIcon() {
  QIcon icon;
  icon.addPixmap(QPixmap(tonvela_32));
  icon.addPixmap(QPixmap(tonvela_16));
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
      heldBoxes_(Text1),
      engine_(clock, sound, errorReport, *this, tickPeriod) {
  setWindowTitle(fromUtf8(design::kCaption));
  setWindowIcon(programIcon());
  setFixedSize(twipsToPixels(design::kClientWidthTwips), twipsToPixels(design::kClientHeightTwips));
  Text1[0]->setFocus();
  engine_.load();
  wireEvents();
}

void Form14021::wireEvents() {
  for (std::size_t i = 0; i < Text1.size(); ++i) {
    const auto index = static_cast<std::int16_t>(i);
    connect(Text1[i], &QLineEdit::textChanged, this, [this, index](const QString& text) {
      const QByteArray utf8 = text.toUtf8();
      if (!engine_.boxChanged(
              index, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())))) {
        heldBoxes_.putBack(static_cast<std::size_t>(index));
      }
    });
  }
  // Ticks falling due while the voice plays reach no one: the engine drops them anyway, and
  // nothing else listening to Timer1 sees a tick the reminder did not get.
  connect(Timer1, &QTimer::timeout, this, [this] {
    const QSignalBlocker holdTicks(Timer1);
    engine_.tick();
  });
}

// Accepted, so Qt ends the program with status 0 as for any last window closed.
void Form14021::closeEvent(QCloseEvent* event) {
  engine_.close();
  event->accept();
}

void Form14021::pumpUntil(const std::atomic<bool>& finished) noexcept {
  heldBoxes_.hold();
  {
    const DropUserInput dropInput;
    QEventLoop loop;
    {
      const std::lock_guard lock(pumpMutex_);
      pump_ = &loop;
    }
    // Set before the flag is read: a worker that finishes in between finds the loop to wake.
    if (!finished) {
      // Also ends when the application quits (the window was closed).
      loop.exec();
    }
    const std::lock_guard lock(pumpMutex_);
    pump_ = nullptr;
  }
  heldBoxes_.release();
}

void Form14021::wakePump() noexcept {
  const std::lock_guard lock(pumpMutex_);
  if (pump_ != nullptr) {
    // Queued to the loop's thread; dropped with the loop if it has gone meanwhile.
    QMetaObject::invokeMethod(pump_, &QEventLoop::quit, Qt::QueuedConnection);
  }
}

// The window manager marks the taskbar entry as demanding attention until the window is
// activated.
void Form14021::askForAttention() { QApplication::alert(this); }

void Form14021::startTimer1(std::chrono::milliseconds period) { Timer1->start(period); }

void Form14021::stopTimer1() { Timer1->stop(); }

void Form14021::endProgram(int status) {
  hide();
  // Queued, so it also ends a program whose event loop has not started yet (an error at load).
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [status] { QCoreApplication::exit(status); },
      Qt::QueuedConnection);
}

}  // namespace tonvela::qt
