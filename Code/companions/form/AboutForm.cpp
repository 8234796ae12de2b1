// Form.dll: the About box.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "Artwork.h"
#include "CompanionExports.h"

namespace {

QString Text(const char* text) { return QString::fromUtf8(text ? text : ""); }

}  // namespace

extern "C" TARQUEL_EXPORT void ShowAboutForm(void* application, const TarquelProductInfo* info) {
  if (application == nullptr || info == nullptr || QApplication::instance() != application) return;
  QDialog box(QApplication::activeWindow());
  box.setObjectName(QStringLiteral("AboutForm"));
  box.setWindowTitle(QStringLiteral("About ") + Text(info->ProductName));
  auto* logo = new QLabel(&box);  // owned by the dialog, as every widget below
  logo->setPixmap(QPixmap::fromImage(tarquel::artwork::DrawLogo(QSize(140, 120))));
  auto* title = new QLabel(QStringLiteral("<b style='font-size:18px'>%1 %2</b>")
                               .arg(Text(info->ProductName).toHtmlEscaped(), Text(info->Version).toHtmlEscaped()),
                           &box);
  auto* details = new QLabel(&box);
  details->setTextFormat(Qt::RichText);
  details->setOpenExternalLinks(true);
  details->setWordWrap(true);
  details->setText(QStringLiteral("%1<br><br>%2<br>%3<br><br><a href='%4'>%4</a><br><a href='mailto:%5'>%5</a>")
                       .arg(Text(info->Text2).toHtmlEscaped(), Text(info->CompanyName).toHtmlEscaped(),
                            Text(info->Text7).toHtmlEscaped(), Text(info->HomePage).toHtmlEscaped(),
                            Text(info->Email).toHtmlEscaped()));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  auto* text = new QVBoxLayout;
  text->addWidget(title);
  text->addWidget(details);
  text->addStretch();
  auto* row = new QHBoxLayout;
  row->addWidget(logo, 0, Qt::AlignTop);
  row->addLayout(text, 1);
  auto* all = new QVBoxLayout(&box);
  all->addLayout(row);
  all->addWidget(buttons);
  box.setMinimumWidth(460);
  box.exec();
}
