#pragma once
// The file and folder chooser: the drives of the machine and their folders
// in Windows paths, listed through the machine's file system (MachineChooser)
// and never through the host's.

#include <QDialog>
#include <string>

#include "shell/MachineChooser.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

class MachineChooserDialog : public QDialog {
 public:
  MachineChooserDialog(ChooserKind kind, const FileDialogRequest& request, QWidget* parent = nullptr);

  // The full Windows path once the dialog was accepted.
  const std::string& ChosenPath() const { return chosen_; }
  MachineChooser& Chooser() { return chooser_; }
  // A drive or a folder: activating it opens it.
  static bool IsFolderItem(const QTreeWidgetItem* item);

  QLineEdit* LookIn;
  QToolButton* UpButton;
  QToolButton* NewFolderButton;
  QTreeWidget* Entries;
  QLabel* FileNameLabel;
  QLineEdit* FileName;
  QLabel* FileTypesLabel;
  QComboBox* FileTypes;
  QPushButton* OkButton;
  QPushButton* CancelButton;

  // The handlers, as the buttons and the list call them.
  void OkButtonClick();
  void UpButtonClick();
  void NewFolderButtonClick();
  void EntryActivated(QTreeWidgetItem* item);
  void EntrySelected(QTreeWidgetItem* item);
  void FileTypesChange(int index);

 private:
  // Shows what the chooser lists now.
  void ShowFolder();
  void Tell(const std::string& message);

  MachineChooser chooser_;
  std::string chosen_;
};
