// What the window tests share: boxes that are recorded instead of shown,
// a temporary program folder with the built companions, and the controls
// found by name.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QWidget>

#include "MainController.h"
#include "QtDialogs.h"
#include "ServiceDoubles.h"
#include "TempDir.h"

namespace tarquel::test {

inline const std::string kProgramDir = TARQUEL_PROGRAM_DIR "/";

// A control of `window` by its object name, as the Tab order and screen
// readers know it; a missing one fails the test.
template <typename W = QWidget>
W* Control(const QWidget& window, const char* name) {
  W* found = window.findChild<W*>(QString::fromLatin1(name));
  if (found == nullptr) throw std::logic_error(std::string("no control named ") + name);
  return found;
}

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
