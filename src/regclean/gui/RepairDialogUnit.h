#pragma once
// TRepairDialogForm: the small progress window of a repair. It shows the key
// being repaired under the "delete file" animation; Cancel, the close box and
// Escape all stop the repair before its next item.

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class TImageEx;

class TRepairDialogForm : public QDialog {
  Q_OBJECT
 public:
  explicit TRepairDialogForm(QWidget* owner = nullptr);

  QLabel* abRepair;
  TImageEx* Animate1;
  QPushButton* CancelBtn;

  // abRepair: the key being repaired, shortened in the middle to fit.
  void SetStatus(const std::string& text);
  const std::string& StatusText() const { return status_; }

  void CancelBtnClick();
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowStatus();
  std::string status_;
};
