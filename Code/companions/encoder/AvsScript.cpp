#include "AvsScript.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "TextFormats.h"

namespace tarquel::encoder {

namespace {

bool ConsumeWord(std::string_view& text, std::string_view word) {
  text = TrimBlanks(text);
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    if (lower(text[i]) != lower(word[i])) return false;
  }
  text.remove_prefix(word.size());
  return true;
}

}  // namespace

std::optional<AvsSource> ParseAvsScript(const std::string& script) {
  std::string_view text = TrimBlanks(script);
  if (!ConsumeWord(text, "DirectShowSource") || !ConsumeWord(text, "(")) return std::nullopt;
  text = TrimBlanks(text);
  if (text.empty() || text.back() != ')') return std::nullopt;
  text.remove_suffix(1);
  if (!ConsumeWord(text, "\"")) return std::nullopt;
  // The path runs to the last quote, so a path may itself hold quotes.
  const auto close = text.rfind('"');
  if (close == std::string_view::npos) return std::nullopt;
  AvsSource source;
  source.path = std::string(text.substr(0, close));
  text.remove_prefix(close + 1);
  if (source.path.empty() || !ConsumeWord(text, ",") || !ConsumeWord(text, "fps") || !ConsumeWord(text, "=")) {
    return std::nullopt;
  }
  text = TrimBlanks(text);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), source.fps);
  if (ec != std::errc{} || !std::isfinite(source.fps) || source.fps <= 0 || source.fps > 1000) return std::nullopt;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  if (!ConsumeWord(text, ",") || !ConsumeWord(text, "convertfps") || !ConsumeWord(text, "=") ||
      !ConsumeWord(text, "true") || !TrimBlanks(text).empty()) {
    return std::nullopt;
  }
  return source;
}

}  // namespace tarquel::encoder
