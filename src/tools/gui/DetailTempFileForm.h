#pragma once
// TDetailTempFileForm: the junk-file cleaner's findings of one drive or of
// all drives, one owner-drawn entry of three lines per file.

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <vector>

#include "tools/SysDiskCleanerUnit.h"

class TDetailTempFileForm : public QDialog {
  Q_OBJECT
 public:
  explicit TDetailTempFileForm(QWidget* owner = nullptr);

  QLabel* abFileTotal;
  QListWidget* TempFilesListBox;
  QPushButton* CloseBtn;

  void ShowFiles(const std::vector<tools::TTempFileInfo>& files);
};
