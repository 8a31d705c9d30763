// Build tool: turns the hand-drawn XPM icons, the editable source, into the PNG files that icon
// themes expect. Runs without a display: QImage reads XPM on its own.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <in.xpm> <out.png>\n", argv[0]);
    return 2;
  }
  const QImage image(QString::fromLocal8Bit(argv[1]), "XPM");
  if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "%s: cannot convert %s to %s\n", argv[0], argv[1], argv[2]);
    return 1;
  }
  return 0;
}
