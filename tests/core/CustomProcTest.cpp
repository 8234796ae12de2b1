// The application-wide objects wired together: the settings after start-up
// and a row of the source list reach the encoder's command line.
#include "UtilityFuncs.h"
#include "UnitCustomProc.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "DriverDoubles.h"
#include "ServiceDoubles.h"
#include "SettingsFixture.h"
#include "SourceDoubles.h"

namespace tarquel {
namespace {
// Folders in the system's spelling, as the program writes them.
const std::string kSep(1, kPathSeparator);


class CustomProc : public test::SettingsFixture {};

TEST_F(CustomProc, StartUpSettingsAndARowGiveTheCommandLine) {
  // A write cut short by an earlier crash left its temporary file.
  const std::string stale = ConfigFile(std::string(kUserSettingsFile) + ".00000000deadbeef.tmp");
  WriteConfig(std::string(kUserSettingsFile) + ".00000000deadbeef.tmp", "half");
  std::filesystem::last_write_time(stale, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  test::NoProcesses processes;
  test::RecordingServices services;
  TCommonLib lib(dir.Folder(), processes, services, dialogs);
  test::FakePlayback player;
  test::EventLoop loop;
  test::RecordingDriverHost host(loop);
  TCustomProc proc(lib, Home(), dialogs, dialogs, host, player);
  EXPECT_FALSE(std::filesystem::exists(stale)) << "start-up clears what a crash left";
  proc.Profiles.FillAllSelectors();
  proc.Profiles.ApplyProfile();
  const std::string source = dir.Folder() + "holiday.avi";
  TSourceRow row = NewSourceRow(source, 1 << 20, 105);
  row.Start = 10;
  proc.SourceList.Append(row);
  EXPECT_EQ(proc.BuildEncoderCommand(proc.SourceList.Row(0)),
            dir.Folder() + "evc.exe -y -i \"" + source +
                "\" -vcodec mpeg4 -acodec aac -b 768 -s 320x240 -r 15 -aspect 4:3 -ab 128 -vol 200 -ac 2 -ar 44100 "
                "-ss 00:00:10 -t 95 \"" + Home() + kSep + "Tarquel" + kSep + "holiday.mp4\"");
  EXPECT_TRUE(std::filesystem::is_directory(Home() + kSep + "Tarquel"));
  EXPECT_EQ(proc.Job.CutLength, "95");
}

}  // namespace
}  // namespace tarquel
