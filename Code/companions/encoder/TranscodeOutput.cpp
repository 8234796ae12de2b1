#include "TranscodeOutput.h"

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "RegularFiles.h"
#include "TranscodeCommon.h"

namespace tarquel::encoder {

using namespace tarquel::media;

namespace {

// The MPEG-4 Simple Profile level for a frame size and rate: the lowest that
// holds its macroblocks a frame and a second. Never below 3, the level the
// handheld's own recordings declare; above level 6's reach there is no
// Simple Profile level, and 6 is the nearest.
int SimpleProfileLevel(int width, int height, AVRational rate) {
  const double frame = std::ceil(width / 16.0) * std::ceil(height / 16.0);
  const double second = frame * av_q2d(rate);
  const struct {
    int level;
    double frame, second;
  } levels[] = {{3, 396, 11880}, {4, 1200, 36000}, {5, 1620, 40500}, {6, 3600, 108000}};  // 4: level 4a
  for (const auto& l : levels) {
    if (frame <= l.frame && second <= l.second + 1e-6) return l.level;
  }
  return 6;
}

// Trellis quantisation adds about a third to the encoder's time for some
// 0.6 dB. It is used where decoding the source is the larger work by far
// (an HD source made into the handheld's small frame), so that its time
// is a small share of the whole; a source about the output's size (a
// 640x480 DivX made into 320x240) gets the other tools, which cost next to
// nothing.
constexpr double kTrellisWorkRatio = 16;

// The buffer size of libavformat's own files.
constexpr int kIoBufferSize = 32768;

}  // namespace

OutputIo::OutputIo(FileDescriptor file) : File_(std::move(file)) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  if (!buffer) return;
  // The write callback's buffer is const in newer libavformat versions: the
  // lambda takes either.
  Context_.reset(avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr,
                                    [](void* opaque, auto* data, int size) { return Write(opaque, data, size); }, &Seek));
  if (!Context_) av_free(buffer);
}

int OutputIo::Write(void* opaque, const uint8_t* data, int size) {
  OutputIo& io = *static_cast<OutputIo*>(opaque);
  if (io.Error_ == 0) {
    if (const int error = platform::WriteToFile(io.File_.Get(), data, static_cast<std::size_t>(size))) {
      io.Error_ = AVERROR(error);
    }
  }
  return io.Error_ ? io.Error_ : size;
}

int64_t OutputIo::Seek(void* opaque, int64_t offset, int whence) {
  OutputIo& io = *static_cast<OutputIo*>(opaque);
  if (io.Error_) return io.Error_;
  const int fd = io.File_.Get();
  whence &= ~AVSEEK_FORCE;
  int64_t position = 0;
  int error = 0;
  if (whence == AVSEEK_SIZE) {
    // The file's size; the position stays.
    int64_t here = 0;
    error = platform::SeekInFile(fd, 0, SEEK_CUR, here);
    if (!error) error = platform::SeekInFile(fd, 0, SEEK_END, position);
    if (!error) error = platform::SeekInFile(fd, here, SEEK_SET, here);
  } else {
    error = platform::SeekInFile(fd, offset, whence, position);
  }
  // A move that failed would have the next bytes written in the wrong place.
  if (error) io.Error_ = AVERROR(error);
  return io.Error_ ? io.Error_ : position;
}

int OutputIo::Close() {
  if (Context_) {
    avio_flush(Context_.get());
    if (!Error_ && Context_->error < 0) Error_ = Context_->error;
  }
  if (const int closed = File_.Close(); closed && !Error_) Error_ = AVERROR(closed);
  return Error_;
}

StreamEncoder::StreamEncoder(bool video, const AVCodec* codec, const FrameForm& form, const EncoderOptions& options,
                             const AVOutputFormat* muxer, double sourcePixelRate)
    : Video_(video) {
  Encoder_.reset(avcodec_alloc_context3(codec));
  AVCodecContext* e = Encoder_.get();
  if (video) {
    e->width = form.width;
    e->height = form.height;
    e->pix_fmt = form.pixelFormat;
    e->sample_aspect_ratio = form.pixelShape;
    e->framerate = form.frameRate;
    e->time_base = av_inv_q(e->framerate);
    e->bit_rate = int64_t{options.videoKbits.value_or(512)} * 1000;
    // Keep the rate close to the asked one rather than the library's loose
    // default, so that a file of N seconds has about the size it was asked for.
    e->bit_rate_tolerance = static_cast<int>(e->bit_rate);
    // Simple Profile: no B-frames, no quarter-pel.
    e->max_b_frames = 0;
    e->profile = FF_PROFILE_MPEG4_SIMPLE;
    // Declared in the header as the content needs it, rather than the
    // library's level 1.
    e->level = SimpleProfileLevel(e->width, e->height, e->framerate);
    // One thread: the encoder has a thread of its own, and in slices on
    // several threads the search from the previous frame's vectors (below)
    // would read them while another slice rewrites them, so that the same
    // source would not always give the same file.
    e->thread_count = 1;
    // The tools Simple Profile has: four motion vectors a macroblock and AC
    // prediction, with a wider motion search that also starts from the
    // previous frame's vectors, and modes and sub-pel vectors judged on
    // transformed differences (SATD); trellis quantisation where the
    // source's decoding dwarfs it. Choosing each macroblock's mode by full
    // rate-distortion trials as well would add half again to the encoder's
    // time for at most half a dB more.
    e->mb_decision = FF_MB_DECISION_SIMPLE;
    e->mb_cmp = FF_CMP_SATD;
    e->me_sub_cmp = FF_CMP_SATD;
    e->dia_size = 2;
    e->last_predictor_count = 2;
    e->flags |= AV_CODEC_FLAG_4MV | AV_CODEC_FLAG_AC_PRED;
    const double outputPixelRate = static_cast<double>(e->width) * e->height * av_q2d(e->framerate);
    if (sourcePixelRate >= kTrellisWorkRatio * outputPixelRate) av_opt_set_int(e, "trellis", 1, AV_OPT_SEARCH_CHILDREN);
    // With a key frame every five seconds rather than every twelve frames,
    // the same bits buy more picture.
    e->gop_size = std::clamp(static_cast<int>(std::lround(5 * av_q2d(e->framerate))), 12, 300);
    // The finest quantiser too, so that an easy picture gets the bits asked
    // for rather than stopping short of them.
    e->qmin = 1;
    e->mb_lmin = FF_QP2LAMBDA;
    av_opt_set_int(e, "lmin", FF_QP2LAMBDA, AV_OPT_SEARCH_CHILDREN);
  } else {
    e->sample_rate = form.sampleRate;
    e->sample_fmt = form.sampleFormat;
    av_channel_layout_default(&e->ch_layout, form.channels);
    e->time_base = {1, e->sample_rate};
    e->bit_rate = int64_t{options.audioKbits.value_or(64)} * 1000;
    if (const int* rates = codec->supported_samplerates) {
      bool supported = false;
      for (; *rates; ++rates) supported = supported || *rates == e->sample_rate;
      if (!supported) Fail(Format("the %s encoder cannot work at %d Hz", codec->name, e->sample_rate));
    }
  }
  if (muxer->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(avcodec_open2(e, codec, nullptr), std::string("cannot start the ") + codec->name + " encoder");
}

int StreamEncoder::FixedFrameSize() const {
  const AVCodecContext* e = Encoder_.get();
  const bool fixed = !Video_ && !(e->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) && e->frame_size > 0;
  return fixed ? e->frame_size : 0;
}

OutputFile::OutputFile(const TranscodeJob& job) : Job_(job), O_(job.options) {}

void OutputFile::ChooseMuxer(bool hasVideo) {
  std::string name = O_.format;
  if (name.empty()) {
    std::string ext = PathText(PathOf(O_.output).extension());
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".mp4") {
      // The handheld's type is a movie: a source without pictures cannot
      // be one.
      if (!hasVideo && !O_.noVideo && !O_.videoCodec.empty()) Fail("the source has no video");
      name = hasVideo ? "psp" : "mp4";
    } else if (ext == ".m4a") name = "ipod";
    else if (ext == ".aac") name = "adts";
    else if (ext == ".mp3") name = "mp3";
  }
  const AVOutputFormat* muxer =
      name.empty() ? av_guess_format(nullptr, O_.output.c_str(), nullptr) : av_guess_format(name.c_str(), nullptr, nullptr);
  if (!muxer) Fail(name.empty() ? "cannot tell which kind of file to make of " + O_.output : "unknown format " + name);
  Muxer_ = muxer;
}

const AVCodec* OutputFile::EncoderFor(bool video) const {
  const AVOutputFormat* muxer = Muxer_;
  std::string name;
  if (video) {
    name = "mpeg4";  // "xvid" is the same encoder under another tag
  } else {
    name = O_.audioCodec == "mp3" ? "libmp3lame" : O_.audioCodec == "aac" ? "aac" : "";
    if (name.empty()) name = muxer->audio_codec == AV_CODEC_ID_MP3 ? "libmp3lame" : "aac";
  }
  const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
  if (!codec) Fail("the " + name + " encoder is not available");
  // A muxer whose only video is a cover picture (mp3) holds no video stream.
  const AVCodecID usual = video ? muxer->video_codec : muxer->audio_codec;
  if (usual == AV_CODEC_ID_NONE || (video && usual == AV_CODEC_ID_PNG) || avformat_query_codec(muxer, codec->id, FF_COMPLIANCE_NORMAL) == 0) {
    Fail(std::string("a ") + muxer->name + " file cannot hold " + codec->name + (video ? " video" : " audio"));
  }
  return codec;
}

StreamEncoder& OutputFile::AddStream(bool video, const AVCodec* codec, const FrameForm& form,
                                     double sourcePixelRate) {
  Streams_.push_back(std::make_unique<StreamEncoder>(video, codec, form, O_, Muxer_, sourcePixelRate));
  return *Streams_.back();
}

void OutputFile::Open() {
  const AVOutputFormat* muxer = Muxer_;
  AVFormatContext* raw = nullptr;
  Check(avformat_alloc_output_context2(&raw, muxer, nullptr, O_.output.c_str()), "cannot make " + O_.output);
  Context_.reset(raw);
  for (auto& stream : Streams_) {
    AVStream* output = avformat_new_stream(Context_.get(), nullptr);
    stream->Output_ = output;
    if (!output) Fail("cannot make " + O_.output);
    const AVCodecContext* encoder = stream->Encoder_.get();
    Check(avcodec_parameters_from_context(output->codecpar, encoder), "output set-up");
    output->time_base = encoder->time_base;
    if (stream->Video_) {
      output->sample_aspect_ratio = encoder->sample_aspect_ratio;
      output->avg_frame_rate = encoder->framerate;
      const unsigned xvid = MKTAG('X', 'V', 'I', 'D');
      if (O_.videoCodec == "xvid" && muxer->codec_tag && av_codec_get_id(muxer->codec_tag, xvid) == AV_CODEC_ID_MPEG4) {
        output->codecpar->codec_tag = xvid;
      }
    }
  }
  // The handheld shows the movie under its title: the source's name.
  if (std::string_view(muxer->name) == "psp") {
    const std::string title = PathText(PathOf(Job_.mediaPath).stem());
    Check(av_dict_set(&Context_->metadata, "title", title.c_str(), 0), "output set-up");
  }
  if (!(muxer->flags & AVFMT_NOFILE)) {
    // Opened here, never through a link at the output path nor over a
    // file that exists (unless -y), and written through our descriptor.
    std::string error;
    FileDescriptor file(OpenOutputFile(O_.output, O_.overwrite, error));
    if (file.Get() < 0) Fail(error);
    Created_ = true;
    Io_ = std::make_unique<OutputIo>(std::move(file));
    if (!Io_->Context()) Fail("cannot create " + O_.output + ": " + AvErrorText(AVERROR(ENOMEM)));
    Context_->pb = Io_->Context();
    Context_->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  Check(avformat_write_header(Context_.get(), nullptr), "cannot write " + O_.output);
}

void OutputFile::Encode(StreamEncoder& stream, const AVFrame* frame) {
  const int sent = avcodec_send_frame(stream.Encoder_.get(), frame);
  if (sent == AVERROR_EOF) return;
  Check(sent, "encoding");
  AVPacket* encoded = stream.Encoded_.get();
  for (;;) {
    const int got = avcodec_receive_packet(stream.Encoder_.get(), encoded);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
    Check(got, "encoding");
    // The muxer and what is written are shared with the other streams' threads.
    std::lock_guard lock(Mutex_);
    encoded->stream_index = stream.Output_->index;
    // A picture lasts one frame; the encoder leaves its packets without a
    // duration, and the output's time would end a frame short.
    if (stream.Video_ && encoded->duration <= 0) encoded->duration = 1;
    av_packet_rescale_ts(encoded, stream.Encoder_->time_base, stream.Output_->time_base);
    Written_.bytes += encoded->size;
    ++stream.PacketsWritten_;
    if (stream.Video_) {
      ++Written_.frames;
      size_t size = 0;
      if (const uint8_t* stats = av_packet_get_side_data(encoded, AV_PKT_DATA_QUALITY_STATS, &size);
          stats && size >= 4) {
        Written_.quality = static_cast<double>(AV_RL32(stats)) / FF_QP2LAMBDA;
      }
    }
    if (encoded->pts != AV_NOPTS_VALUE) {
      const double end = static_cast<double>(encoded->pts + encoded->duration) * av_q2d(stream.Output_->time_base);
      stream.SecondsDone_ = std::max(stream.SecondsDone_, end);
    }
    Check(av_interleaved_write_frame(Context_.get(), encoded), "cannot write " + O_.output);
  }
}

Progress OutputFile::Written() const {
  std::lock_guard lock(Mutex_);
  Progress written = Written_;
  // The time of the output done: its video's when it has video.
  const auto video = std::find_if(Streams_.begin(), Streams_.end(), [](const auto& s) { return s->Video_; });
  written.seconds = (video != Streams_.end() ? *video : Streams_.front())->SecondsDone_;
  return written;
}

void OutputFile::Finish() {
  Check(av_write_trailer(Context_.get()), "cannot finish " + O_.output);
  // The closing may report what the writes did not (a file system that
  // keeps the data until then).
  if (Io_) Check(Io_->Close(), "cannot finish " + O_.output);
}

void OutputFile::Discard() {
  if (!Context_) return;
  Context_.reset();
  // Closed first: Windows removes no file that is open.
  Io_.reset();
  std::error_code ec;
  if (Created_) std::filesystem::remove(PathOf(O_.output), ec);
}

}  // namespace tarquel::encoder
