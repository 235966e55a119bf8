#pragma once
// The borderless "please wait" window: a title strip and one message line.

#include <QLabel>
#include <QWidget>
#include <string>

class THintForm : public QWidget {
  Q_OBJECT
 public:
  explicit THintForm(QWidget* owner = nullptr);
  THintForm(const std::string& title, const std::string& message, QWidget* owner = nullptr);

  QLabel* PanelHint;
  QLabel* LabelMsg;

  // The title shows in the strip and as the window caption.
  void SetTitle(const std::string& title);
  void SetMessage(const std::string& message);
};
