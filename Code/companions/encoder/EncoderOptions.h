// The command line the encoders accept: FFmpeg's old option syntax, every
// option in any order, the output path last.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarquel::encoder {

struct EncoderOptions {
  bool overwrite = false;         // -y
  std::string input;              // -i PATH
  std::string videoCodec;         // -vcodec: "mpeg4" or "xvid"; empty: not given
  std::string audioCodec;         // -acodec: "aac" or "mp3"; empty: not given
  bool noVideo = false;           // -vn
  std::optional<int> videoKbits;  // -b
  std::optional<int> width, height;  // -s WxH
  std::optional<double> frameRate;   // -r
  std::optional<int> aspectNum, aspectDen;  // -aspect A:B
  std::optional<int> audioKbits;   // -ab
  std::optional<int> volumePercent;  // -vol, 100 = unchanged
  std::optional<int> channels;     // -ac
  std::optional<int> sampleRate;   // -ar
  std::string format;              // -f
  double startSeconds = 0;         // -ss
  std::optional<double> durationSeconds;  // -t
  std::string output;              // the last argument
};

// Parses the arguments after the program name. On a bad command line
// returns nullopt and sets `error` to one line saying what is wrong.
std::optional<EncoderOptions> ParseEncoderOptions(const std::vector<std::string>& args, std::string& error);

// "HH:MM:SS" (hours unbounded, seconds may have a fraction) or a decimal
// number of seconds, every part plain digits with at most one point (no
// sign, exponent, hex, "inf" or "nan"); nullopt for anything else and for a
// time too large to hold.
std::optional<double> ParseStartTime(const std::string& text);

}  // namespace tarquel::encoder
