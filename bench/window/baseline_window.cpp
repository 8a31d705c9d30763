// The yardstick for the window's start-up time and memory: the least a Qt Widgets program with
// one label and one box in the same fonts costs on this machine.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "window/qt/song_font.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Baseline......"));
  window.setFixedSize(191, 70);
  auto* label = new QLabel(QStringLiteral("白天间隔时间:"), &window);
  label->setGeometry(8, 8, 121, 17);
  label->setFont(tonvela::qt::songFont(12.0, QFont::Normal));
  auto* box = new QLineEdit(QStringLiteral("15"), &window);
  box->setGeometry(112, 8, 49, 19);
  box->setFont(tonvela::qt::songFont(10.5, QFont::Bold));
  window.show();
  return QApplication::exec();
}
