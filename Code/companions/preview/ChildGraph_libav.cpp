extern "C" {
#include <libavutil/log.h>
}

#include "ChildGraph.h"
#include "DecoderGraph.h"

namespace tarquel::media::preview {

// The FFmpeg libraries draw nothing through Qt: no GUI is needed. Their
// complaints about damaged data would only fill the window's terminal.
std::unique_ptr<QCoreApplication> MakeChildApplication(int& argc, char** argv) {
  av_log_set_level(AV_LOG_FATAL);
  return std::make_unique<QCoreApplication>(argc, argv);
}

std::unique_ptr<IPlayerGraph> MakeChildGraph(IPictureSink& sink) { return std::make_unique<TDecoderGraph>(sink); }

}  // namespace tarquel::media::preview
