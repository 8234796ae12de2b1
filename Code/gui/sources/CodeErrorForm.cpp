#include "CodeErrorForm.h"
#include "SystemText.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace tarquel::gui {

namespace {
// The file's name takes one more line under the message.
constexpr int kFileNameHeight = 20;
}  // namespace

TFrmCodeErrorForm::TFrmCodeErrorForm(QWidget* owner, const std::string& path, std::function<void()> openDownload)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      OpenDownload_(std::move(openDownload)) {
  setObjectName(QStringLiteral("FrmCodeErrorForm"));
  setWindowTitle(QStringLiteral("Error Info"));
  setFixedSize(413, 96 + kFileNameHeight);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  setFont(font);

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(12, 12, 32, 32);
  Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));

  // The link "(Click here to down)" follows the message on its second line.
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setTextFormat(Qt::RichText);
  Label1->setText(QStringLiteral(
      "Files reading error! Please check your files or install a new codec.You can click the link to download the "
      "lastest codec. <a href=\"codec\" style=\"color: blue; text-decoration: underline;\">(Click here to down)</a>"));
  Label1->setWordWrap(true);
  Label1->setGeometry(52, 10, 357, 44);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Label1->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(Label1, &QLabel::linkActivated, this, [this] {
    if (OpenDownload_) OpenDownload_();
  });

  // The whole path is in the tool tip; the line shows its ends.
  const QString name = FromSystemText(path);
  lblFileName = new QLabel(this);
  lblFileName->setObjectName(QStringLiteral("lblFileName"));
  lblFileName->setGeometry(52, 56, 357, 18);
  lblFileName->setText(lblFileName->fontMetrics().elidedText(name, Qt::ElideMiddle, lblFileName->width()));
  lblFileName->setToolTip(name);
  lblFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);

  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(169, 64 + kFileNameHeight, 75, 25);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void ShowCodeErrorForm(QWidget* owner, const std::string& path, const std::function<void()>& openDownload) {
  TFrmCodeErrorForm form(owner, path, openDownload);
  if (owner) form.move(owner->geometry().center() - QPoint(form.width() / 2, form.height() / 2));
  form.exec();
}

}  // namespace tarquel::gui
