// The player graph the preview child plays with, chosen when the program is
// built (see media/): Qt Multimedia's, or the one over the FFmpeg libraries.
// Either hands its pictures to the sink, fitted into the sink's box.
#pragma once

#include <QCoreApplication>
#include <memory>

#include "MediaGraph.h"
#include "PictureSink.h"

namespace tarquel::media::preview {

// The application object the graph needs.
std::unique_ptr<QCoreApplication> MakeChildApplication(int& argc, char** argv);

// A fresh graph; `sink` must outlive it.
std::unique_ptr<IPlayerGraph> MakeChildGraph(IPictureSink& sink);

}  // namespace tarquel::media::preview
