#include "shell/gui/OptionsFormFactory.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "shell/gui/FormPlacement.h"

std::unique_ptr<QDialog> NewOptionsForm(QWidget* owner) {
  auto form = std::make_unique<QDialog>(owner);
  form->setObjectName(QStringLiteral("FormOptions"));
  form->setWindowTitle(QStringLiteral("Options"));
  auto* layout = new QVBoxLayout(form.get());
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, form.get());
  QObject::connect(buttons, &QDialogButtonBox::accepted, form.get(), &QDialog::accept);
  layout->addWidget(buttons);
  form->resize(300, 80);
  CenterOnScreen(form.get());
  return form;
}
