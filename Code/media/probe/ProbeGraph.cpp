#include "ProbeGraph.h"

#include <algorithm>
#include <limits>

#include "Errors.h"
#include "RegularFiles.h"

namespace tarquel::media {

namespace {

bool IsAudioOrVideo(const AVStream& stream) {
  const AVMediaType type = stream.codecpar->codec_type;
  return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
}

// The duration in microseconds: the container's, else the longest stream's;
// AV_NOPTS_VALUE when neither is known.
std::int64_t KnownDuration(const AVFormatContext& input) {
  if (input.duration != AV_NOPTS_VALUE) return input.duration;
  std::int64_t longest = AV_NOPTS_VALUE;
  for (unsigned i = 0; i < input.nb_streams; ++i) {
    const AVStream& stream = *input.streams[i];
    if (stream.duration == AV_NOPTS_VALUE) continue;
    longest = std::max(longest, av_rescale_q(stream.duration, stream.time_base, AV_TIME_BASE_Q));
  }
  return longest;
}

// The header alone is enough when it names every stream's codec and the
// duration; otherwise the first packets have to be read (MPEG program
// streams, FLV and the like announce their streams only in the data).
bool HeaderIsEnough(const AVFormatContext& input) {
  if ((input.ctx_flags & AVFMTCTX_NOHEADER) || input.nb_streams == 0) return false;
  for (unsigned i = 0; i < input.nb_streams; ++i) {
    if (input.streams[i]->codecpar->codec_id == AV_CODEC_ID_NONE) return false;
  }
  return KnownDuration(input) != AV_NOPTS_VALUE;
}

}  // namespace

void TProbeGraph::SetActive(bool active) {
  if (!active) Input_.reset();
  Active_ = active;
}

void TProbeGraph::RequireActive() const {
  if (!Active_) throw MediaGraphError("The media graph is not active.");
}

int TProbeGraph::RenderFile(const std::string& path) {
  RequireActive();
  Input_.reset();

  // The path is always a local file: the "file:" prefix keeps a name with
  // a colon from being taken for another protocol, and the white list keeps
  // a playlist inside a source from reaching anything but local files.
  // Only regular files: opening a FIFO or a device would wait forever.
  if (const std::string problem = RegularFileProblem(path); !problem.empty()) {
    throw MediaGraphError("Cannot render \"" + path + "\": " + problem);
  }
  TAvOptions options;
  av_dict_set(&options.Items, "protocol_whitelist", "file", 0);
  AVFormatContext* raw = nullptr;  // freed by avformat_open_input on failure
  int error = avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, &options.Items);
  if (error < 0) throw MediaGraphError("Cannot render \"" + path + "\": " + AvErrorText(error));
  InputContextPtr input(raw);

  if (!HeaderIsEnough(*input)) {
    error = avformat_find_stream_info(input.get(), nullptr);
    if (error < 0) throw MediaGraphError("Cannot render \"" + path + "\": " + AvErrorText(error));
  }

  int streams = 0, undecodable = 0;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream& stream = *input->streams[i];
    if (!IsAudioOrVideo(stream)) continue;
    ++streams;
    if (avcodec_find_decoder(stream.codecpar->codec_id) == nullptr) ++undecodable;
  }
  if (streams == undecodable) {
    throw MediaGraphError("Cannot render \"" + path + "\": no audio or video stream can be decoded");
  }
  Input_ = std::move(input);
  return undecodable;
}

std::int32_t TProbeGraph::Duration() {
  RequireActive();
  if (!Input_) throw MediaGraphError("No file is rendered in the media graph.");
  const std::int64_t microseconds = KnownDuration(*Input_);
  if (microseconds == AV_NOPTS_VALUE || microseconds < 0) {
    throw MediaGraphError("The duration of the file is not known.");
  }
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(microseconds / 1000, std::numeric_limits<std::int32_t>::max()));
}

bool TProbeGraph::DurationIsEstimate() const {
  return Input_ && Input_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
}

std::unique_ptr<IMediaGraph> MakeProbeGraph() { return std::make_unique<TProbeGraph>(); }

int ProbeStreams(TProbeGraph& probe, const std::string& path) {
  probe.SetActive(true);
  try {
    const int undecodable = probe.RenderFile(path);
    probe.SetActive(false);
    return undecodable;
  } catch (...) {
    probe.SetActive(false);
    throw;
  }
}

}  // namespace tarquel::media
