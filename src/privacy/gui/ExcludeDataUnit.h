#pragma once
// TExcludeDataForm: the small modal dialog in which the user picks one of
// three Internet Explorer items and types the text of an exclusion entry.
// OK is enabled while an item is chosen and the text holds more than blanks.

#include <QDialog>

#include "privacy/ResourceUnit.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TExcludeDataForm : public QDialog {
  Q_OBJECT
 public:
  // ieItems: the "Internet Explorer" item list; items 2, 3 and 4 are offered.
  explicit TExcludeDataForm(const TSectionList& ieItems, QWidget* owner = nullptr);

  QLabel* Label1;
  QComboBox* cbSection;
  QLineEdit* edTextName;
  QPushButton* mrOkBtn;
  QPushButton* BitBtn2;

  // The change handler of both fields.
  void cbSectionChange();
};
