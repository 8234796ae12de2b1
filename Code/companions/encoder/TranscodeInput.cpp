#include "TranscodeInput.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "RegularFiles.h"
#include "TranscodeCommon.h"

namespace tarquel::encoder {

using namespace tarquel::media;

InputFile::InputFile(std::string path, const EncoderOptions& options) : Path_(std::move(path)), O_(options) {
  Open();
  const auto best = [&](AVMediaType type) -> int {
    const int index = av_find_best_stream(Context_.get(), type, -1, -1, nullptr, 0);
    if (index < 0) return -1;
    return (Context_->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC) ? -1 : index;
  };
  const int videoIndex = O_.noVideo ? -1 : best(AVMEDIA_TYPE_VIDEO);
  const int audioIndex = best(AVMEDIA_TYPE_AUDIO);
  if (videoIndex < 0 && audioIndex < 0) {
    Fail(O_.noVideo ? "the source has no audio to convert" : "the source has no audio or video to convert");
  }
  const int64_t start = Context_->start_time == AV_NOPTS_VALUE ? 0 : Context_->start_time;
  for (const int index : {videoIndex, audioIndex}) {
    if (index < 0) continue;
    InputStream stream;
    stream.video = index == videoIndex;
    stream.stream = Context_->streams[index];
    stream.timestampOffset = av_rescale_q(start, AV_TIME_BASE_Q, stream.stream->time_base);
    Streams_.push_back(stream);
  }
  DiscardUnused();
}

bool InputFile::HasVideo() const {
  return std::any_of(Streams_.begin(), Streams_.end(), [](const InputStream& s) { return s.video; });
}

bool InputFile::HasAudio() const {
  return std::any_of(Streams_.begin(), Streams_.end(), [](const InputStream& s) { return !s.video; });
}

AVRational InputFile::SampleAspectRatio(const InputStream& stream) const {
  return av_guess_sample_aspect_ratio(Context_.get(), stream.stream, nullptr);
}

void InputFile::Open() {
  // Only a regular file: a FIFO or a device would hold the encoder forever.
  if (const std::string problem = RegularFileProblem(Path_); !problem.empty()) Fail(problem);
  AVFormatContext* raw = nullptr;
  Check(avformat_open_input(&raw, Path_.c_str(), nullptr, nullptr), "cannot open " + Path_);
  Context_.reset(raw);
  Check(avformat_find_stream_info(Context_.get(), nullptr), "cannot read " + Path_);
}

// The demuxer need not hand over the streams the conversion does not take.
void InputFile::DiscardUnused() {
  for (unsigned i = 0; i < Context_->nb_streams; ++i) {
    const bool used = std::any_of(Streams_.begin(), Streams_.end(),
                                  [&](const InputStream& s) { return s.stream->index == static_cast<int>(i); });
    if (!used) Context_->streams[i]->discard = AVDISCARD_ALL;
  }
}

std::vector<PacketPtr> InputFile::SeekToCut() {
  std::vector<PacketPtr> held;
  double back = 0.5;  // audio decoders need a little before the start to settle
  if (O_.startSeconds <= back) return held;
  const int64_t origin = Context_->start_time == AV_NOPTS_VALUE ? 0 : Context_->start_time;
  for (int attempt = 0; attempt < 4 && back < O_.startSeconds; ++attempt) {
    const int64_t target = origin + static_cast<int64_t>((O_.startSeconds - back) * AV_TIME_BASE);
    if (avformat_seek_file(Context_.get(), -1, INT64_MIN, target, target, 0) < 0) break;
    held.clear();
    const double landed = ReadLanding(held);
    if (std::isnan(landed)) break;
    if (landed <= O_.startSeconds) return held;
    back = std::max(back * 4, back + landed - O_.startSeconds + 1);
  }
  held.clear();
  Reopen();
  return held;
}

// Reads on after a seek until every stream has begun: video at a key frame
// (earlier packets cannot be decoded and are dropped), audio with two
// packets whose times advance. Returns the latest time a stream begins at
// (video with a margin, as a key frame's packet may carry only its decoding
// time), or NaN when the place cannot be told.
double InputFile::ReadLanding(std::vector<PacketPtr>& held) {
  constexpr double kKeyFrameMargin = 0.25;
  struct Seen {
    int count = 0;
    double first = 0, last = 0;
  };
  std::vector<Seen> seen(Streams_.size());
  for (int read = 0; read < 20000; ++read) {
    PacketPtr packet = MakePacket();
    if (av_read_frame(Context_.get(), packet.get()) < 0) return NAN;
    const auto stream = std::find_if(Streams_.begin(), Streams_.end(),
                                     [&](const InputStream& s) { return s.stream->index == packet->stream_index; });
    if (stream == Streams_.end()) continue;
    Seen& s = seen[static_cast<std::size_t>(stream - Streams_.begin())];
    if (s.count == 0 && stream->video && !(packet->flags & AV_PKT_FLAG_KEY)) continue;
    const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (s.count < 2 && ts == AV_NOPTS_VALUE) return NAN;
    if (ts != AV_NOPTS_VALUE) {
      const double t = static_cast<double>(ts - stream->timestampOffset) * av_q2d(stream->stream->time_base);
      if (s.count == 0) s.first = t;
      else if (!stream->video && s.count == 1 && t <= s.last) return NAN;  // times that do not advance
      s.last = t;
      // One stream far past the start while another has not begun.
      if (t > O_.startSeconds + 10) return NAN;
    }
    ++s.count;
    held.push_back(std::move(packet));
    double latest = -INFINITY;
    bool ready = true;
    for (std::size_t i = 0; i < Streams_.size(); ++i) {
      ready = ready && seen[i].count >= (Streams_[i].video ? 1 : 2);
      latest = std::max(latest, seen[i].first + (Streams_[i].video ? kKeyFrameMargin : 0));
    }
    if (ready) return latest;
  }
  return NAN;
}

// Opens the input afresh, reading from its beginning.
void InputFile::Reopen() {
  std::vector<int> indices;
  for (const auto& stream : Streams_) indices.push_back(stream.stream->index);
  Context_.reset();
  Open();
  for (std::size_t i = 0; i < Streams_.size(); ++i) Streams_[i].stream = Context_->streams[indices[i]];
  DiscardUnused();
}

void InputFile::CheckTheSourceLasted(double done) {
  if (Context_->duration == AV_NOPTS_VALUE || Context_->duration <= 0 ||
      Context_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) {
    return;
  }
  const double held = static_cast<double>(Context_->duration) / AV_TIME_BASE - O_.startSeconds;
  const double asked = O_.durationSeconds ? std::min(*O_.durationSeconds, held) : held;
  if (done >= asked - 1 || DataReaches(O_.startSeconds + asked - 1)) return;
  const auto at = static_cast<long long>(O_.startSeconds + done);
  Fail(Format("the source ended at %02lld:%02lld:%02lld", at / 3600, at / 60 % 60, at % 60));
}

// Whether the file holds a packet of any stream, the unconverted ones
// too, from a time on (in seconds from its start): the sound of a video
// whose sound stops before its picture, converted alone, ends early but
// the source does not.
bool InputFile::DataReaches(double seconds) {
  for (unsigned i = 0; i < Context_->nb_streams; ++i) Context_->streams[i]->discard = AVDISCARD_DEFAULT;
  const int64_t origin = Context_->start_time == AV_NOPTS_VALUE ? 0 : Context_->start_time;
  const int64_t target = origin + static_cast<int64_t>(seconds * AV_TIME_BASE);
  if (avformat_seek_file(Context_.get(), -1, INT64_MIN, target, target, 0) < 0) return false;
  PacketPtr packet = MakePacket();
  for (int read = 0; read < 20000 && av_read_frame(Context_.get(), packet.get()) >= 0; ++read) {
    const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    const AVRational tb = Context_->streams[packet->stream_index]->time_base;
    av_packet_unref(packet.get());
    if (ts != AV_NOPTS_VALUE && av_compare_ts(ts, tb, target, AV_TIME_BASE_Q) >= 0) return true;
  }
  return false;
}

}  // namespace tarquel::encoder
