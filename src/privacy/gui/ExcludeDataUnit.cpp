#include "privacy/gui/ExcludeDataUnit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

#include "shell/gui/FormPlacement.h"

TExcludeDataForm::TExcludeDataForm(const TSectionList& ieItems, QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("ExcludeDataForm"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(336, 161);
  setFont(QFont(QStringLiteral("MS Sans Serif")));
  Label1 = new QLabel(QStringLiteral("Item:"), this);
  Label1->setGeometry(16, 14, 60, 18);
  cbSection = new QComboBox(this);
  cbSection->setObjectName(QStringLiteral("cbSection"));
  cbSection->setEditable(false);
  cbSection->setGeometry(48, 34, 273, 22);
  auto* prompt = new QLabel(QStringLiteral("Enter Text:"), this);
  prompt->setGeometry(16, 64, 100, 18);
  edTextName = new QLineEdit(this);
  edTextName->setObjectName(QStringLiteral("edTextName"));
  edTextName->setGeometry(48, 84, 273, 22);
  edTextName->setMaxLength(std::numeric_limits<int>::max());  // long URLs stay whole
  mrOkBtn = new QPushButton(QStringLiteral("OK"), this);
  mrOkBtn->setObjectName(QStringLiteral("mrOkBtn"));
  mrOkBtn->setGeometry(158, 124, 75, 25);
  mrOkBtn->setDefault(true);
  BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setGeometry(246, 124, 75, 25);
  connect(mrOkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);  // Escape rejects too

  cbSection->clear();
  for (const auto& rec : ieItems)
    if (rec->Index >= 2 && rec->Index <= 4) cbSection->addItem(QString::fromStdString(rec->ItemName));
  cbSection->setCurrentIndex(-1);
  connect(cbSection, &QComboBox::currentIndexChanged, this, [this] { cbSectionChange(); });
  connect(edTextName, &QLineEdit::textChanged, this, [this] { cbSectionChange(); });
  cbSectionChange();
  CenterOnScreen(this);
}

void TExcludeDataForm::cbSectionChange() {
  mrOkBtn->setEnabled(cbSection->currentIndex() >= 0 && !edTextName->text().trimmed().isEmpty());
}
