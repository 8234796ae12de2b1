#include "EncoderMain.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ProgramArguments.h"
#include "AvsScript.h"
#include "Launcher.h"
#include "RegularFiles.h"
#include "Transcoder.h"

namespace tarquel::encoder {

namespace {

namespace fs = std::filesystem;

int Refuse(const char* program, std::string text) {
  std::fputs(ErrorLine(program, std::move(text)).c_str(), stderr);
  std::fflush(stderr);
  return 1;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(fs::absolute(a, ec), ec) == fs::weakly_canonical(fs::absolute(b, ec), ec);
}

}  // namespace

std::string ErrorLine(const char* program, std::string text) {
  for (char& c : text) {
    if (c == '=') c = ':';
    if (static_cast<unsigned char>(c) < ' ' || c == 0x7F) c = ' ';
  }
  return std::string(program) + ": " + text + "\n";
}

namespace {

// The conversion the arguments ask for.
int Run(EncoderKind kind, const char* program, const std::vector<std::string>& arguments) {
  std::string error;
  const auto options = ParseEncoderOptions(arguments, error);
  if (!options) return Refuse(program, error);
  if (options->durationSeconds && *options->durationSeconds <= 0) return Refuse(program, "the segment is empty");

  TranscodeJob job{*options, options->input, std::nullopt};
  if (kind == EncoderKind::Script) {
    // A FIFO or device named like a script would hold the encoder forever.
    if (const std::string problem = media::RegularFileProblem(options->input); !problem.empty()) {
      return Refuse(program, problem);
    }
    std::ifstream in(media::PathOf(options->input), std::ios::binary);
    if (!in) return Refuse(program, "cannot read the script " + options->input);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto source = ParseAvsScript(text);
    if (!source) return Refuse(program, options->input + " is not a DirectShowSource script of one line");
    job.mediaPath = source->path;
    job.sourceFps = source->fps;
  }
  const fs::path output = media::PathOf(options->output);
  if (SameFile(output, media::PathOf(options->input)) || SameFile(output, media::PathOf(job.mediaPath))) {
    return Refuse(program, "the output " + options->output + " would replace the input");
  }
  std::error_code ec;
  if (fs::exists(output, ec) && !options->overwrite) {
    return Refuse(program, options->output + " already exists; -y replaces it");
  }
  if (fs::is_directory(output, ec)) return Refuse(program, options->output + " is a folder");

  const std::string failure = Transcode(job, [](const Progress& progress) {
    std::fputs(StatusLine(progress).c_str(), stderr);
    std::fflush(stderr);
  });
  if (!failure.empty()) return Refuse(program, failure);
  std::fputs("\n", stderr);
  return 0;
}

}  // namespace

int RunEncoder(EncoderKind kind, int argc, char** argv) {
  const char* program = kind == EncoderKind::Media ? "evc.exe" : "revc.exe";
  // Started by Tarquel, the encoder ends with it rather than writing on
  // into a file nobody will finish.
  platform::EndWithLauncher();
  av_log_set_level(AV_LOG_QUIET);
  try {
    return Run(kind, program, platform::ProgramArguments(argc, argv));
  } catch (const std::exception& error) {
    // A name the system cannot take (not UTF-8, on Windows), or no memory.
    return Refuse(program, error.what());
  }
}

}  // namespace tarquel::encoder
