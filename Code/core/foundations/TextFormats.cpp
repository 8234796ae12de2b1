#include "TextFormats.h"

#include <charconv>
#include <clocale>
#include <limits>

#include "Errors.h"

namespace tarquel {

namespace {

void AppendTwoDigits(std::string& out, std::int64_t value) {
  if (value < 10) out += '0';
  out += std::to_string(value);
}

}  // namespace

std::string SecondsToTimeText(std::int64_t seconds) {
  // Whole hours, minutes and seconds, each padded to two digits; computed in
  // seconds so that no count can overflow. Negative counts are no time.
  if (seconds < 0) seconds = 0;
  std::string text;
  AppendTwoDigits(text, seconds / 3600);
  text += ':';
  AppendTwoDigits(text, seconds % 3600 / 60);
  text += ':';
  AppendTwoDigits(text, seconds % 60);
  return text;
}

std::int32_t TimeTextToSeconds(std::string_view text) {
  const auto fields = SplitText(text, ':');
  if (fields.size() != 3) return 0;
  const auto h = TryStrToInt(fields[0]);
  const auto m = TryStrToInt(fields[1]);
  const auto s = TryStrToInt(fields[2]);
  if (!h || !m || !s) return 0;
  const std::int64_t total = std::int64_t{*h} * 3600 + std::int64_t{*m} * 60 + *s;
  if (total > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (total < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(total);
}

std::string FormatFileSize(std::int64_t bytes) {
  constexpr std::int64_t kKilo = 1024, kMega = kKilo * 1024, kGiga = kMega * 1024;
  if (bytes < 0) bytes = 0;
  std::int64_t divisor = 1;
  const char* unit = "B";
  if (bytes >= kGiga) {
    divisor = kGiga;
    unit = "GB";
  } else if (bytes >= kMega) {
    divisor = kMega;
    unit = "MB";
  } else if (bytes >= kKilo) {
    divisor = kKilo;
    unit = "KB";
  }
  // The value cut to hundredths, in integers so that nothing is rounded up.
  const std::int64_t whole = bytes / divisor;
  const std::int64_t hundredths = (bytes % divisor) * 100 / divisor;
  std::string text = std::to_string(whole);
  if (hundredths != 0) {
    const std::lconv* conv = std::localeconv();
    text += (conv && conv->decimal_point && *conv->decimal_point) ? conv->decimal_point : ".";
    text += static_cast<char>('0' + hundredths / 10);
    if (hundredths % 10 != 0) text += static_cast<char>('0' + hundredths % 10);
  }
  text += ' ';
  text += unit;
  return text;
}

double NumberFromText(std::string_view text) {
  text = TrimBlanks(text);
  std::string kept;
  bool dot = false, plus = false, minus = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      kept += c;
    } else if (c == '.' && !dot) {
      dot = true;
      kept += c;
    } else if (c == '+' && !plus) {
      plus = true;
      kept += c;
    } else if (c == '-' && !minus) {
      minus = true;
      kept += c;
    }
  }
  if (kept.size() < 2) {
    return (kept.size() == 1 && kept[0] >= '0' && kept[0] <= '9') ? kept[0] - '0' : 0.0;
  }
  // The first character stays as it is; later signs are dropped.
  bool negative = false;
  std::string number;
  std::size_t start = 0;
  if (kept[0] == '+' || kept[0] == '-') {
    negative = kept[0] == '-';
    start = 1;
  }
  for (std::size_t i = start; i < kept.size(); ++i) {
    if (kept[i] != '+' && kept[i] != '-') number += kept[i];
  }
  double value = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec != std::errc{} || end != number.data() + number.size()) return 0.0;
  return negative ? -value : value;
}

std::vector<std::string> SplitText(std::string_view text, char separator) {
  std::vector<std::string> fields;
  std::size_t pos;
  while ((pos = text.find(separator)) != std::string_view::npos) {
    fields.emplace_back(text.substr(0, pos));
    text.remove_prefix(pos + 1);
  }
  if (!text.empty()) fields.emplace_back(text);
  return fields;
}

std::string_view TrimBlanks(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::int32_t StrToInt(std::string_view text) {
  if (const auto value = TryStrToInt(text)) return *value;
  throw InvalidIntegerError("'" + std::string(text) + "' is not a valid integer value");
}

namespace {

// Decodes one UTF-8 sequence at text[pos]; an invalid byte stands for itself
// (offset past the Unicode range so it never equals a real letter).
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 1) {
    ++pos;
    return lead;
  }
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return 0x110000 + lead;
  }
  char32_t cp = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return 0x110000 + lead;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  pos += length;
  return cp;
}

char32_t FoldLetter(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x178) return 0xFF;
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

}  // namespace

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldLetter(NextCodePoint(a, i)) != FoldLetter(NextCodePoint(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace tarquel
