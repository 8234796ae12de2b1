// Helpers shared by the fuzz targets: the input taken apart into texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace tarquel::fuzz {

// The input as fields separated by zero bytes (never more than `most`; the
// last one keeps any further zero bytes).
inline std::vector<std::string> Fields(const std::uint8_t* data, std::size_t size, std::size_t most) {
  std::vector<std::string> fields;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (fields.size() + 1 < most) {
    const auto zero = rest.find('\0');
    if (zero == std::string_view::npos) break;
    fields.emplace_back(rest.substr(0, zero));
    rest.remove_prefix(zero + 1);
  }
  fields.emplace_back(rest);
  return fields;
}

// A property that must hold; a violation ends the run so libFuzzer keeps
// the input that caused it.
#define FUZZ_ASSERT(condition)                                                            \
  do {                                                                                    \
    if (!(condition)) {                                                                   \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (false)

}  // namespace tarquel::fuzz
