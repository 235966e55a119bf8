#pragma once
// TFernwickForm: the one main window. A borderless window with a rounded
// outline; a top band that drags it and carries six image buttons; a left
// bar with three page buttons; and the pages "ScanSheet" (registry
// cleaner), "BackupSheet" (registry backup) and "ToolsSheet" (twelve tool
// launchers). Tool windows live inside the page panels from their first use
// until the next page switch.

#include <QLabel>
#include <QPointer>
#include <QRegion>
#include <QStackedWidget>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "shell/gui/ScanPageFactory.h"
#include "shell/gui/ToolWindowFactory.h"

class QSystemTrayIcon;
class TImageEx;

constexpr int kLauncherCount = 12;

// Tray callback parameters (the low word of the callback message).
constexpr unsigned WM_TRAYICON = 0x500;
constexpr unsigned TRAY_LBUTTONDBLCLK = 0x203;
constexpr unsigned TRAY_RBUTTONDOWN = 0x204;
constexpr unsigned TRAY_QUIT = 16;

// The outline of a rounded rectangle (0, 0) to (width, height), right and
// bottom edges excluded, with corner ellipses of ellipseWidth by
// ellipseHeight.
QRegion RoundRectRegion(int width, int height, int ellipseWidth, int ellipseHeight);

class TFernwickForm : public QWidget {
  Q_OBJECT
 public:
  explicit TFernwickForm(QWidget* owner = nullptr);
  ~TFernwickForm() override;

  QWidget* TopPanel;
  TImageEx* TopImage;
  TImageEx* UpdateBtn;
  TImageEx* OptionsBtn;
  TImageEx* HelpBtn;
  TImageEx* AboutBtn;
  TImageEx* MinimizeBtn;
  TImageEx* CloseBtn;

  QWidget* LeftPanel;
  TImageEx* ScanBtn;
  TImageEx* BackupBtn;
  TImageEx* AdvancedBtn;
  TImageEx* LeftImage;

  QStackedWidget* MainNotebook;
  QWidget* ScanSheet;
  QWidget* BackupSheet;
  QWidget* ToolsSheet;

  QWidget* ScanPanel;
  TImageEx* ScanStepImage;
  TImageEx* ScanStepImage1;
  QStackedWidget* ScanNotebook;
  QWidget* ScanSections;
  QWidget* Repair;
  QWidget* Finish;
  TImageEx* ScanNowBtn;
  TImageEx* AbortScanBtn;
  TImageEx* RepairBtn;
  TImageEx* FinishBtn;

  QWidget* BackupPanel;

  QWidget* AdvancePanel;
  TImageEx* ToolsTitleImage;
  // ImageEx1 ... ImageEx12 and their caption labels, in launcher order.
  std::array<TImageEx*, kLauncherCount> Launchers{};
  std::array<QLabel*, kLauncherCount> LauncherLabels{};
  QLabel* abSysRestoreNote;

  QSystemTrayIcon* TrayIcon;
  bool FirstActivation = true;
  // The registry cleaner's side of the Scan page.
  std::unique_ptr<TScanPage> ScanPage;

  // The tool window of that kind; null while it does not exist.
  QWidget* ToolForm(ToolWindow tool) const;

  void FormCreate();
  void FormResize();
  void FormShow();
  void FormActivate();

  // Starts moving the window with the mouse: only with the left button and a
  // vertical position inside the top band (position in sender's
  // coordinates). True when the window follows the mouse.
  bool TopPanelMouseDown(QWidget* sender, Qt::MouseButton button, QPoint position);

  void UpdateBtnClick();
  void OptionsBtnClick();
  void HelpBtnClick();
  void AboutBtnClick();
  void MinimizeBtnClick();
  void CloseBtnClick();

  // Page buttons; false when refused (a long operation runs).
  bool ScanBtnClick();
  bool BackupBtnClick();
  bool AdvancedBtnClick();

  // ImageEx1Click ... ImageEx12Click (launcher 1..12; the labels too).
  void ImageExClick(int launcher);
  void ImageExMouseEnter(int launcher);
  void ImageExMouseLeave(int launcher);

  void ScanNowBtnClick();
  void AbortScanBtnClick();
  void RepairBtnClick();
  void FinishBtnClick();
  // The frame's part of a Scan page step: the step pictures and which scan
  // button shows.
  void ShowScanStep(int step);

  // The tray icon's callback (lParam of message 0x500).
  void WMTrayIcon(unsigned lParam);
  // Shows the window and restores it from minimised or hidden.
  void ShowAndRestore();
  void ClearResultSelection();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildTopPanel();
  void BuildLeftPanel();
  void BuildScanSheet();
  void BuildToolsSheet();
  void InstallTrayIcon();
  void PlaceSysRestoreLabels();
  void SetLauncherLook(int launcher, bool hot);
  bool SwitchPage(int page);
  void FreeToolWindows();
  // Creates the tool window inside panel when missing and brings it to the front.
  QWidget* ShowToolWindow(ToolWindow tool, QWidget* panel);

  std::array<QPointer<QWidget>, kToolWindowCount> toolForms_;
  bool shown_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;
};

// The main window while it exists.
extern TFernwickForm* FernwickForm;
