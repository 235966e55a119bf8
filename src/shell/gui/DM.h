#pragma once
// TDM: the program's one data module, made before the main window and alive
// for the whole run. It holds the tray menu, the problem-list popup, the
// shared image lists, the three animation timers with the fields the scan
// loops set for them, the image-button drawing and the HTTP client.

#include <QObject>
#include <functional>
#include <string>

#include "platform/net/Http.h"
#include "platform/system/System.h"
#include "shell/DMUnit.h"
#include "shell/ShowLiveUpdateUnit.h"
#include "shell/gui/ImageListUnit.h"

class QAction;
class QMenu;
class QTimer;
class TImageEx;

class TDM : public QObject, public TDMFields {
  Q_OBJECT
 public:
  // Runs DataModuleCreate.
  explicit TDM(QObject* owner = nullptr);
  ~TDM() override;

  QMenu* MainPopupMenu;
  QAction* OpenMenu;
  QAction* About1;
  QAction* N2;
  QAction* OnlineUpdate1;
  QAction* N1;
  QAction* Exit1;
  TImageList PopupImageList{16, 16};
  QAction* Home1;
  TImageList StatImageList{16, 16};
  win::HttpClient IdHTTP1;
  QTimer* ScanTimer;
  TImageList ProblemsImageList{16, 70};
  QMenu* pmProblemsList;
  QAction* Excludeandaddkeytoignorelist1;
  QAction* N3;
  QAction* SelectAll1;
  QAction* SelectNone1;
  QTimer* ScanTimerEx;
  TImageList minmaxImageList{22, 13};
  TImageList TreeImageList{16, 16};
  QTimer* EvidenceTimer;
  TImageList LelvelImageList{36, 12};
  TImageList BtnImageList{110, 29};
  TImageList ImageList1{21, 21};
  TImageList SheetImageList{95, 24};

  // What the timers draw on: the main window's scan page and the privacy
  // cleaner's tree (null while there is none).
  ScanAnimationView* ScanView = nullptr;
  EvidenceAnimationView* EvidenceView = nullptr;
  // The clock of ScanStartTime and the elapsed time (tests replace it).
  std::function<win::DWORD()> TickCount = win::GetTickCount;

  // DetectPlatform, then the silent update check when Settings.CheckUpdate
  // is set.
  void DataModuleCreate();

  // The update check through this module's HTTP client; with ShowUI the
  // "Live Update" window shows while it runs.
  void CheckForUpdates(bool ShowUI);

  // Tray menu.
  void OpenMenuClick();
  void Home1Click();
  void About1Click();
  void OnlineUpdate1Click();
  void Exit1Click();
  // Problem-list popup.
  void Excludeandaddkeytoignorelist1Click();
  void SelectAll1Click();
  void SelectNone1Click();

  void ScanTimerTimer();
  void ScanTimerExTimer();
  void EvidenceTimerTimer();
  // Sets ScanStartTime to now and starts ScanTimerEx.
  void StartScanClock();

  // Draws frame Frame (0 normal, 1 hover) of BtnImageList / SheetImageList
  // into Image with Caption centred on it.
  void DrawImageButton(int Frame, const std::string& Caption, TImageEx* Image) const;
  void DrawSheetTab(int Frame, const std::string& Caption, TImageEx* Image) const;

 private:
  class Application : public AppControl {
   public:
    void Terminate() override;
  };
  Application app_;
};

// The data module while it exists.
extern TDM* DM;
