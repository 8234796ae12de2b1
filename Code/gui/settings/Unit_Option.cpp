#include "Unit_Option.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "OptionsDialogModel.h"
#include "ProfileModel.h"
#include "SystemText.h"

namespace tarquel::gui {

namespace {

constexpr QSize kClientSize(476, 260);


// Shows `items` with row `index` selected; the rows are only rebuilt when
// they differ, so a redraw does not disturb a list that stays the same.
void ShowRows(QComboBox* combo, const std::vector<std::string>& items, int index) {
  const QSignalBlocker quiet(combo);
  bool same = combo->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < combo->count(); ++i) same = combo->itemText(i) == FromSystemText(items[i]);
  if (!same) {
    combo->clear();
    for (const auto& item : items) combo->addItem(FromSystemText(item));
  }
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

QPushButton* Button(const QString& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFixedSize(64, 23);
  return button;
}

}  // namespace

TfrmOption::TfrmOption(TProfileModel& profiles, TOptionsDialogModel& options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      Profiles_(profiles),
      Options_(options) {
  setObjectName(QStringLiteral("frmOption"));
  setWindowTitle(QStringLiteral("Options"));
  setModal(false);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  setFont(font);

  auto* top = new QHBoxLayout;
  lblCustomProfile = new QLabel(QStringLiteral("Custom Profile:"), this);
  lblCustomProfile->setObjectName(QStringLiteral("lblCustomProfile"));
  cbbCustomProfile = new QComboBox(this);
  cbbCustomProfile->setObjectName(QStringLiteral("cbbCustomProfile"));
  // Our own edit, so that we hear of a finished text before the combo box
  // acts on it (see FinishingTypedText_).
  auto* edit = new QLineEdit(cbbCustomProfile);
  connect(edit, &QLineEdit::editingFinished, this, [this] { FinishingTypedText_ = true; });
  cbbCustomProfile->setEditable(true);
  cbbCustomProfile->setLineEdit(edit);
  connect(edit, &QLineEdit::editingFinished, this, [this] {
    FinishingTypedText_ = false;
    ShowModel();  // undo a row the combo box selected by the typed name
  });
  // What is typed is kept as it is: no completion to a stored name, no new row.
  cbbCustomProfile->setCompleter(nullptr);
  cbbCustomProfile->setInsertPolicy(QComboBox::NoInsert);
  cbbCustomProfile->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  lblCustomProfile->setBuddy(cbbCustomProfile);
  btnAdd = Button(QStringLiteral("Add"), "btnAdd", this);
  btnSave = Button(QStringLiteral("Save"), "btnSave", this);
  btnDel = Button(QStringLiteral("Delete"), "btnDel", this);
  top->addWidget(lblCustomProfile);
  top->addWidget(cbbCustomProfile, 1);
  top->addSpacing(4);
  top->addWidget(btnAdd);
  top->addWidget(btnSave);
  top->addWidget(btnDel);

  grpAdvOptions = new QGroupBox(QStringLiteral("Advanced Options"), this);
  grpAdvOptions->setObjectName(QStringLiteral("grpAdvOptions"));
  auto* grid = new QGridLayout(grpAdvOptions);
  grid->setContentsMargins(10, 8, 10, 8);
  grid->setHorizontalSpacing(6);
  // The left column's entries are short; the right one has the channel modes.
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(4, 3);
  grid->setColumnMinimumWidth(2, 8);
  const auto selector = [this, grid](const char* caption, const char* name, int row, int column) {
    auto* label = new QLabel(QString::fromLatin1(caption), grpAdvOptions);
    auto* combo = new QComboBox(grpAdvOptions);
    combo->setObjectName(QString::fromLatin1(name));
    // Sized by the layout, not by its longest entry.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(5);
    label->setBuddy(combo);
    grid->addWidget(label, row, column);
    grid->addWidget(combo, row, column + 1);
    return combo;
  };
  cbbVideoSize = selector("Video Size:", "cbbVideoSize", 0, 0);
  cbbVideoBitrate = selector("Video Bitrate(kbps):", "cbbVideoBitrate", 1, 0);
  cbbFramerate = selector("Frame Rate(fps):", "cbbFramerate", 2, 0);
  cbbAspectratio = selector("Aspect Ratio:", "cbbAspectratio", 3, 0);
  cbbAudioBitrate = selector("Audio Bitrate(kbps):", "cbbAudioBitrate", 0, 3);
  cbbAudioSample = selector("Audio Sample(khz):", "cbbAudioSample", 1, 3);
  cbbAudioVolumeGain = selector("Audio Volume(%):", "cbbAudioVolumeGain", 2, 3);
  cbbAudioChannels = selector("Audio Channels:", "cbbAudioChannels", 3, 3);

  auto* bottom = new QHBoxLayout;
  btnApply = Button(QStringLiteral("OK"), "btnApply", this);
  btnCancel = Button(QStringLiteral("Cancel"), "btnCancel", this);
  btnApply->setDefault(true);
  bottom->addStretch(1);
  bottom->addWidget(btnApply);
  bottom->addWidget(btnCancel);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(10, 10, 10, 10);
  page->setSpacing(8);
  page->addLayout(top);
  page->addWidget(grpAdvOptions, 1);
  page->addLayout(bottom);

  setFixedSize(kClientSize);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().center() - rect().center());

  // Only the user's picks count: rows selected from code never apply anything.
  connect(cbbCustomProfile, &QComboBox::activated, this, [this](int row) {
    if (FinishingTypedText_) return;  // a typed name is no pick
    Options_.cbbCustomProfileChange(row);
  });
  connect(edit, &QLineEdit::textEdited, this,
          [this](const QString& text) { Profiles_.cbbCustomProfile.Text = ToSystemText(text); });
  for (const TSettingField field : OptionFields) {
    connect(SelectorOf(field), &QComboBox::activated, this, [this, field](int row) { Options_.cbbOptionChange(field, row); });
  }
  connect(btnAdd, &QPushButton::clicked, this, [this] { Options_.btnAddClick(); });
  connect(btnSave, &QPushButton::clicked, this, [this] { Options_.btnSaveClick(); });
  connect(btnDel, &QPushButton::clicked, this, [this] { Options_.btnDelClick(); });
  connect(btnApply, &QPushButton::clicked, this, &TfrmOption::accept);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmOption::reject);

  Subscription_ = Profiles_.Changes.Subscribe([this] { ShowModel(); });
  ShowModel();
}

TfrmOption::~TfrmOption() { Profiles_.Changes.Unsubscribe(Subscription_); }

QComboBox* TfrmOption::SelectorOf(TSettingField field) const {
  QComboBox* const* combo = OptionSelectorOf(*this, field);
  return combo ? *combo : nullptr;
}

void TfrmOption::ShowModel() {
  for (const TSettingField field : OptionFields) {
    const TSettingSelector& model = Profiles_.SelectorOf(field);
    ShowRows(SelectorOf(field), model.Items(), model.ItemIndex());
  }
  const TComboBoxRows& custom = Profiles_.cbbCustomProfile;
  ShowRows(cbbCustomProfile, custom.Items, custom.ItemIndex);
  const QString text = FromSystemText(custom.Text);
  if (cbbCustomProfile->currentText() != text) {
    const QSignalBlocker quiet(cbbCustomProfile);
    cbbCustomProfile->setEditText(text);
  }
}

void TfrmOption::accept() {
  Options_.btnApplyClick();
  QDialog::accept();
}

void TfrmOption::reject() {
  Options_.btnCancelClick();
  QDialog::reject();
}

void TfrmOption::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Each time the dialog becomes visible, not when the desktop shows it again.
  if (!event->spontaneous()) Options_.FormShow();
}

void TfrmOption::closeEvent(QCloseEvent* event) {
  Options_.FormClose();
  event->accept();
}

}  // namespace tarquel::gui
