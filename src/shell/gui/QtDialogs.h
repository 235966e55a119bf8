#pragma once
// The program's dialogs: Qt message boxes, file and folder choosers that show
// the machine's drives in Windows paths (MachineChooserDialog), and an input
// box.

#include <QMessageBox>
#include <QString>
#include <string>

#include "shell/Dialogs.h"

class QtDialogs : public Dialogs {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool OpenFileName(const FileDialogRequest& request, std::string& fileName) override;
  bool SaveFileName(const FileDialogRequest& request, std::string& fileName) override;
  bool BrowseForFolder(const std::string& title, std::string& folder) override;
  bool InputBox(const std::string& caption, const std::string& prompt, std::string& value) override;
};

// Builds the message box of a flag word (not shown); answers are given by
// MessageBoxAnswer of the clicked button.
void SetUpMessageBox(QMessageBox& box, const std::string& text, const std::string& caption, unsigned flags);
int MessageBoxAnswer(const QMessageBox& box);
