#include "CommandLine.h"

#include <gtest/gtest.h>

namespace tarquel::platform {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsArgumentsByWindowsQuotingRules) {
  const struct {
    const char* text;
    Args args;
  } cases[] = {
      {R"(-y -i "C:\My Videos\a b.avi" -b 768)", {"-y", "-i", R"(C:\My Videos\a b.avi)", "-b", "768"}},
      {R"("a\"b" c)", {"a\"b", "c"}},                  // \" is a literal quote
      {R"(a\\b c\d)", {R"(a\\b)", R"(c\d)"}},          // backslashes alone are literal
      {R"("trail\\" x)", {"trail\\", "x"}},            // two before a quote give one
      {R"(odd\\\"q)", {R"(odd\"q)"}},                  // three give one and a quote
      {R"("" x)", {"", "x"}},                          // an empty argument
      {R"("in ""quotes"" here")", {R"(in "quotes" here)"}},
      {"  \t spaced   out\t", {"spaced", "out"}},
      {R"(-vol " ")", {"-vol", " "}},
      {R"(ab"c d"ef)", {"abc def"}},
      {"", {}},
      {"\"unclosed tail", {"unclosed tail"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLineArguments(c.text), c.args) << c.text;
}

TEST(CommandLine, FindsAnUnquotedProgramPathWithBlanks) {
  const auto exists = [](const std::string& p) {
    return p == "/opt/my programs/evc.exe" || p == "/opt/my" || p == "/usr/bin/revc.exe";
  };
  const struct {
    const char* line;
    const char* program;
    Args args;
  } cases[] = {
      {"/opt/my programs/evc.exe -y -i \"a b\"", "/opt/my", {"programs/evc.exe", "-y", "-i", "a b"}},
      {"/usr/bin/revc.exe -i x", "/usr/bin/revc.exe", {"-i", "x"}},
      {"/usr/bin/revc.exe", "/usr/bin/revc.exe", {}},
      {"\"/opt/my programs/evc.exe\" -y", "/opt/my programs/evc.exe", {"-y"}},
      {"/nowhere/x.exe -y", "/nowhere/x.exe", {"-y"}},
      {"", "", {}},
  };
  for (const auto& c : cases) {
    const auto split = SplitProgramAndArguments(c.line, exists);
    EXPECT_EQ(split.program, c.program) << c.line;
    EXPECT_EQ(split.arguments, c.args) << c.line;
  }
  // The shortest prefix wins, as Windows does it; without "/opt/my" the
  // full path is found.
  const auto onlyFull = [](const std::string& p) { return p == "/opt/my programs/evc.exe"; };
  EXPECT_EQ(SplitProgramAndArguments("/opt/my programs/evc.exe -y", onlyFull).program, "/opt/my programs/evc.exe");
}

}  // namespace
}  // namespace tarquel::platform
