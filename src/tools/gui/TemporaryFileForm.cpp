#include "tools/gui/TemporaryFileForm.h"

#include <QLabel>

#include "shell/gui/FormPlacement.h"
#include "tools/TemporaryFileUnit.h"

TTemporaryFileForm::TTemporaryFileForm(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("TemporaryFileForm"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(361, 177);
  auto* prompt = new QLabel(QStringLiteral("Enter the filename with extension you want to search for..."), this);
  prompt->setWordWrap(true);
  prompt->setGeometry(12, 6, 337, 34);
  auto* extension = new QLabel(QStringLiteral("File Extension"), this);
  extension->setGeometry(12, 50, 100, 18);
  edExtension = new QLineEdit(this);
  edExtension->setObjectName(QStringLiteral("edExtension"));
  edExtension->setGeometry(116, 48, 233, 22);
  auto* description = new QLabel(QStringLiteral("File Description"), this);
  description->setGeometry(12, 86, 100, 18);
  edDesc = new QLineEdit(this);
  edDesc->setObjectName(QStringLiteral("edDesc"));
  edDesc->setGeometry(116, 84, 233, 22);
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setGeometry(188, 136, 75, 25);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setGeometry(274, 136, 75, 25);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(edExtension, &QLineEdit::textChanged, this, [this] { edExtensionChange(); });
  edExtensionChange();
  CenterOnScreen(this);
}

void TTemporaryFileForm::edExtensionChange() {
  OKBtn->setEnabled(tools::FileTypeAcceptable(edExtension->text().toStdString()));
}
