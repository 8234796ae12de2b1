// The shared text routines: time texts (HH:MM:SS), size texts, loose number
// reading and field splitting, plus the small string helpers the rest of
// the core builds on. Used by the program and by the companion encoders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarquel {

// "HH:MM:SS", every field at least two digits, hours unbounded; any negative
// number of seconds gives "00:00:00".
std::string SecondsToTimeText(std::int64_t seconds);

// h*3600 + m*60 + s of a text with exactly three integer fields separated by
// ":"; 0 for any other text. Saturates at the 32-bit limits.
std::int32_t TimeTextToSeconds(std::string_view text);

// A byte count as "1.5 KB": steps of 1024, cut (not rounded) to two decimals,
// shortest form, the locale's decimal separator. Negative counts are 0.
std::string FormatFileSize(std::int64_t bytes);

// The number in a loosely written text: keeps digits, the first ".", the
// first "+" and the first "-"; a sign counts only in first place.
double NumberFromText(std::string_view text);

// Fields between separators. Every separator ends a field (so "a||b" has an
// empty middle field); the rest after the last separator is a field only
// when it is not empty. The empty text has no fields.
std::vector<std::string> SplitText(std::string_view text, char separator);

// --- helpers -----------------------------------------------------------------

// Removes spaces and control characters (everything up to ' ') at both ends.
std::string_view TrimBlanks(std::string_view text);

// A decimal integer with an optional sign, nothing else, within 32 bits.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt; throws InvalidIntegerError naming the text otherwise.
std::int32_t StrToInt(std::string_view text);

// Case-insensitive equality of two UTF-8 texts. Folds ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters; other bytes compare exactly.
bool SameTextIgnoreCase(std::string_view a, std::string_view b);

}  // namespace tarquel
