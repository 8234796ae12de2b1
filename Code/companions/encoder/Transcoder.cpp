#include "Transcoder.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

#include "TranscodeCommon.h"
#include "TranscodeInput.h"
#include "TranscodeOutput.h"
#include "TranscodeThreads.h"

namespace tarquel::encoder {

namespace {

// Opens the input, gives each stream taken a decoder, filters and an
// encoder, makes the output, converts on the scheduler's threads and
// finishes the output; a step that fails throws.
void Convert(const TranscodeJob& job, OutputFile& output, const ProgressReport& report,
             std::chrono::steady_clock::time_point started) {
  const EncoderOptions& options = job.options;
  InputFile input(job.mediaPath, options);
  Scheduler::Streams streams;
  for (const InputStream& stream : input.Streams()) {
    streams.push_back(std::make_unique<StreamPipeline>(stream, input, options));
  }
  output.ChooseMuxer(input.HasVideo());
  for (auto& stream : streams) stream->Connect(input, output, job);
  // The handheld's type keeps its form for a source without sound: the
  // video gets a silent track of the asked kind.
  std::unique_ptr<SilentTrack> silence;
  if (std::string_view(output.Muxer()->name) == "psp" && !input.HasAudio()) {
    silence = std::make_unique<SilentTrack>(output, options);
  }
  output.Open();

  // A video output type keeps the video form of the status line even when
  // the source has no picture, so that the reader finds its time in place.
  const bool videoForm = input.HasVideo() || (!options.noVideo && !options.videoCodec.empty());
  Scheduler scheduler(input, streams, silence.get(), output, report, videoForm, started);
  scheduler.Run(input.SeekToCut());

  if (output.Written().bytes == 0) Fail("nothing to convert from the start time on");
  // An output that takes both pictures and sound from a source that has
  // both gets both, or it is no conversion.
  for (const auto& stream : streams) {
    if (stream->encoder->PacketsWritten() == 0) {
      Fail(std::string("the source's ") + (stream->input.video ? "video" : "audio") + " could not be converted");
    }
  }
  // The streams may differ in length: the longest one counts.
  double done = 0;
  for (const auto& stream : streams) done = std::max(done, stream->encoder->SecondsDone());
  input.CheckTheSourceLasted(done);
  output.Finish();
  report(scheduler.Now());
}

}  // namespace

std::string Transcode(const TranscodeJob& job, const ProgressReport& report) {
  const auto started = std::chrono::steady_clock::now();
  OutputFile output(job);
  try {
    Convert(job, output, report, started);
    return std::string();
  } catch (const Failure& failure) {
    // The conversion's threads have ended: the scheduler ends them when
    // it goes.
    output.Discard();
    return failure.text;
  } catch (const std::exception& error) {
    // A name the system cannot take (not UTF-8, on Windows), or no memory.
    output.Discard();
    return error.what();
  }
}

}  // namespace tarquel::encoder
