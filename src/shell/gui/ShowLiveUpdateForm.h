#pragma once
// The "Live Update" wait window shown while the update check runs.

#include <QDialog>
#include <QLabel>

class TImageEx;

class TShowLiveUpdateForm : public QDialog {
  Q_OBJECT
 public:
  explicit TShowLiveUpdateForm(QWidget* owner = nullptr);

  TImageEx* Image1;
  QLabel* Label1;
};
