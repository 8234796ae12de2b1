// Build step: draws the program's icon as PNG files for the desktop's icon
// theme.
//   MakeIcons FOLDER SIZE...   writes FOLDER/tarquel-SIZE.png for each size
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "Artwork.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FOLDER SIZE...\n", argv[0]);
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size < 16 || size > 1024) {
      std::fprintf(stderr, "not an icon size: %s\n", argv[i]);
      return 1;
    }
    const QString file = QStringLiteral("%1/tarquel-%2.png").arg(folder).arg(size);
    if (!tarquel::artwork::DrawAppIcon(size).save(file, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
