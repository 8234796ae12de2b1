#include "ChildGraph.h"
#include "DecoderGraph.h"

namespace tarquel::media::preview {

// The FFmpeg libraries draw nothing through Qt: no GUI is needed.
std::unique_ptr<QCoreApplication> MakeChildApplication(int& argc, char** argv) {
  return std::make_unique<QCoreApplication>(argc, argv);
}

std::unique_ptr<IPlayerGraph> MakeChildGraph(IPictureSink& sink) { return std::make_unique<TDecoderGraph>(sink); }

}  // namespace tarquel::media::preview
