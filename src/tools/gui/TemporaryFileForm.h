#pragma once
// TTemporaryFileForm: the junk-file cleaner's dialog for adding or changing
// one file type (its mask and its description). OK is enabled while the
// mask holds something other than blanks.

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

class TTemporaryFileForm : public QDialog {
  Q_OBJECT
 public:
  explicit TTemporaryFileForm(QWidget* owner = nullptr);

  QLineEdit* edExtension;
  QLineEdit* edDesc;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  void edExtensionChange();
};
