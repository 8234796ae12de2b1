// Owners for the FFmpeg objects the program and its encoders use: each is
// freed by the library's own free function when its owner goes.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace tarquel::media {

struct InputContextDeleter {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
// An opened input (avformat_open_input).
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;

struct OutputContextDeleter {
  void operator()(AVFormatContext* c) const {
    // A file of the caller's own (AVFMT_FLAG_CUSTOM_IO) is the caller's to close.
    if (c && c->pb && !(c->oformat->flags & AVFMT_NOFILE) && !(c->flags & AVFMT_FLAG_CUSTOM_IO)) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};
// An output being written (avformat_alloc_output_context2), its file closed
// with it unless the file is the caller's own.
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;

struct IoContextDeleter {
  void operator()(AVIOContext* c) const {
    // The context may have replaced the buffer it was given: its own is freed.
    if (c) av_freep(&c->buffer);
    avio_context_free(&c);
  }
};
// Reading or writing through callbacks of the caller's (avio_alloc_context),
// its buffer freed with it.
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextDeleter>;

struct CodecContextDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

struct ScaleContextDeleter {
  void operator()(SwsContext* c) const { sws_freeContext(c); }
};
// A picture converter (sws_getCachedContext, which may replace it).
using ScaleContextPtr = std::unique_ptr<SwsContext, ScaleContextDeleter>;

struct ResampleContextDeleter {
  void operator()(SwrContext* c) const { swr_free(&c); }
};
using ResampleContextPtr = std::unique_ptr<SwrContext, ResampleContextDeleter>;

struct AudioFifoDeleter {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
// Samples waiting to be taken in blocks of another size (av_audio_fifo_alloc).
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

inline FramePtr MakeFrame() { return FramePtr(av_frame_alloc()); }
inline PacketPtr MakePacket() { return PacketPtr(av_packet_alloc()); }

// FFmpeg's text for an error code.
inline std::string AvErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// Options handed to libavformat or libavcodec, which replace them by those
// they did not use.
struct TAvOptions {
  AVDictionary* Items = nullptr;
  TAvOptions() = default;
  TAvOptions(const TAvOptions&) = delete;
  TAvOptions& operator=(const TAvOptions&) = delete;
  ~TAvOptions() { av_dict_free(&Items); }
};

}  // namespace tarquel::media
