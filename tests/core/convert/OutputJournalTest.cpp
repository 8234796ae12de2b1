#include "OutputJournal.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"

namespace tarquel {
namespace {

namespace fs = std::filesystem;

TEST(OutputJournal, TheNextStartRemovesOnlyWhatAnEndedProgramLeftUnfinished) {
  test::TempDir dir;
  const std::string journal = dir.File("outputs.journal");
  const TOutputJournal gone(journal, "100/1"), running(journal, "200/1");
  const auto output = [&](const char* name, bool write) {
    const std::string path = dir.File(name);
    if (write) test::WriteFile(path, "partial");
    return path;
  };
  const std::string finished = output("finished.mp4", true), partial = output("partial.mp4", true),
                    other = output("other.mp4", true), never = output("never.mp4", false);
  const std::string folder = dir.File("folder.mp4"), older = dir.File("older.mp4");
  fs::create_directory(folder);
  test::WriteFile(older, "the user's");
  fs::last_write_time(older, fs::file_time_type::clock::now() - std::chrono::hours(1));
  for (const std::string& path : {finished, partial, never, folder, older}) gone.Started(path);
  gone.Settled(finished);
  running.Started(other);  // still being written by a program that runs

  const auto removed =
      TOutputJournal::RemoveUnfinished(journal, [](const std::string& owner) { return owner == "200/1"; });
  EXPECT_EQ(removed, std::vector<std::string>{partial});
  for (const std::string& path : {finished, other, folder, older}) EXPECT_TRUE(fs::exists(path)) << path;
  // Only the running program's note is left.
  EXPECT_EQ(test::ReadFile(journal).find("100/1"), std::string::npos);
  EXPECT_EQ(TOutputJournal::RemoveUnfinished(journal, [](const std::string&) { return false; }).size(), 1u);
  EXPECT_FALSE(fs::exists(other));
}

}  // namespace
}  // namespace tarquel
