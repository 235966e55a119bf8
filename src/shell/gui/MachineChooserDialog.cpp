#include "shell/gui/MachineChooserDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>

#include "platform/files/FileSystem.h"
#include "shell/PublicFunctionUnit.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kPathRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;

QString DriveTypeText(unsigned type) {
  switch (type) {
    case win::DRIVE_REMOVABLE: return QStringLiteral("Removable Disk");
    case win::DRIVE_REMOTE: return QStringLiteral("Network Drive");
    case win::DRIVE_CDROM: return QStringLiteral("CD Drive");
    case win::DRIVE_RAMDISK: return QStringLiteral("RAM Disk");
    default: return QStringLiteral("Local Disk");
  }
}

QStyle::StandardPixmap DriveIcon(unsigned type) {
  switch (type) {
    case win::DRIVE_REMOVABLE: return QStyle::SP_DriveFDIcon;
    case win::DRIVE_REMOTE: return QStyle::SP_DriveNetIcon;
    case win::DRIVE_CDROM: return QStyle::SP_DriveCDIcon;
    default: return QStyle::SP_DriveHDIcon;
  }
}

QString SizeText(std::uint64_t size) { return QStringLiteral("%1 KB").arg((size + 1023) / 1024); }

QString TypeText(const ChooserEntry& entry) {
  if (entry.driveType != 0) return DriveTypeText(entry.driveType);
  if (entry.folder) return QStringLiteral("File Folder");
  const std::string ext = win::ExtractFileExt(entry.name);
  return ext.size() > 1 ? Q(ext.substr(1)).toUpper() + QStringLiteral(" File") : QStringLiteral("File");
}

}  // namespace

MachineChooserDialog::MachineChooserDialog(ChooserKind kind, const FileDialogRequest& request,
                                           QWidget* parent)
    : QDialog(parent), chooser_(kind, request) {
  setObjectName(QStringLiteral("MachineChooserDialog"));
  const bool folders = kind == ChooserKind::Folder;
  QString title = Q(request.Title);
  if (title.isEmpty()) title = folders ? QStringLiteral("Browse for Folder")
                               : kind == ChooserKind::Save ? QStringLiteral("Save As")
                                                           : QStringLiteral("Open");
  setWindowTitle(title);
  resize(560, 380);

  auto* lookInLabel = new QLabel(QStringLiteral("Look in:"), this);
  LookIn = new QLineEdit(this);
  LookIn->setObjectName(QStringLiteral("LookIn"));
  LookIn->setReadOnly(true);
  UpButton = new QToolButton(this);
  UpButton->setObjectName(QStringLiteral("UpButton"));
  UpButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  UpButton->setToolTip(QStringLiteral("Up One Level"));
  NewFolderButton = new QToolButton(this);
  NewFolderButton->setObjectName(QStringLiteral("NewFolderButton"));
  NewFolderButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  NewFolderButton->setToolTip(QStringLiteral("Create New Folder"));

  Entries = new QTreeWidget(this);
  Entries->setObjectName(QStringLiteral("Entries"));
  Entries->setRootIsDecorated(false);
  Entries->setColumnCount(4);
  Entries->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                            QStringLiteral("Modified")});
  Entries->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  Entries->header()->setStretchLastSection(false);

  FileNameLabel = new QLabel(folders ? QStringLiteral("Folder:") : QStringLiteral("File name:"), this);
  FileName = new QLineEdit(this);
  FileName->setObjectName(QStringLiteral("FileName"));
  FileTypesLabel = new QLabel(QStringLiteral("Files of type:"), this);
  FileTypes = new QComboBox(this);
  FileTypes->setObjectName(QStringLiteral("FileTypes"));
  for (const ChooserFilter& filter : chooser_.Filters()) FileTypes->addItem(Q(filter.description));
  FileTypes->setCurrentIndex(chooser_.FilterIndex());
  FileTypesLabel->setVisible(!folders);
  FileTypes->setVisible(!folders);

  OkButton = new QPushButton(folders ? QStringLiteral("OK")
                             : kind == ChooserKind::Save ? QStringLiteral("Save")
                                                         : QStringLiteral("Open"),
                             this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));

  auto* top = new QHBoxLayout;
  top->addWidget(lookInLabel);
  top->addWidget(LookIn, 1);
  top->addWidget(UpButton);
  top->addWidget(NewFolderButton);
  auto* bottom = new QGridLayout;
  bottom->addWidget(FileNameLabel, 0, 0);
  bottom->addWidget(FileName, 0, 1);
  bottom->addWidget(OkButton, 0, 2);
  bottom->addWidget(FileTypesLabel, 1, 0);
  bottom->addWidget(FileTypes, 1, 1);
  bottom->addWidget(CancelButton, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(Entries, 1);
  layout->addLayout(bottom);

  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(UpButton, &QToolButton::clicked, this, [this] { UpButtonClick(); });
  connect(NewFolderButton, &QToolButton::clicked, this, [this] { NewFolderButtonClick(); });
  connect(Entries, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { EntryActivated(item); });
  connect(Entries, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { EntrySelected(item); });
  connect(FileTypes, qOverload<int>(&QComboBox::activated), this, [this](int index) { FileTypesChange(index); });

  if (!request.FileName.empty()) FileName->setText(Q(win::ExtractFileName(request.FileName)));
  ShowFolder();
  FileName->setFocus();
}

bool MachineChooserDialog::IsFolderItem(const QTreeWidgetItem* item) {
  return item && item->data(0, kFolderRole).toBool();
}

void MachineChooserDialog::ShowFolder() {
  const std::string& folder = chooser_.Folder();
  LookIn->setText(folder.empty() ? QStringLiteral("My Computer") : Q(folder));
  UpButton->setEnabled(chooser_.CanGoUp());
  NewFolderButton->setEnabled(chooser_.CanCreateFolder());
  Entries->clear();
  for (const ChooserEntry& entry : chooser_.Entries()) {
    auto* item = new QTreeWidgetItem(Entries);
    item->setText(0, Q(entry.name));
    item->setData(0, kPathRole, Q(entry.path));
    item->setData(0, kFolderRole, entry.folder);
    item->setIcon(0, style()->standardIcon(entry.driveType != 0 ? DriveIcon(entry.driveType)
                                           : entry.folder       ? QStyle::SP_DirIcon
                                                                : QStyle::SP_FileIcon));
    if (!entry.folder) {
      item->setText(1, SizeText(entry.size));
      item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    item->setText(2, TypeText(entry));
    if (entry.driveType == 0) {
      item->setText(3, Q(FormatShortDateTime(FileTimeToLocalDateTime(entry.lastWriteTime))));
    }
  }
  Entries->resizeColumnToContents(1);
  Entries->resizeColumnToContents(2);
  Entries->resizeColumnToContents(3);
}

void MachineChooserDialog::Tell(const std::string& message) {
  if (!message.empty()) CurrentDialogs().MessageBox(message, windowTitle().toStdString(), MB_OK | MB_ICONWARNING);
}

void MachineChooserDialog::OkButtonClick() {
  std::string chosen;
  std::string message;
  switch (chooser_.Accept(FileName->text().toStdString(), chosen, message)) {
    case MachineChooser::Outcome::Chosen:
      chosen_ = chosen;
      accept();
      return;
    case MachineChooser::Outcome::Opened:
      FileName->clear();
      ShowFolder();
      return;
    case MachineChooser::Outcome::Refused:
      Tell(message);
      return;
  }
}

void MachineChooserDialog::UpButtonClick() {
  chooser_.GoUp();
  FileName->clear();
  ShowFolder();
}

void MachineChooserDialog::NewFolderButtonClick() {
  std::string message;
  const std::string made = chooser_.CreateFolder(message);
  if (made.empty()) {
    Tell(message);
    return;
  }
  ShowFolder();
  for (int i = 0; i < Entries->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = Entries->topLevelItem(i);
    if (item->data(0, kPathRole).toString() == Q(made)) Entries->setCurrentItem(item);
  }
}

void MachineChooserDialog::EntryActivated(QTreeWidgetItem* item) {
  if (!item) return;
  if (!IsFolderItem(item)) {
    FileName->setText(item->text(0));
    OkButtonClick();
    return;
  }
  std::string message;
  if (!chooser_.GoTo(item->data(0, kPathRole).toString().toStdString(), message)) {
    Tell(message);
    return;
  }
  FileName->clear();
  ShowFolder();
}

void MachineChooserDialog::EntrySelected(QTreeWidgetItem* item) {
  if (!item) return;
  if (IsFolderItem(item) == (chooser_.Kind() == ChooserKind::Folder)) FileName->setText(item->text(0));
}

void MachineChooserDialog::FileTypesChange(int index) {
  chooser_.SetFilter(index);
  ShowFolder();
}
