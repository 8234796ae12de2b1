#include "Arguments.h"

#include <gtest/gtest.h>

namespace tarquel::app {
namespace {

using Texts = std::vector<std::string>;
using A = TArguments::TAction;

TEST(Arguments, OptionsFilesAndTheToolkitsOwn) {
  const struct {
    Texts arguments;
    A action;
    Texts files, toolkit;
    std::string error;
  } cases[] = {
      {{}, A::Run, {}, {"tarquel", "-name", kApplicationId}, ""},
      {{"a.avi", "b c.mkv"}, A::Run, {"a.avi", "b c.mkv"}, {"tarquel", "-name", kApplicationId}, ""},
      {{"a.avi", "--help", "-x"}, A::Help, {"a.avi"}, {"tarquel"}, ""},
      {{"-h"}, A::Help, {}, {"tarquel"}, ""},
      {{"--version"}, A::Version, {}, {"tarquel"}, ""},
      {{"-x"}, A::Error, {}, {"tarquel"}, "unknown option '-x'"},
      {{"--verbose", "a.avi"}, A::Error, {}, {"tarquel"}, "unknown option '--verbose'"},
      {{"--", "-x.avi", "--help"}, A::Run, {"-x.avi", "--help"}, {"tarquel", "-name", kApplicationId}, ""},
      {{"-", "a.avi"}, A::Run, {"-", "a.avi"}, {"tarquel", "-name", kApplicationId}, ""},
      {{"-platform", "offscreen", "a.avi", "--reverse"}, A::Run, {"a.avi"},
       {"tarquel", "-name", kApplicationId, "-platform", "offscreen", "--reverse"}, ""},
      {{"-name", "mine"}, A::Run, {}, {"tarquel", "-name", "mine"}, ""},
      {{"-display"}, A::Error, {}, {"tarquel"}, "option '-display' needs a value"},
  };
  for (const auto& c : cases) {
    const TArguments parsed = ParseArguments(c.arguments);
    const std::string what = c.arguments.empty() ? "(none)" : c.arguments.front();
    EXPECT_EQ(parsed.Action, c.action) << what;
    EXPECT_EQ(parsed.Error, c.error) << what;
    if (c.action == A::Run) {
      EXPECT_EQ(parsed.Files, c.files) << what;
      EXPECT_EQ(parsed.ToolkitArguments, c.toolkit) << what;
    }
  }
  EXPECT_EQ(ErrorHint("unknown option '-x'"),
            "tarquel: unknown option '-x'\nTry 'tarquel --help' for more information.\n");
}

}  // namespace
}  // namespace tarquel::app
