#include "privacy/gui/AdvancedShredForm.h"

#include <QAction>
#include <QButtonGroup>
#include <QCursor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shell/BusyGuard.h"

namespace {

QPushButton* NewButton(QWidget* parent, const char* caption, const char* name) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFixedSize(90, 25);
  return button;
}

QAction* NewItem(QMenu* menu, const char* caption, const char* name) {
  QAction* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

}  // namespace

TAdvancedShredForm::TAdvancedShredForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("AdvancedShredForm"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(6);

  Memo = new QPlainTextEdit(this);
  Memo->setReadOnly(true);
  Memo->setFrameShape(QFrame::NoFrame);
  Memo->setFixedHeight(40);
  Memo->setPlainText(QStringLiteral(
      "Use the Add and Remove buttons to select items for the Shred list. Once you are sure of your \n"
      "selection,choose a shred level and click the Shred button to permanently erase the files."));
  layout->addWidget(Memo);

  auto* header = new QLabel(QStringLiteral("  Shred list"), this);
  header->setStyleSheet(QStringLiteral("background: #dfe7f3; font-weight: bold;"));
  layout->addWidget(header);
  listAdd = new QListWidget(this);
  listAdd->setObjectName(QStringLiteral("listAdd"));
  listAdd->setSelectionMode(QAbstractItemView::ExtendedSelection);
  layout->addWidget(listAdd, 1);

  auto* buttons = new QHBoxLayout;
  btnAdd = NewButton(this, "Add..", "btnAdd");
  BitBtn2 = NewButton(this, "Remove..", "BitBtn2");
  BitBtn1 = NewButton(this, "Add Folder", "BitBtn1");
  buttons->addWidget(btnAdd);
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn1);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  RG = new QGroupBox(QStringLiteral("Shred Level"), this);
  RG->setObjectName(QStringLiteral("RG"));
  RGButtons = new QButtonGroup(RG);
  auto* levels = new QVBoxLayout(RG);
  const char* const captions[3] = {"Quick(1 overwrite pass)", "Safe(DOD 5220.22-M: 3 overwrite passes)",
                                   "Thorough(7 overwrite passes)"};
  for (int i = 0; i < 3; ++i) {
    auto* choice = new QRadioButton(QString::fromLatin1(captions[i]), RG);
    RGButtons->addButton(choice, i);
    levels->addWidget(choice);
  }
  RGButtons->button(0)->setChecked(true);
  layout->addWidget(RG);

  auto* bottom = new QHBoxLayout;
  auto* warning = new QLabel(QStringLiteral("Warning:Files cannot be recovered."), this);
  warning->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
  btnShred = NewButton(this, "Shred", "btnShred");
  bottom->addWidget(warning);
  bottom->addStretch(1);
  bottom->addWidget(btnShred);
  layout->addLayout(bottom);

  PopupMenu1 = new QMenu(this);
  AddFiles1 = NewItem(PopupMenu1, "Add Files...", "AddFiles1");
  AddAllRecycleFile1 = NewItem(PopupMenu1, "Add All Recycle Files...", "AddAllRecycleFile1");
  PopupMenu2 = new QMenu(this);
  RemoveSelectedFilesfromthelist1 =
      NewItem(PopupMenu2, "Remove Selected Files from the list", "RemoveSelectedFilesfromthelist1");
  RemoveAllFilesfromthelist1 = NewItem(PopupMenu2, "Remove All Files from the list", "RemoveAllFilesfromthelist1");

  // Its own buttons wait while a shred runs.
  connect(btnAdd, &QPushButton::clicked, this, [this] {
    if (!IsBusy()) PopupMenu1->popup(QCursor::pos());
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] {
    if (!IsBusy()) PopupMenu2->popup(QCursor::pos());
  });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { Shred.BitBtn1Click(); });
  connect(AddFiles1, &QAction::triggered, this, [this] { Shred.AddFiles1Click(); });
  connect(AddAllRecycleFile1, &QAction::triggered, this, [this] { Shred.AddAllRecycleFile1Click(); });
  connect(RemoveSelectedFilesfromthelist1, &QAction::triggered, this,
          [this] {
            std::vector<int> selected;
            for (const QModelIndex& index : listAdd->selectionModel()->selectedIndexes()) selected.push_back(index.row());
            Shred.RemoveSelectedFilesfromthelist1Click(selected);
          });
  connect(RemoveAllFilesfromthelist1, &QAction::triggered, this, [this] { Shred.RemoveAllFilesfromthelist1Click(); });
  connect(RGButtons, &QButtonGroup::idClicked, this, [this](int id) {
    if (IsBusy()) RGButtons->button(Shred.ShredLevel)->setChecked(true);
    else Shred.ShredLevel = id;
  });
  connect(btnShred, &QPushButton::clicked, this, [this] { Shred.btnShredClick(); });
  Shred.View = this;
}

TAdvancedShredForm::~TAdvancedShredForm() { Shred.View = nullptr; }

void TAdvancedShredForm::ShredListChanged() {
  listAdd->clear();
  for (const std::string& path : Shred.listAdd) listAdd->addItem(QString::fromStdString(path));
}
