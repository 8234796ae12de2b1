// The events of the Options dialog (TfrmOption): the custom-profile editing
// buttons, OK, Cancel and the close box. The dialog's selectors are those of
// TProfileModel; this adds what the dialog remembers while it is open.
#pragma once

#include <array>
#include <optional>

#include "Catalogues.h"
#include "ProfileModel.h"

namespace tarquel {

// The eight option fields the dialog shows, in the order it remembers them.
inline constexpr std::array<TSettingField, 8> OptionFields = {
    TSettingField::VideoSize,    TSettingField::VideoBitrate, TSettingField::Framerate,
    TSettingField::Aspectratio,  TSettingField::AudioBitrate, TSettingField::AudioSample,
    TSettingField::AudioVolumeGain, TSettingField::AudioChannels,
};

// What Cancel goes back to: the eight option selections (in OptionFields
// order) and the selected custom-profile row, taken when the dialog shows.
struct TOptionsSnapshot {
  std::array<int, OptionFields.size()> Options{};
  int CustomProfileRow = NoSelection;
};

class TOptionsDialogModel {
 public:
  explicit TOptionsDialogModel(TProfileModel& profiles) : Profiles_(profiles) {}

  // Each time the dialog becomes visible: reload the custom-profile rows,
  // select the main window's custom profile when the text is empty, and
  // take the snapshot.
  void FormShow();
  // The user picked a custom-profile row: its profile is applied.
  void cbbCustomProfileChange(int row);
  // The user picked a row of one of the eight option selectors: that field
  // is set and nothing else.
  void cbbOptionChange(TSettingField field, int row);
  // Add, Save, Delete: the operation, then reload the rows and select the
  // last; Delete clears the text when no rows remain.
  void btnAddClick();
  void btnSaveClick();
  void btnDelClick();
  // OK: rebuild the main window's profile list ("Normal Quality" selected,
  // not applied) and close.
  void btnApplyClick();
  // Cancel (also Esc): restore the snapshot without applying any profile
  // and close.
  void btnCancelClick();
  // The close box only hides the dialog.
  void FormClose();

  bool Visible = false;
  std::optional<TOptionsSnapshot> OptionsSnapshot;

 private:
  void ReloadAndSelectLast();

  TProfileModel& Profiles_;
};

}  // namespace tarquel
