#include "DecoderPlayback.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <deque>
#include <limits>
#include <vector>

#include "Errors.h"
#include "FfmpegHandles.h"
#include "RegularFiles.h"

namespace tarquel::media {

namespace {

using Clock = std::chrono::steady_clock;

// How much is decoded ahead: pictures waiting for their time, and the sound
// queued in the output (a limit on the pictures keeps a file whose sound
// lies far from its pictures from filling the memory).
constexpr std::size_t kPicturesAhead = 4;
constexpr std::size_t kPicturesAtMost = 24;
constexpr std::int64_t kSoundAheadUs = 500'000;
// The longest the thread sleeps while playing, so that the sound is fed.
constexpr std::int64_t kNapUs = 10'000;

struct AvFree {
  void operator()(std::uint8_t* p) const { av_free(p); }
};

// A decoder for `stream`; null when there is none or it does not open.
CodecContextPtr OpenDecoder(const AVStream& stream) {
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  if (!codec) return nullptr;
  CodecContextPtr context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), stream.codecpar) < 0) return nullptr;
  context->pkt_timebase = stream.time_base;
  context->thread_count = 0;  // as many as the machine has
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

}  // namespace

struct TDecoderPlayback::TDecoding {
  InputContextPtr Input;
  std::int64_t StartUs = 0;  // the file's first time: positions count from it
  PacketPtr Packet = MakePacket();

  int VideoIndex = -1;
  CodecContextPtr Video;
  AVRational VideoBase{1, 1};
  std::int64_t PictureUs = 40'000;  // one picture's time
  std::int64_t LastPictureUs = 0;
  std::deque<FramePtr> Pictures;  // decoded, their pts in microseconds
  bool VideoDone = false;
  ScaleContextPtr Scaler;
  std::unique_ptr<std::uint8_t, AvFree> Rgb;
  std::size_t RgbBytes = 0;

  int AudioIndex = -1;
  CodecContextPtr Audio;
  AVRational AudioBase{1, 1};
  std::unique_ptr<platform::TAudioOutput> Out;
  int OutRate = 0, OutChannels = 0;
  bool OutRunning = false;
  ResampleContextPtr Resampler;
  AVChannelLayout ResampledLayout{};  // what the resampler was made for
  int ResampledFormat = -1, ResampledRate = 0;
  std::vector<std::int16_t> Pending;  // resampled, not taken by the output yet
  std::size_t PendingAt = 0;          // frames of Pending already taken
  bool AudioStarted = false;          // samples went out since the last seek
  std::int64_t AudioBaseUs = 0;       // the time of the first of them
  std::int64_t DropSoundBeforeUs = 0;
  bool AudioDone = false;

  bool InputDone = false;
  std::int64_t ContentEndUs = 0;  // where the last picture or sound decoded ends

  ~TDecoding() { av_channel_layout_uninit(&ResampledLayout); }

  std::size_t PendingFrames() const {
    return OutChannels ? (Pending.size() / static_cast<std::size_t>(OutChannels)) - PendingAt : 0;
  }
};

TDecoderPlayback::TDecoderPlayback(const std::string& path, preview::IPictureSink& sink, EndHandler onEnd,
                                   const SoundOpener& openSound)
    : Sink_(sink), OnEnd_(std::move(onEnd)), D_(std::make_unique<TDecoding>()) {
  // A local regular file only, as the probe opens it.
  if (const std::string problem = RegularFileProblem(path); !problem.empty()) {
    throw MediaGraphError("Cannot play \"" + path + "\": " + problem);
  }
  TAvOptions options;
  av_dict_set(&options.Items, "protocol_whitelist", "file", 0);
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) throw MediaGraphError("Cannot play \"" + path + "\": out of memory");
  raw->interrupt_callback.callback = [](void* self) -> int {
    return static_cast<TDecoderPlayback*>(self)->Quit_.load() ? 1 : 0;
  };
  raw->interrupt_callback.opaque = this;
  // Freed by avformat_open_input when it fails.
  if (const int error = avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, &options.Items); error < 0) {
    throw MediaGraphError("Cannot play \"" + path + "\": " + AvErrorText(error));
  }
  TDecoding& d = *D_;
  d.Input.reset(raw);
  if (const int error = avformat_find_stream_info(raw, nullptr); error < 0) {
    throw MediaGraphError("Cannot play \"" + path + "\": " + AvErrorText(error));
  }
  if (raw->start_time != AV_NOPTS_VALUE) d.StartUs = raw->start_time;
  if (raw->duration != AV_NOPTS_VALUE && raw->duration > 0) DurationUs_ = raw->duration;

  // The best video stream; a cover picture of a song is not played.
  const int video = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video >= 0 && !(raw->streams[video]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
    AVStream& stream = *raw->streams[video];
    d.Video = OpenDecoder(stream);
    if (d.Video) {
      d.VideoIndex = video;
      d.VideoBase = stream.time_base;
      const AVRational rate = av_guess_frame_rate(raw, &stream, nullptr);
      if (rate.num > 0 && rate.den > 0) d.PictureUs = std::max<std::int64_t>(av_rescale(1'000'000, rate.den, rate.num), 1);
    }
  }
  bool soundDecodable = false;
  const int audio = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
  if (audio >= 0) {
    AVStream& stream = *raw->streams[audio];
    CodecContextPtr decoder = OpenDecoder(stream);
    soundDecodable = decoder != nullptr;
    if (decoder) {
      // As it is, at most in stereo; without an output it is not decoded.
      d.OutRate = decoder->sample_rate > 0 ? std::clamp(decoder->sample_rate, 8000, 192000) : 44100;
      d.OutChannels = decoder->ch_layout.nb_channels == 1 ? 1 : 2;
      d.Out = openSound ? openSound(d.OutRate, d.OutChannels) : platform::TAudioOutput::Open(d.OutRate, d.OutChannels);
      if (d.Out) {
        d.Audio = std::move(decoder);
        d.AudioIndex = audio;
        d.AudioBase = stream.time_base;
      }
    }
  }
  if (!d.Video && !soundDecodable) throw MediaGraphError("Cannot play \"" + path + "\": no stream can be decoded");
  // Neither pictures nor sound to decode: the file's duration times the end.
  if (!d.Video && !d.Audio) {
    d.InputDone = true;
    d.ContentEndUs = DurationUs_;
  }
  Start_ = Clock::now();
  Thread_ = std::thread([this] { Run(); });
}

TDecoderPlayback::~TDecoderPlayback() {
  {
    const std::lock_guard lock(M_);
    Quit_ = true;
  }
  Wake_.notify_all();
  Thread_.join();
}

std::int64_t TDecoderPlayback::WallUs(Clock::time_point now) const {
  return BaseUs_ + std::chrono::duration_cast<std::chrono::microseconds>(now - Start_).count();
}

void TDecoderPlayback::Play() {
  {
    const std::lock_guard lock(M_);
    if (Playing_) return;
    if (Ended_) {
      Ended_ = false;
      SeekPending_ = true;
      SeekUs_ = 0;
      SeekShow_ = true;
      BaseUs_ = 0;
    }
    Playing_ = true;
    Start_ = Clock::now();
  }
  Wake_.notify_all();
}

void TDecoderPlayback::Pause() {
  {
    const std::lock_guard lock(M_);
    if (!Playing_) return;
    BaseUs_ = WallUs(Clock::now());
    Playing_ = false;
  }
  Wake_.notify_all();
}

void TDecoderPlayback::Seek(std::int64_t us, bool show) {
  {
    const std::lock_guard lock(M_);
    SeekPending_ = true;
    SeekUs_ = std::max<std::int64_t>(us, 0);
    SeekShow_ = show;
    BaseUs_ = SeekUs_;
    Start_ = Clock::now();
    Ended_ = false;
  }
  Wake_.notify_all();
}

std::int64_t TDecoderPlayback::PositionUs() {
  const std::lock_guard lock(M_);
  return Playing_ ? WallUs(Clock::now()) : BaseUs_;
}

// --- The decoding thread -------------------------------------------------------

void TDecoderPlayback::Run() {
  TDecoding& d = *D_;

  const auto interrupted = [this] {
    const std::lock_guard lock(M_);
    return Quit_ || SeekPending_;
  };
  // A frame's time in microseconds from the beginning, into its pts.
  const auto stamp = [&d](AVFrame& frame, AVRational base, std::int64_t fallback) {
    std::int64_t ts = frame.best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE) ts = frame.pts;
    frame.pts = ts == AV_NOPTS_VALUE ? fallback : av_rescale_q(ts, base, AV_TIME_BASE_Q) - d.StartUs;
    return frame.pts;
  };

  const auto receiveVideo = [&] {
    for (;;) {
      FramePtr frame = MakeFrame();
      const int result = avcodec_receive_frame(d.Video.get(), frame.get());
      if (result == AVERROR_EOF) d.VideoDone = true;
      if (result < 0) return;
      d.LastPictureUs = stamp(*frame, d.VideoBase, d.LastPictureUs + d.PictureUs);
      d.ContentEndUs = std::max(d.ContentEndUs, d.LastPictureUs + d.PictureUs);
      d.Pictures.push_back(std::move(frame));
    }
  };

  FramePtr sound = MakeFrame();
  const auto receiveAudio = [&] {
    for (;;) {
      const int result = avcodec_receive_frame(d.Audio.get(), sound.get());
      if (result == AVERROR_EOF) d.AudioDone = true;
      if (result < 0) return;
      const std::int64_t us = stamp(*sound, d.AudioBase, d.ContentEndUs);
      // Sound whose layout, format or rate changes gets a new resampler.
      if (d.Resampler && (sound->format != d.ResampledFormat || sound->sample_rate != d.ResampledRate ||
                          av_channel_layout_compare(&sound->ch_layout, &d.ResampledLayout) != 0)) {
        d.Resampler.reset();
      }
      if (!d.Resampler) {
        av_channel_layout_uninit(&d.ResampledLayout);
        av_channel_layout_copy(&d.ResampledLayout, &sound->ch_layout);
        d.ResampledFormat = sound->format;
        d.ResampledRate = sound->sample_rate;
        AVChannelLayout layout{};
        av_channel_layout_default(&layout, d.OutChannels);
        SwrContext* made = nullptr;
        const int error = swr_alloc_set_opts2(&made, &layout, AV_SAMPLE_FMT_S16, d.OutRate, &sound->ch_layout,
                                              static_cast<AVSampleFormat>(sound->format), sound->sample_rate, 0,
                                              nullptr);
        d.Resampler.reset(made);
        av_channel_layout_uninit(&layout);
        if (error < 0 || swr_init(d.Resampler.get()) < 0) {
          d.Resampler.reset();
          av_frame_unref(sound.get());
          continue;
        }
      }
      const int room = swr_get_out_samples(d.Resampler.get(), sound->nb_samples);
      if (room <= 0) {
        av_frame_unref(sound.get());
        continue;
      }
      std::vector<std::int16_t> out(static_cast<std::size_t>(room) * static_cast<std::size_t>(d.OutChannels));
      std::uint8_t* planes[1] = {reinterpret_cast<std::uint8_t*>(out.data())};
      const int got = swr_convert(d.Resampler.get(), planes, room, const_cast<const std::uint8_t**>(sound->extended_data),
                                  sound->nb_samples);
      av_frame_unref(sound.get());
      if (got <= 0) continue;
      // After a seek the sound before the target is left out.
      std::int64_t skip = 0;
      if (us < d.DropSoundBeforeUs) skip = av_rescale(d.DropSoundBeforeUs - us, d.OutRate, 1'000'000);
      if (skip >= got) continue;
      if (!d.AudioStarted && d.PendingFrames() == 0) {
        d.AudioStarted = true;
        d.AudioBaseUs = us + av_rescale(skip, 1'000'000, d.OutRate);
      }
      d.Pending.insert(d.Pending.end(), out.begin() + skip * d.OutChannels, out.begin() + got * d.OutChannels);
      d.ContentEndUs = std::max(d.ContentEndUs, us + av_rescale(got, 1'000'000, d.OutRate));
    }
  };

  // One packet read and decoded; at the end of the input the decoders are
  // drained.
  const auto readOne = [&] {
    AVPacket* packet = d.Packet.get();
    const int error = av_read_frame(d.Input.get(), packet);
    if (error == AVERROR(EAGAIN)) return;
    if (error < 0) {
      // The end, or data that cannot be read on: what was decoded plays out.
      d.InputDone = true;
      if (d.Video && avcodec_send_packet(d.Video.get(), nullptr) >= 0) receiveVideo();
      d.VideoDone = true;
      if (d.Audio && avcodec_send_packet(d.Audio.get(), nullptr) >= 0) receiveAudio();
      d.AudioDone = true;
      return;
    }
    // A damaged packet is skipped: the decoder goes on with the next.
    if (packet->stream_index == d.VideoIndex && !d.VideoDone) {
      avcodec_send_packet(d.Video.get(), packet);
      receiveVideo();
    } else if (packet->stream_index == d.AudioIndex && !d.AudioDone) {
      avcodec_send_packet(d.Audio.get(), packet);
      receiveAudio();
    }
    av_packet_unref(packet);
  };

  const auto feedSound = [&] {
    if (!d.Out) return;
    while (d.PendingFrames() > 0) {
      const std::size_t taken =
          d.Out->Write(d.Pending.data() + d.PendingAt * static_cast<std::size_t>(d.OutChannels), d.PendingFrames());
      if (taken == 0) break;
      d.PendingAt += taken;
    }
    if (d.PendingFrames() == 0) {
      d.Pending.clear();
      d.PendingAt = 0;
    }
  };

  // The picture converted to RGB fitted into the sink's box, handed over.
  const auto present = [&](const AVFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) return;
    const AVRational sar = av_guess_sample_aspect_ratio(d.Input.get(), d.Input->streams[d.VideoIndex],
                                                        const_cast<AVFrame*>(&frame));
    const preview::TBox fit = preview::FitInside(frame.width, frame.height, sar.num, sar.den, Sink_.Box());
    d.Scaler.reset(sws_getCachedContext(d.Scaler.release(), frame.width, frame.height,
                                        static_cast<AVPixelFormat>(frame.format), fit.width, fit.height,
                                        AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!d.Scaler) return;
    // Rows aligned for the converter's vector code.
    const int stride = FFALIGN(fit.width * 4, 64);
    const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(fit.height);
    if (bytes > d.RgbBytes) {
      d.Rgb.reset(static_cast<std::uint8_t*>(av_malloc(bytes)));
      d.RgbBytes = d.Rgb ? bytes : 0;
      if (!d.Rgb) return;
    }
    std::uint8_t* planes[4] = {d.Rgb.get(), nullptr, nullptr, nullptr};
    const int strides[4] = {stride, 0, 0, 0};
    if (sws_scale(d.Scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) <= 0) return;
    Sink_.Show({d.Rgb.get(), fit.width, fit.height, stride, frame.pts});
  };

  // The clock; while the sound plays, its played samples, to which the
  // steady clock is set again, so that it runs on smoothly when the sound
  // has ended or runs dry.
  const auto clockUs = [&](Clock::time_point now) {
    const std::lock_guard lock(M_);
    if (!Playing_) return BaseUs_;
    if (d.Out && d.AudioStarted && d.Out->Queued() > 0) {
      BaseUs_ = d.AudioBaseUs + av_rescale(d.Out->Played(), 1'000'000, d.OutRate);
      Start_ = now;
      return BaseUs_;
    }
    return WallUs(now);
  };

  const auto seekTo = [&](std::int64_t target, bool show) {
    const std::int64_t at = target + d.StartUs;
    if (avformat_seek_file(d.Input.get(), -1, std::numeric_limits<std::int64_t>::min(), at, at, 0) < 0) {
      av_seek_frame(d.Input.get(), -1, at, AVSEEK_FLAG_BACKWARD);
    }
    if (d.Video) avcodec_flush_buffers(d.Video.get());
    if (d.Audio) avcodec_flush_buffers(d.Audio.get());
    d.Pictures.clear();
    d.InputDone = !d.Video && !d.Audio;
    d.VideoDone = d.AudioDone = false;
    d.ContentEndUs = d.Video || d.Audio ? target : std::max(DurationUs_, target);
    d.LastPictureUs = target;
    d.Resampler.reset();
    d.Pending.clear();
    d.PendingAt = 0;
    d.AudioStarted = false;
    d.DropSoundBeforeUs = target;
    if (d.Out) d.Out->Reset();

    if (d.Video) {
      // The first picture at the target (half a picture's time early
      // counts); the last one when the file ends before it.
      FramePtr last;
      while (!interrupted()) {
        while (!d.Pictures.empty() && d.Pictures.front()->pts < target - d.PictureUs / 2) {
          last = std::move(d.Pictures.front());
          d.Pictures.pop_front();
        }
        if (!d.Pictures.empty() || d.VideoDone || d.InputDone) break;
        readOne();
      }
      if (show) {
        if (!d.Pictures.empty()) {
          present(*d.Pictures.front());
          d.Pictures.pop_front();
        } else if (last) {
          present(*last);
        }
      }
    }
    const std::lock_guard lock(M_);
    if (!SeekPending_) {
      BaseUs_ = target;
      Start_ = Clock::now();
    }
  };

  const auto finish = [&](std::int64_t at) {
    {
      const std::lock_guard lock(M_);
      Ended_ = true;
      Playing_ = false;
      BaseUs_ = at;
    }
    if (OnEnd_) OnEnd_();
  };

  // One round of playing: decode ahead, feed the sound, show the picture
  // that is due, tell the end, sleep until the next picture or the sound's
  // next need.
  const auto step = [&] {
    const auto wantMore = [&] {
      if (d.InputDone) return false;
      if (d.Video && !d.VideoDone && d.Pictures.size() < kPicturesAhead) return true;
      if (d.Audio && !d.AudioDone && d.Pictures.size() < kPicturesAtMost) {
        const std::int64_t queued = static_cast<std::int64_t>(d.Out->Queued() + d.PendingFrames());
        return av_rescale(queued, 1'000'000, d.OutRate) < kSoundAheadUs;
      }
      return false;
    };
    while (wantMore()) {
      readOne();
      feedSound();
      if (interrupted()) return;
    }
    feedSound();

    const Clock::time_point now = Clock::now();
    const std::int64_t clock = clockUs(now);
    // Pictures whose time has passed: the latest is shown, the others are
    // dropped (the decoding fell behind).
    FramePtr due;
    while (!d.Pictures.empty() && d.Pictures.front()->pts <= clock) {
      due = std::move(d.Pictures.front());
      d.Pictures.pop_front();
    }
    if (due) present(*due);

    const bool soundOut = !d.Out || (d.PendingFrames() == 0 && d.Out->Queued() == 0);
    if (d.InputDone && d.Pictures.empty() && soundOut && clock >= d.ContentEndUs) {
      finish(clock);
      return;
    }
    std::int64_t nap = kNapUs;
    if (!d.Pictures.empty()) nap = std::min(nap, d.Pictures.front()->pts - clock);
    if (d.InputDone && d.Pictures.empty() && soundOut) nap = std::min(nap, d.ContentEndUs - clock);
    if (nap <= 0) return;
    std::unique_lock lock(M_);
    Wake_.wait_for(lock, std::chrono::microseconds(nap), [this] { return Quit_ || SeekPending_ || !Playing_; });
  };

  for (;;) {
    bool seek = false, show = false, playing = false;
    std::int64_t target = 0;
    {
      std::unique_lock lock(M_);
      Wake_.wait(lock, [&] {
        return Quit_ || SeekPending_ || (Playing_ && !Ended_) || (d.OutRunning && !Playing_);
      });
      if (Quit_) return;
      if (SeekPending_) {
        seek = true;
        target = SeekUs_;
        show = SeekShow_;
        SeekPending_ = false;
      }
      playing = Playing_ && !Ended_;
    }
    if (d.Out && d.OutRunning != playing) {
      if (playing) {
        d.Out->Resume();
      } else {
        d.Out->Pause();
      }
      d.OutRunning = playing;
    }
    if (seek) {
      seekTo(target, show);
    } else if (playing) {
      step();
    }
  }
}

}  // namespace tarquel::media
