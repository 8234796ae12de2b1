#include "MediaGraph.h"

#include <exception>

namespace tarquel {

void SeekGraph(IPlayerGraph& graph, std::int64_t milliseconds) {
  graph.SetPositions(milliseconds * 10'000);
}

std::int32_t ProbeDuration(IMediaGraph& graph, const std::string& path) {
  try {
    graph.ClearGraph();
    graph.SetActive(true);
    graph.RenderFile(path);
    const std::int32_t milliseconds = graph.Duration();
    graph.SetActive(false);
    return milliseconds / 1000;
  } catch (const std::exception&) {
    // The graph is released on failure too, so no file stays open.
    try {
      graph.SetActive(false);
    } catch (const std::exception&) {
    }
    return 0;
  }
}

}  // namespace tarquel
