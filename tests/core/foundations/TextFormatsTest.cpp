#include "TextFormats.h"

#include <gtest/gtest.h>

#include <limits>

#include "Errors.h"

namespace tarquel {
namespace {

TEST(TextFormats, SecondsToTimeText) {
  const struct {
    std::int64_t seconds;
    const char* text;
  } cases[] = {
      {0, "00:00:00"},      {59, "00:00:59"},         {61, "00:01:01"},
      {3661, "01:01:01"},   {86399, "23:59:59"},      {90000, "25:00:00"},
      {360000, "100:00:00"}, {-1, "00:00:00"},        {std::numeric_limits<std::int64_t>::min(), "00:00:00"},
      {3600, "01:00:00"},   {std::numeric_limits<std::int64_t>::max(), "2562047788015215:30:07"},
  };
  for (const auto& c : cases) EXPECT_EQ(SecondsToTimeText(c.seconds), c.text) << c.seconds;
}

TEST(TextFormats, TimeTextToSecondsReadsWhatSecondsToTimeTextWrites) {
  EXPECT_EQ(TimeTextToSeconds("01:01:01"), 3661);
  EXPECT_EQ(TimeTextToSeconds("00:00:00"), 0);
  for (std::int64_t s : {0, 1, 59, 60, 3599, 3600, 86399, 359999, 360000, 1234567}) {
    EXPECT_EQ(TimeTextToSeconds(SecondsToTimeText(s)), s);
  }
  // Anything but three integer fields is no time.
  for (const char* bad : {"", "01:02", "1:2:3:4", "aa:00:00", "01::02", "01:02:"}) {
    EXPECT_EQ(TimeTextToSeconds(bad), 0) << bad;
  }
  EXPECT_EQ(TimeTextToSeconds("999999999:00:00"), std::numeric_limits<std::int32_t>::max());
}

TEST(TextFormats, FormatFileSizeCutsToTwoDecimals) {
  const struct {
    std::int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1 KB"},
      {1536, "1.5 KB"},
      {1048575, "1023.99 KB"},
      {1048576, "1 MB"},
      {123456789, "117.73 MB"},
      {(1LL << 30) - 1, "1023.99 MB"},
      {1LL << 30, "1 GB"},
      {5000000000LL, "4.65 GB"},
      {-5, "0 B"},
      {1024 + 10, "1 KB"},  // 1.0097..: the cut leaves no fraction
      {1024 + 103, "1.1 KB"},
      {std::numeric_limits<std::int64_t>::max(), "8589934591.99 GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFileSize(c.bytes), c.text) << c.bytes;
}

TEST(TextFormats, NumberFromText) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {" 12.5 ", 12.5}, {"-3", -3}, {"time=4.75", 4.75}, {"1.2.3", 1.23}, {"1-2", 12},
      {"+-4", 4},       {"-+4", -4}, {"abc", 0},         {"", 0},         {"+", 0},
      {"-", 0},         {"7", 7},    {"\t 00:03 \r\n", 3}, {"   42.25kbits/s", 42.25},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(NumberFromText(c.text), c.value) << c.text;
}

TEST(TextFormats, SplitText) {
  using V = std::vector<std::string>;
  const struct {
    const char* text;
    char sep;
    V fields;
  } cases[] = {
      {"01:02:03", ':', {"01", "02", "03"}},
      {"a||b", '|', {"a", "", "b"}},
      {"a|b|", '|', {"a", "b"}},
      {"|a", '|', {"", "a"}},
      {"abc", '|', {"abc"}},
      {"", '|', {}},
      {"|", '|', {""}},
      {"||", '|', {"", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitText(c.text, c.sep), c.fields) << c.text;
}

TEST(TextFormats, StrToIntAcceptsOnlyWholeDecimalIntegers) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  for (const char* bad : {"", "none", "1x", " 1", "2147483648", "+-1", "0x10", "-"}) {
    EXPECT_THROW(StrToInt(bad), InvalidIntegerError) << bad;
  }
  try {
    StrToInt("none");
  } catch (const InvalidIntegerError& e) {
    EXPECT_STREQ(e.what(), "'none' is not a valid integer value");
  }
}

TEST(TextFormats, SameTextIgnoreCaseFoldsLettersBeyondAscii) {
  EXPECT_TRUE(SameTextIgnoreCase("[USRInfo]", "[usrinfo]"));
  EXPECT_TRUE(SameTextIgnoreCase("Ärger Élan", "ärger élan"));
  EXPECT_TRUE(SameTextIgnoreCase("ŁÓDŹ", "łódź"));
  EXPECT_TRUE(SameTextIgnoreCase("ПРОФИЛЬ Ω", "профиль ω"));
  EXPECT_FALSE(SameTextIgnoreCase("abc", "abd"));
  EXPECT_FALSE(SameTextIgnoreCase("abc", "ab"));
  EXPECT_FALSE(SameTextIgnoreCase("\xC3", "\xE3"));  // broken sequences compare as bytes
}

}  // namespace
}  // namespace tarquel
