// A program folder with an empty Config folder, a home folder, doubles of the
// modal boxes (answering as scripted, recording what was asked) and the
// settings objects wired as the application wires them.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "OptionsDialogModel.h"
#include "TempDir.h"

namespace tarquel::test {

using Answers = std::deque<std::optional<std::string>>;  // nullopt: Cancel

inline std::optional<std::string> NextAnswer(Answers& answers) {
  if (answers.empty()) ADD_FAILURE() << "unexpected box";
  if (answers.empty()) return std::nullopt;
  auto answer = answers.front();
  answers.pop_front();
  return answer;
}

struct Dialogs : IMessageBox, INamePrompt, IFolderPicker {
  void ShowMessage(TMsgIcon icon, std::string_view caption, std::string_view text) override {
    Icons.push_back(icon);
    Asked.push_back(std::string(caption) + "|" + std::string(text));
  }
  std::optional<std::string> InputQuery(std::string_view caption, std::string_view prompt,
                                        std::string_view suggested) override {
    Asked.push_back(std::string(caption) + "|" + std::string(prompt) + "|" + std::string(suggested));
    return NextAnswer(Names);
  }
  std::optional<std::string> BrowseForFolder(std::string_view title) override {
    Asked.emplace_back(title);
    return NextAnswer(Folders);
  }
  Answers Names, Folders;
  std::vector<std::string> Asked;  // every box in order: caption|text, caption|prompt|suggested, title
  std::vector<TMsgIcon> Icons;
};

class SettingsFixture : public ::testing::Test {
 protected:
  SettingsFixture() {
    std::filesystem::create_directory(Config());
    std::filesystem::create_directory(Home());
  }
  std::string Config() const { return dir.File("Config"); }
  std::string Home() const { return dir.File("home"); }
  std::string ConfigFile(std::string_view name) const { return config.FileName(name); }
  void WriteConfig(std::string_view name, const std::string& text) const { WriteFile(ConfigFile(name), text); }
  std::string ReadConfig(std::string_view name) const { return ReadFile(ConfigFile(name)); }
  // What the main window does when it first shows.
  void StartUp() {
    profiles.FillAllSelectors();
    profiles.ApplyProfile();
  }

  TempDir dir;
  TConfigFiles config{dir.Folder()};
  Dialogs dialogs;
  TUserSettingsModel user{config, Home(), dialogs, dialogs};
  TProfileModel profiles{config, user, dialogs, dialogs};
  TOptionsDialogModel options{profiles};
};

}  // namespace tarquel::test
