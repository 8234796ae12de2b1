// What the window tests share: boxes that are recorded instead of shown,
// and a temporary program folder with the built companions.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "MainController.h"
#include "QtDialogs.h"
#include "ServiceDoubles.h"
#include "TempDir.h"

namespace tarquel::test {

inline const std::string kProgramDir = TARQUEL_PROGRAM_DIR "/";

// Records every box instead of showing it; questions get `answer`.
struct RecordedDialogs : gui::TQtDialogs {
  void ShowMessage(TMsgIcon, std::string_view, std::string_view text) override { messages.emplace_back(text); }
  std::optional<std::string> InputQuery(std::string_view, std::string_view, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> BrowseForFolder(std::string_view) override { return std::nullopt; }
  bool Confirm(std::string_view question) override {
    questions.emplace_back(question);
    return answer;
  }
  int ShowAppMessage(std::string_view msg, int msgType) override {
    appMessages.emplace_back(std::string(msg) + " #" + std::to_string(msgType));
    return 1;
  }
  bool answer = false;
  std::vector<std::string> messages, appMessages, questions;
};

class ShellFixture : public ::testing::Test {
 protected:
  // A program folder with the companions that `names` lists.
  void MakeProgramFolder(std::initializer_list<const char*> names) {
    std::filesystem::create_directories(dir_.File("Config"));
    for (const char* name : names) std::filesystem::copy_file(kProgramDir + name, dir_.Folder() + name);
  }
  // No test reaches the real logind or notification service.
  app::TMainEnvironment Environment() {
    app::TMainEnvironment env{dir_.Folder(), dir_.File("home"), kProgramDir + "Tarquel", services_, processes_,
                              dialogs_, [this] { ++ends_; }, [] { return false; }};
    env.HoldSleep = [this](bool hold) { sleepHolds_.push_back(hold); };
    env.Notify = [this](const std::string& summary) { notifications_.push_back(summary); };
    return env;
  }
  std::unique_ptr<app::TMainController> Controller() { return Controller(Environment()); }
  std::unique_ptr<app::TMainController> Controller(app::TMainEnvironment env) {
    return std::make_unique<app::TMainController>(std::move(env));
  }
  TempDir dir_;
  RecordingServices services_;
  NoProcesses processes_;
  RecordedDialogs dialogs_;
  int ends_ = 0;
  std::vector<bool> sleepHolds_;
  std::vector<std::string> notifications_;
};

}  // namespace tarquel::test
