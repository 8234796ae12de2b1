// The message boxes, the name prompt and the folder picker as Qt shows them.
#pragma once

#include "Dialogs.h"

namespace tarquel::gui {

class TQtDialogs : public IMessageBox, public INamePrompt, public IFolderPicker {
 public:
  void ShowMessage(TMsgIcon icon, std::string_view caption, std::string_view text) override;
  std::optional<std::string> InputQuery(std::string_view caption, std::string_view prompt,
                                        std::string_view suggested) override;
  std::optional<std::string> BrowseForFolder(std::string_view title) override;
  // A Yes/No question captioned with the application title; true for Yes.
  virtual bool Confirm(std::string_view question);
  // A box with an information icon and the buttons of `msgType` (1 OK,
  // 2 Yes and No, 3 Yes, No and Cancel): the platform's code of the button
  // pressed (1 OK, 2 Cancel, 6 Yes, 7 No); other types show nothing, 0.
  virtual int ShowAppMessage(std::string_view msg, int msgType);
};

}  // namespace tarquel::gui
