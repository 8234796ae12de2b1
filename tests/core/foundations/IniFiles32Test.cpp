#include "IniFiles32.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "DiskSync.h"
#include "Errors.h"
#include "TempDir.h"

namespace tarquel {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Lines = std::vector<std::string>;

class IniFile : public ::testing::Test {
 protected:
  std::string Path(const std::string& content) {
    const std::string path = dir_.File("Settings.ini");
    WriteFile(path, content);
    return path;
  }
  TempDir dir_;
};

TEST_F(IniFile, ReadsLinesEndedByCrLfOrCrOrLf) {
  const struct {
    const char* content;
    Lines lines;
  } cases[] = {
      {"a\r\nb\r\n", {"a", "b"}}, {"a\rb", {"a", "b"}},     {"a\nb\n", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}}, {"", {}},              {"\r\n", {""}},
      {"a\n\rb", {"a", "", "b"}},  {"x=1\r\r\n", {"x=1", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(TIniFile32(Path(c.content)).Lines(), c.lines) << c.content;
}

TEST_F(IniFile, MissingFileReadsDefaultsAndIsNotCreated) {
  const std::string path = dir_.File("Missing.ini");
  TIniFile32 ini(path);
  EXPECT_EQ(ini.ReadString("USRInfo", "OutDir", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("USRInfo", "SHUTDOWN", 7), 7);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IniFile, ReadStringMatchesSectionIgnoringCaseAndKeyExactly) {
  TIniFile32 ini(Path(
      "top=before any section\r\n"
      "[usrinfo]\r\n"
      "shwddir=lower\r\n"
      "  SHWDDir  =  a=b =c  \r\n"
      "SHWDDir=second entry is never seen\r\n"
      "Empty=\r\n"
      "no equals sign here\r\n"
      ";Comment=is an entry\r\n"
      "[ Spaced ]\r\n"
      "k=v\r\n"
      "[Other]\r\n"
      "SHWDDir=other section\r\n"));
  const struct {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"USRInfo", "SHWDDir", "a=b =c"},
      {"USRINFO", "shwddir", "lower"},
      {"USRInfo", "Empty", "dflt"},
      {"USRInfo", "Missing", "dflt"},
      {"USRInfo", " SHWDDir", "dflt"},  // the requested key is not trimmed
      {"USRInfo", ";Comment", "is an entry"},
      {"USRInfo", "no equals sign here", "dflt"},
      {"Spaced", "k", "dflt"},  // a header with blanks is not found by name
      {"Other", "SHWDDir", "other section"},
      {"", "top", "dflt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.ReadString(c.section, c.key, "dflt"), c.expected) << c.section << "/" << c.key;
  }
}

TEST_F(IniFile, ReadIntegerTakesDecimalAndHex) {
  TIniFile32 ini(Path(
      "[N]\r\nhex=0x1F\r\nHEX=0X1f\r\ndollar=$1F\r\nneg=-5\r\nletters=12ab\r\nbig=2147483648\r\n"
      "max=2147483647\r\nmin=-2147483648\r\nbare0x=0x\r\nbareDollar=$\r\nhexTooBig=$80000000\r\n"));
  const struct {
    const char* key;
    std::int32_t expected;
  } cases[] = {
      {"hex", 31},          {"HEX", 31},      {"dollar", 31},       {"neg", -5},
      {"letters", 99},      {"big", 99},      {"max", 2147483647},  {"min", -2147483647 - 1},
      {"bare0x", 99},       {"bareDollar", 99}, {"hexTooBig", 99},  {"missing", 99},
  };
  for (const auto& c : cases) EXPECT_EQ(ini.ReadInteger("N", c.key, 99), c.expected) << c.key;
}

TEST_F(IniFile, WritesThroughWithCrLfAfterEveryLine) {
  const struct {
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } cases[] = {
      // A new file: the new section follows an empty line even at the start.
      {nullptr, "USRInfo", "SHWDDir", "1", "\r\n[USRInfo]\r\nSHWDDir=1\r\n"},
      // Inserted after the empty line that closes A, directly before B.
      {"[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", "A", "z", "3", "[A]\r\nx=1\r\n\r\nz=3\r\n[B]\r\ny=2\r\n"},
      // Replaced whole: the blanks around "=" go.
      {"[A]\n  x = 1 \nx=2\n", "a", "x", "9", "[A]\r\nx=9\r\nx=2\r\n"},
      // At the end of the last section.
      {"[A]\r\nx=1", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
      // An empty key creates a missing section, nothing else...
      {"[A]\r\n", "B", "", "v", "[A]\r\n\r\n[B]\r\n"},
      // ...and rewrites an existing one unchanged.
      {"[A]\nx=1", "A", "", "v", "[A]\r\nx=1\r\n"},
      // A header with blanks is listed but not found: a plain one is appended.
      {"[ A ]\r\nx=1\r\n", "A", "x", "2", "[ A ]\r\nx=1\r\n\r\n[A]\r\nx=2\r\n"},
  };
  for (const auto& c : cases) {
    const std::string path = dir_.File("w.ini");
    std::filesystem::remove(path);
    if (c.before) WriteFile(path, c.before);
    TIniFile32(path).WriteString(c.section, c.key, c.value);
    EXPECT_EQ(ReadFile(path), c.after) << (c.before ? c.before : "(no file)");
  }
}

TEST_F(IniFile, EveryChangeIsOnDiskAndSeenByTheNextStore) {
  const std::string path = dir_.File("Count.ini");
  {
    TIniFile32 ini(path);
    ini.WriteInteger("Info", "Count", 1);
    ini.WriteInteger("Info", "Count", -12);
    EXPECT_EQ(TIniFile32(path).ReadInteger("Info", "Count", 0), -12);
  }
  EXPECT_EQ(ReadFile(path), "\r\n[Info]\r\nCount=-12\r\n");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
}

TEST_F(IniFile, EraseSection) {
  const struct {
    const char* before;
    const char* section;
    const char* after;  // nullptr: the file is not written at all
  } cases[] = {
      {"\r\n[A]\r\na=1\r\n\r\n[S]\r\ns=1\r\n\r\n[B]\r\n", "s", "\r\n[A]\r\na=1\r\n\r\n\r\n[B]\r\n"},
      {"[S]\r\ns=1\r\n[B]\r\nb=1\r\n", "S", "[B]\r\nb=1\r\n"},
      {"[A]\r\n[S]\r\ns=1", "S", "[A]\r\n\r\n"},
      {"[A]\na=1\n", "Missing", nullptr},
  };
  for (const auto& c : cases) {
    const std::string path = Path(c.before);
    TIniFile32(path).EraseSection(c.section);
    EXPECT_EQ(ReadFile(path), c.after ? c.after : c.before) << c.before;
  }
}

TEST_F(IniFile, ReadSectionsListsEveryHeaderInOrder) {
  TIniFile32 ini(Path("x=1\n[One]\n  [ Two  ]  \n[]\n[One]\n   \n[Three\n"));
  Lines names = {"stale"};
  ini.ReadSections(&names);
  EXPECT_EQ(names, (Lines{"One", "Two", "", "One"}));
  try {
    ini.ReadSections(nullptr);
    ADD_FAILURE() << "no error without a list";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Param Strings must be assigned");
  }
}

TEST_F(IniFile, WriteFailuresKeepTheOldFileAndTheChangeInMemory) {
  // A missing folder: nothing is created.
  {
    TIniFile32 ini(dir_.File("NoSuchFolder/UserSettings.ini"));
    EXPECT_THROW(ini.WriteString("USRInfo", "OutDir", "x"), FileCreateError);
    EXPECT_EQ(ini.Lines(), (Lines{"", "[USRInfo]", "OutDir=x"}));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("NoSuchFolder")));
  }
  // A read-only file is not replaced, not even by a privileged user.
  {
    const std::string path = Path("[USRInfo]\r\nOutDir=old\r\n");
    ::chmod(path.c_str(), 0444);
    TIniFile32 ini(path);
    try {
      ini.WriteString("USRInfo", "OutDir", "new");
      ADD_FAILURE() << "a read-only file was written";
    } catch (const FileCreateError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_EQ(ini.ReadString("USRInfo", "OutDir", ""), "new");
    EXPECT_EQ(ReadFile(path), "[USRInfo]\r\nOutDir=old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
  }
}

TEST_F(IniFile, KeepsThePermissionsOfTheFileItReplaces) {
  if (!test::kPosixFiles) GTEST_SKIP() << "files have no POSIX mode bits here";
  const std::string path = Path("[A]\r\n");
  ::chmod(path.c_str(), 0600);
  TIniFile32(path).WriteString("A", "k", "v");
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(IniFile, ALineBreakInASectionKeyOrValueIsRefusedAndPlantsNothing) {
  const std::string content = "[USRInfo]\r\nOutDir=/out\r\n";
  const std::string path = Path(content);
  TIniFile32 ini(path);
  const struct {
    const char *section, *key, *value;
  } cases[] = {
      {"USRInfo", "InitDir", "/clips\r\nSHUTDOWN=1"}, {"USRInfo", "InitDir", "/clips\nSHUTDOWN=1"},
      {"USRInfo", "InitDir", "/clips\rSHUTDOWN=1"},    {"USRInfo", "Init\nSHUTDOWN", "1"},
      {"USRInfo]\n[Other", "k", "v"},
  };
  for (const auto& c : cases) {
    try {
      ini.WriteString(c.section, c.key, c.value);
      ADD_FAILURE() << "stored " << c.value;
    } catch (const InvalidValueError& e) {
      EXPECT_NE(std::string(e.what()).find("line break"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ReadFile(path), content);
  EXPECT_EQ(ini.ReadString("USRInfo", "SHUTDOWN", "0"), "0");
  EXPECT_TRUE(TIniFile32::IsStorable("/a b/ünï\t="));
}

TEST_F(IniFile, StaleTemporaryFilesOfTheStoreAreRemovedAndNothingElse) {
  if (!test::kPosixFiles) GTEST_SKIP() << "symbolic links need a privilege here";
  namespace fs = std::filesystem;
  const std::string stale = dir_.File("UserSettings.ini.0123456789abcdef.tmp");
  const std::string fresh = dir_.File("UserSettings.ini.fedcba9876543210.tmp");
  const Lines others = {"UserSettings.ini", "notes.tmp", "UserSettings.ini.0123.tmp", "x.0123456789ABCDEF.tmp",
                        "x.0123456789abcdef.tmp.bak"};
  for (const auto& name : others) WriteFile(dir_.File(name), "keep");
  WriteFile(stale, "half");
  WriteFile(fresh, "in progress");
  fs::create_directory(dir_.File("folder.0123456789abcdef.tmp"));
  fs::create_symlink(dir_.File("notes.tmp"), dir_.File("link.0123456789abcdef.tmp"));
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  for (const auto& name : others) fs::last_write_time(dir_.File(name), old);
  fs::last_write_time(stale, old);

  EXPECT_EQ(TIniFile32::RemoveStaleTemporaryFiles(dir_.Folder()), 1);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh)) << "a write may still be going on";
  for (const auto& name : others) EXPECT_TRUE(fs::exists(dir_.File(name))) << name;
  EXPECT_TRUE(fs::is_directory(dir_.File("folder.0123456789abcdef.tmp")));
  EXPECT_TRUE(fs::is_symlink(dir_.File("link.0123456789abcdef.tmp")));
  EXPECT_EQ(TIniFile32::RemoveStaleTemporaryFiles(dir_.File("missing")), 0);

  // A finished write leaves no temporary file of its own.
  TIniFile32(dir_.File("UserSettings.ini")).WriteString("A", "k", "v");
  EXPECT_EQ(TIniFile32::RemoveStaleTemporaryFiles(dir_.Folder(), std::chrono::seconds(0)), 1);  // `fresh`
}

TEST_F(IniFile, WritesReachTheDiskThroughTheInstalledSync) {
  static Lines calls;
  static bool fileReachesTheDisk;
  const struct Uninstall {
    ~Uninstall() { InstallDiskSync({}); }
  } uninstall;
  InstallDiskSync({.File =
                       [](std::FILE*) {
                         calls.push_back("file");
                         return fileReachesTheDisk;
                       },
                   .Folder =
                       [](const std::string& folder) {
                         calls.push_back("folder " + folder);
                         return true;
                       }});
  const std::string path = Path("[A]\r\nk=old\r\n");

  // The file's contents first, then the folder it was renamed into.
  calls.clear();
  fileReachesTheDisk = true;
  TIniFile32(path).WriteString("A", "k", "new");
  EXPECT_EQ(calls, (Lines{"file", "folder " + dir_.Path().string()}));
  EXPECT_EQ(ReadFile(path), "[A]\r\nk=new\r\n");

  // Contents that cannot be put on the disk never replace the file.
  calls.clear();
  fileReachesTheDisk = false;
  EXPECT_THROW(TIniFile32(path).WriteString("A", "k", "newer"), FileCreateError);
  EXPECT_EQ(calls, Lines{"file"});
  EXPECT_EQ(ReadFile(path), "[A]\r\nk=new\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
}

TEST_F(IniFile, AnExistingFileThatCannotBeReadFailsToOpen) {
  std::filesystem::create_directory(dir_.File("Folder.ini"));
  EXPECT_THROW(TIniFile32 ini(dir_.File("Folder.ini")), FileOpenError);
}

}  // namespace
}  // namespace tarquel
