#include "Dialogs.h"

namespace tarquel {

bool ShowMsgBox(IMessageBox& box, std::string_view msg, int msgType) {
  TMsgIcon icon;
  switch (msgType) {
    case kMsgError: icon = TMsgIcon::Error; break;
    case kMsgWarning: icon = TMsgIcon::Warning; break;
    case kMsgQuestion: icon = TMsgIcon::Question; break;
    case kMsgInformation: icon = TMsgIcon::Information; break;
    default: return false;
  }
  box.ShowMessage(icon, kApplicationTitle, msg);
  return true;
}

}  // namespace tarquel
