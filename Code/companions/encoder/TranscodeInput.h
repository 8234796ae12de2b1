// The input of a conversion: the media file, the streams it converts, and
// the reading from the cut on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EncoderOptions.h"
#include "FfmpegHandles.h"

namespace tarquel::encoder {

// A stream of the input that the conversion takes.
struct InputStream {
  bool video = false;
  AVStream* stream = nullptr;   // the open file's; another once the file is opened afresh
  int64_t timestampOffset = 0;  // the file's start time in the stream's time base
};

class InputFile {
 public:
  // Opens the file (only a regular one) and takes its best video stream,
  // unless the options leave the video out, and its best audio stream.
  InputFile(std::string path, const EncoderOptions& options);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // The streams taken, video first; each stays where it is for the life of
  // the file.
  const std::vector<InputStream>& Streams() const { return Streams_; }
  bool HasVideo() const;
  bool HasAudio() const;
  // The file's length as it says, in AV_TIME_BASE units.
  int64_t Duration() const { return Context_->duration; }
  // The shape of a stream's pixels, as the stream or its file says.
  AVRational SampleAspectRatio(const InputStream& stream) const;

  // Reads from a key frame before the start time, so that a late cut does
  // not decode everything before it. Returns the packets read to check the
  // landing place, to be decoded first. Where the place is not surely before
  // the start on every stream it tries further back, and at last reads the
  // file from its beginning: the cut stays exact to the frame either way.
  std::vector<media::PacketPtr> SeekToCut();
  // The next packet of the streams taken; false where the input ends or
  // can no longer be read.
  bool Read(AVPacket* packet) { return av_read_frame(Context_.get(), packet) >= 0; }
  // Fails when the input ended more than a second short of the length
  // asked for: the -t length, or what the file says it holds from the start
  // on. A length the demuxer only guessed from the bitrate is no measure.
  // `done`: the seconds of output the conversion gave.
  void CheckTheSourceLasted(double done);

 private:
  void Open();
  void DiscardUnused();
  double ReadLanding(std::vector<media::PacketPtr>& held);
  void Reopen();
  bool DataReaches(double seconds);

  const std::string Path_;
  const EncoderOptions& O_;
  media::InputContextPtr Context_;
  std::vector<InputStream> Streams_;
};

}  // namespace tarquel::encoder
