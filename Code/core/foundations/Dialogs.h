// The modal boxes the core asks the user through: the one-line message box,
// the name prompt and the folder picker. The windows provide them; tests
// hand in doubles that answer as scripted.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarquel {

// The caption of every message box and prompt.
inline constexpr std::string_view kApplicationTitle = "Tarquel";

enum class TMsgIcon { Error, Warning, Question, Information };

// The message kinds ShowMsgBox knows.
inline constexpr int kMsgError = 0;
inline constexpr int kMsgWarning = 1;
inline constexpr int kMsgQuestion = 2;
inline constexpr int kMsgInformation = 3;

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // A modal box with one OK button; returns when the user has closed it.
  virtual void ShowMessage(TMsgIcon icon, std::string_view caption, std::string_view text) = 0;
};

// Shows `msg` captioned with the application title, the icon chosen by
// `msgType` (0 error, 1 warning, 2 question, 3 information). Any other type
// shows nothing and returns false; otherwise true once the box was closed.
bool ShowMsgBox(IMessageBox& box, std::string_view msg, int msgType);

class INamePrompt {
 public:
  virtual ~INamePrompt() = default;
  // A small input box with OK and Cancel and an edit holding `suggested`:
  // the text on OK, nullopt on Cancel.
  virtual std::optional<std::string> InputQuery(std::string_view caption, std::string_view prompt,
                                                std::string_view suggested) = 0;
};

class IFolderPicker {
 public:
  virtual ~IFolderPicker() = default;
  // The folder-selection dialog with `title` as its prompt: the chosen
  // folder's full path, nullopt when cancelled.
  virtual std::optional<std::string> BrowseForFolder(std::string_view title) = 0;
};

}  // namespace tarquel
