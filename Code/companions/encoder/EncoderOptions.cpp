#include "EncoderOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>

#include "TextFormats.h"

namespace tarquel::encoder {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with at most one decimal point and at least one digit ("12",
// "12.5", ".5", "5."): no sign, exponent, hex, "inf" or "nan".
bool IsPlainDecimal(std::string_view text) {
  std::size_t digits = 0, points = 0;
  for (const char c : text) {
    if (IsDigit(c)) {
      ++digits;
    } else if (c == '.') {
      ++points;
    } else {
      return false;
    }
  }
  return digits > 0 && points <= 1;
}

std::optional<double> ParseDecimal(std::string_view text) {
  if (!IsPlainDecimal(text)) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A plain decimal with an optional leading "-".
std::optional<double> ParseSignedDecimal(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  const auto value = ParseDecimal(negative ? text.substr(1) : text);
  if (!value) return std::nullopt;
  return negative ? -*value : *value;
}

// Whole numbers: digits only, within an int.
std::optional<int> ParsePositive(std::string_view text, bool zeroAllowed = false) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || value < (zeroAllowed ? 0 : 1)) return std::nullopt;
  return value;
}

// "AxB" or "A:B" into two positive numbers.
bool ParsePair(std::string_view text, char separator, std::optional<int>& a, std::optional<int>& b) {
  const auto at = text.find(separator);
  if (at == std::string_view::npos) return false;
  a = ParsePositive(text.substr(0, at));
  b = ParsePositive(text.substr(at + 1));
  return a && b;
}

}  // namespace

std::optional<double> ParseStartTime(const std::string& text) {
  const auto parts = SplitText(text, ':');
  if (parts.empty() || parts.size() > 3 || (!text.empty() && text.back() == ':')) return std::nullopt;
  double seconds = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    // Hours and minutes are whole numbers; the seconds may have a fraction.
    const auto value = ParseDecimal(parts[i]);
    if (!value || (!last && *value != std::floor(*value))) return std::nullopt;
    seconds = seconds * 60 + *value;
  }
  if (!std::isfinite(seconds)) return std::nullopt;
  return seconds;
}

std::optional<EncoderOptions> ParseEncoderOptions(const std::vector<std::string>& args, std::string& error) {
  EncoderOptions o;
  if (args.empty()) {
    error = "no output file given";
    return std::nullopt;
  }
  // Each option with a value: how to take it, false when the value is bad.
  using Taker = std::function<bool(const std::string&)>;
  const std::map<std::string, Taker> valued = {
      {"-i", [&](const std::string& v) { o.input = v; return !v.empty(); }},
      {"-vcodec", [&](const std::string& v) { o.videoCodec = v; return v == "mpeg4" || v == "xvid"; }},
      {"-acodec", [&](const std::string& v) { o.audioCodec = v; return v == "aac" || v == "mp3"; }},
      {"-b", [&](const std::string& v) { return (o.videoKbits = ParsePositive(v)).has_value(); }},
      {"-s", [&](const std::string& v) { return ParsePair(v, 'x', o.width, o.height) && *o.width % 2 == 0 && *o.height % 2 == 0; }},
      {"-r", [&](const std::string& v) { return (o.frameRate = ParseDecimal(v)).has_value() && *o.frameRate > 0 && *o.frameRate <= 1000; }},
      {"-aspect", [&](const std::string& v) { return ParsePair(v, ':', o.aspectNum, o.aspectDen); }},
      {"-ab", [&](const std::string& v) { return (o.audioKbits = ParsePositive(v)).has_value(); }},
      {"-vol", [&](const std::string& v) { return (o.volumePercent = ParsePositive(v, true)).has_value(); }},
      {"-ac", [&](const std::string& v) { return (o.channels = ParsePositive(v)).has_value() && *o.channels <= 2; }},
      {"-ar", [&](const std::string& v) { return (o.sampleRate = ParsePositive(v)).has_value(); }},
      {"-f", [&](const std::string& v) { o.format = v; return !v.empty(); }},
      {"-ss", [&](const std::string& v) {
         const auto s = ParseStartTime(v);
         if (s) o.startSeconds = *s;
         return s.has_value();
       }},
      {"-t", [&](const std::string& v) {
         // Zero and negative lengths are read; they make an empty segment.
         return (o.durationSeconds = ParseSignedDecimal(v)).has_value();
       }},
  };

  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "-y") {
      o.overwrite = true;
    } else if (option == "-vn") {
      o.noVideo = true;
    } else if (option == "-target") {
      error = "-target is not supported";
      return std::nullopt;
    } else if (const auto taker = valued.find(option); taker != valued.end()) {
      if (i + 2 >= args.size()) {
        error = "option " + option + " needs a value";
        return std::nullopt;
      }
      const std::string& value = args[++i];
      if (!taker->second(value)) {
        error = "bad value '" + value + "' for option " + option;
        return std::nullopt;
      }
    } else {
      error = option.starts_with("-") ? "unknown option " + option : "unexpected argument '" + option + "'";
      return std::nullopt;
    }
  }
  o.output = args.back();
  const bool lastIsOption = valued.contains(o.output) || o.output == "-y" || o.output == "-vn" || o.output == "-target";
  if (o.output.empty() || lastIsOption) {
    error = "no output file given";
    return std::nullopt;
  }
  if (o.input.empty()) {
    error = "no input file given (-i)";
    return std::nullopt;
  }
  return o;
}

}  // namespace tarquel::encoder
