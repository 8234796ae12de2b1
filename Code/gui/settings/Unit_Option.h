// TfrmOption: the Options dialog. A modeless view of the profile model: the
// eight option selectors and the custom-profile list show the model and
// redraw whenever it changes, whichever window changed it; the user's picks
// and the buttons go to the Options dialog's model.
#pragma once

#include <QDialog>
#include <array>

#include "Catalogues.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace tarquel {
class TProfileModel;
class TOptionsDialogModel;
}  // namespace tarquel

namespace tarquel::gui {

class TfrmOption : public QDialog {
  Q_OBJECT
 public:
  // A window of its own, placed at the centre of the desktop.
  TfrmOption(TProfileModel& profiles, TOptionsDialogModel& options, QWidget* parent = nullptr);
  ~TfrmOption() override;

  // The controls, by the names the program gives them.
  QLabel* lblCustomProfile;
  QComboBox* cbbCustomProfile;
  QPushButton *btnAdd, *btnSave, *btnDel;
  QGroupBox* grpAdvOptions;
  QComboBox *cbbVideoSize, *cbbVideoBitrate, *cbbFramerate, *cbbAspectratio;
  QComboBox *cbbAudioBitrate, *cbbAudioSample, *cbbAudioVolumeGain, *cbbAudioChannels;
  QPushButton *btnApply, *btnCancel;

  // The selector that shows `field` (one of the eight option fields).
  QComboBox* SelectorOf(TSettingField field) const;

  // OK and Cancel (Esc): the model's handling, then the dialog hides.
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  // The close box only hides the dialog.
  void closeEvent(QCloseEvent* event) override;

 private:
  // Every control shows the model's rows, selections and text.
  void ShowModel();

  TProfileModel& Profiles_;
  TOptionsDialogModel& Options_;
  int Subscription_ = 0;
  // Set while the typed text is being finished, when the combo box itself
  // would select a row of that name and call it the user's pick.
  bool FinishingTypedText_ = false;
};

}  // namespace tarquel::gui
