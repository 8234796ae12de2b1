#include "OptionsDialogModel.h"

namespace tarquel {

void TOptionsDialogModel::FormShow() {
  const TModelChanges::TChangeScope change(Profiles_.Changes);
  Profiles_.ReloadCustomProfiles();
  auto& custom = Profiles_.cbbCustomProfile;
  if (custom.Text.empty()) {
    const int profile = Profiles_.Settings.Profile();
    custom.SetItemIndex(profile >= kFirstCustomProfile ? profile - kFirstCustomProfile : NoSelection);
  }
  TOptionsSnapshot snapshot;
  for (std::size_t i = 0; i < OptionFields.size(); ++i) snapshot.Options[i] = Profiles_.Settings.Get(OptionFields[i]);
  snapshot.CustomProfileRow = custom.ItemIndex;
  OptionsSnapshot = snapshot;
  Visible = true;
}

void TOptionsDialogModel::cbbCustomProfileChange(int row) {
  const TModelChanges::TChangeScope change(Profiles_.Changes);
  Profiles_.cbbCustomProfile.SetItemIndex(row);
  Profiles_.ApplyCustomProfile();
}

void TOptionsDialogModel::cbbOptionChange(TSettingField field, int row) {
  const TModelChanges::TChangeScope change(Profiles_.Changes);
  Profiles_.SelectorOf(field).SetItemIndex(row);
}

void TOptionsDialogModel::ReloadAndSelectLast() {
  Profiles_.ReloadCustomProfiles();
  auto& custom = Profiles_.cbbCustomProfile;
  custom.SetItemIndex(static_cast<int>(custom.Items.size()) - 1);
}

void TOptionsDialogModel::btnAddClick() {
  const TModelChanges::TChangeScope change(Profiles_.Changes);
  Profiles_.AddCustomProfile();
  ReloadAndSelectLast();
}

void TOptionsDialogModel::btnSaveClick() {
  const TModelChanges::TChangeScope change(Profiles_.Changes);
  Profiles_.SaveCustomProfile();
  ReloadAndSelectLast();
}

void TOptionsDialogModel::btnDelClick() {
  const TModelChanges::TChangeScope change(Profiles_.Changes);
  Profiles_.DeleteCustomProfile();
  ReloadAndSelectLast();
  if (Profiles_.cbbCustomProfile.Items.empty()) Profiles_.cbbCustomProfile.Text.clear();
}

void TOptionsDialogModel::btnApplyClick() {
  const TModelChanges::TChangeScope change(Profiles_.Changes);
  Profiles_.cbbProfile.Clear();
  Profiles_.FillProfileList(Profiles_.cbbProfile);
  Visible = false;
}

void TOptionsDialogModel::btnCancelClick() {
  const TModelChanges::TChangeScope change(Profiles_.Changes);
  if (OptionsSnapshot) {
    for (std::size_t i = 0; i < OptionFields.size(); ++i) {
      Profiles_.Settings.Set(OptionFields[i], OptionsSnapshot->Options[i]);
    }
    Profiles_.cbbCustomProfile.SetItemIndex(OptionsSnapshot->CustomProfileRow);
  }
  Visible = false;
}

void TOptionsDialogModel::FormClose() { Visible = false; }

}  // namespace tarquel
