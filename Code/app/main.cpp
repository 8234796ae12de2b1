// Program entry: the application object, the windows, the event loop.
#include <clocale>

#include "TarquelApplication.h"

int main(int argc, char** argv) {
  // Qt's own media backend cannot open a plain MP4 here; FFmpeg's can.
  qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  tarquel::app::TTarquelApplication app(argc, argv);
  return app.Run();
}
