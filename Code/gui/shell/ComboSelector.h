// A drop-down list as the core fills it. Selecting from code never counts
// as the user's pick: the windows act on QComboBox::activated only.
#pragma once

#include <QComboBox>

#include "Catalogues.h"
#include "SystemText.h"

namespace tarquel::gui {

class TComboSelector : public ISelector {
 public:
  explicit TComboSelector(QComboBox* combo) : Combo_(combo) {}
  void AddItem(std::string_view text) override {
    Combo_->addItem(FromSystemText(text));
  }
  void SetItemIndex(int index) override { Combo_->setCurrentIndex(index < Combo_->count() ? index : -1); }

 private:
  QComboBox* Combo_;
};

}  // namespace tarquel::gui
