// The probing graph: opens a source with libavformat, tells whether its
// audio and video streams can be decoded, and reads its duration. It reads
// only the container's header, and the first packets when the header does
// not name every stream and the duration.
#pragma once

#include <memory>

#include "FfmpegHandles.h"
#include "MediaGraph.h"

namespace tarquel::media {

class TProbeGraph final : public IMediaGraph {
 public:
  bool Active() const override { return Active_; }
  void SetActive(bool active) override;
  void ClearGraph() override { Input_.reset(); }
  // kRenderedAll when every audio and video stream has a decoder; otherwise
  // the number of streams without one. Raises MediaGraphError when the file
  // cannot be opened or none of its streams can be decoded.
  int RenderFile(const std::string& path) override;
  std::int32_t Duration() override;
  // Whether the rendered file's duration is only guessed from its size and
  // bitrate (MP3 without a header that counts its frames and the like).
  bool DurationIsEstimate() const;

 private:
  void RequireActive() const;

  bool Active_ = false;
  InputContextPtr Input_;
};

// A fresh, inactive probing graph; fits MediaGraphFactory.
std::unique_ptr<IMediaGraph> MakeProbeGraph();

// Reads the header of `path` on `probe`, active for that alone, and gives
// RenderFile's answer (the streams that cannot be decoded); raises what
// RenderFile raises. The player graphs check a file with it before playing.
int ProbeStreams(TProbeGraph& probe, const std::string& path);

}  // namespace tarquel::media
