// The output of a conversion: the kind of file, a stream's encoder for
// each stream it holds, and the muxer that writes their packets.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "FfmpegHandles.h"
#include "RegularFiles.h"
#include "StatusLine.h"
#include "TranscodeCommon.h"
#include "Transcoder.h"

namespace tarquel::encoder {

// One stream's encoder; its packets go to its stream of the output file.
class StreamEncoder {
 public:
  // Opens `codec` for frames of the form `form`; for video,
  // `sourcePixelRate` is the source's pixels a second (0: not known).
  StreamEncoder(bool video, const AVCodec* codec, const FrameForm& form, const EncoderOptions& options,
                const AVOutputFormat* muxer, double sourcePixelRate = 0);
  StreamEncoder(const StreamEncoder&) = delete;
  StreamEncoder& operator=(const StreamEncoder&) = delete;

  bool Video() const { return Video_; }
  const AVCodecContext* Context() const { return Encoder_.get(); }
  // How many samples each audio frame must have; 0: any number.
  int FixedFrameSize() const;
  // Where the packets written end, in seconds of output, and how many
  // there are: changed by the output's Encode, so read on the stream's own
  // encoding thread or once it has ended (other threads ask Written()).
  double SecondsDone() const { return SecondsDone_; }
  long long PacketsWritten() const { return PacketsWritten_; }

 private:
  friend class OutputFile;

  const bool Video_;
  media::CodecContextPtr Encoder_;
  AVStream* Output_ = nullptr;
  media::PacketPtr Encoded_ = media::MakePacket();
  double SecondsDone_ = 0;
  long long PacketsWritten_ = 0;
};

// The output file as the muxer writes it: a descriptor of our own, written
// and moved in through the files library, so that the same code serves
// every system. An error of the system's is kept: once one write or move
// failed, nothing more is written and Close() reports it.
class OutputIo {
 public:
  explicit OutputIo(media::FileDescriptor file);
  OutputIo(const OutputIo&) = delete;
  OutputIo& operator=(const OutputIo&) = delete;

  // The muxer's pb.
  AVIOContext* Context() const { return Context_.get(); }
  // Writes what is buffered and closes the file: 0, or the first error
  // (an AVERROR) a write, a move or the closing met.
  int Close();

 private:
  static int Write(void* opaque, const uint8_t* data, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);

  media::FileDescriptor File_;
  media::IoContextPtr Context_;
  int Error_ = 0;  // the first AVERROR of a write or a move
};

class OutputFile {
 public:
  explicit OutputFile(const TranscodeJob& job);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Chooses the kind of file: -f, else the one the output's name tells;
  // `hasVideo`: whether the streams taken include a picture.
  void ChooseMuxer(bool hasVideo);
  const AVOutputFormat* Muxer() const { return Muxer_; }
  // The encoder for a video or audio stream of this kind of file.
  const AVCodec* EncoderFor(bool video) const;
  // Opens an encoder for frames of the form `form` (for video,
  // from a source of `sourcePixelRate` pixels a second). The file holds a
  // stream for each, in the order they are added.
  StreamEncoder& AddStream(bool video, const AVCodec* codec, const FrameForm& form, double sourcePixelRate = 0);
  // Creates the file and writes its header.
  void Open();

  // Encodes a frame of a stream (nullptr: the stream's end) and writes the
  // packets the encoder gives. The streams' threads may call it at once,
  // each for its own stream.
  void Encode(StreamEncoder& stream, const AVFrame* frame);
  // What is written so far: the bytes, the video's frames and its last
  // quantiser, and the seconds done (the video's when there is video).
  Progress Written() const;
  // Writes the end of the file and closes it.
  void Finish();
  // Removes an output this conversion created but could not finish.
  void Discard();

 private:
  const TranscodeJob& Job_;
  const EncoderOptions& O_;
  const AVOutputFormat* Muxer_ = nullptr;
  // Declared before the muxer's context, which writes through it: it goes after.
  std::unique_ptr<OutputIo> Io_;
  media::OutputContextPtr Context_;
  bool Created_ = false;
  std::vector<std::unique_ptr<StreamEncoder>> Streams_;
  mutable std::mutex Mutex_;  // guards the file and what is written: the encoders' threads share them
  Progress Written_;
};

}  // namespace tarquel::encoder
