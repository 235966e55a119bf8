#pragma once
// TErrorFixForm: the "Error Utilities" tool window. A list of known errors
// with tick pictures, their description, "Select All" and "Repair"; the list
// and the fixes are the engine's (recovery/UnitSystemError.h).

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <memory>
#include <vector>

#include "recovery/UnitSystemError.h"

class THintForm;

class TErrorFixForm : public QWidget, public recovery::ListDownloadView {
  Q_OBJECT
 public:
  // Reads "errorlist.txt" (downloading it first when it is missing or empty).
  explicit TErrorFixForm(QWidget* owner = nullptr);
  ~TErrorFixForm() override;

  // Where a row's state picture starts, from the left of the row.
  static constexpr int kStatePictureLeft = 0;

  QLabel* PanelCaption;
  QTreeWidget* listerror;
  QLabel* PanelDescription;
  QPlainTextEdit* MemoText;
  QCheckBox* cbSelectAll;
  QLabel* abSelectAll;
  QPushButton* BitBtn1;  // "Repair"
  QPushButton* BitBtn2;  // "Report", hidden

  void FormResize();
  // A left press at x (from the row's left) on row.
  void listerrorMouseDown(int row, int x);
  // fromLabel: the label was clicked, which flips the check box first.
  void cbSelectAllClick(bool fromLabel);
  void listerrorSelectItem();
  void BitBtn1Click();
  void BitBtn2Click();

  const std::vector<recovery::ErrorRow>& Rows() const { return rows_; }

  // ListDownloadView
  void ShowWait(const std::string& title, const std::string& message) override;
  void CloseWait() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowStates();

  recovery::TErrorContents contents_;
  std::vector<recovery::ErrorRow> rows_;
  std::unique_ptr<THintForm> waitForm_;
};

// The error utilities window, created hidden with parent as owner and parent.
TErrorFixForm* CreateErrorFixForm(QWidget* parent);
