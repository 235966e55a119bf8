#include "shell/gui/DM.h"

#include <QAction>
#include <QFontMetrics>
#include <QMenu>
#include <QTimer>
#include <memory>

#include "shell/PublicFunctionUnit.h"
#include "shell/gui/AboutUnit.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/MainUnit.h"
#include "shell/gui/ShowLiveUpdateForm.h"

TDM* DM = nullptr;

namespace {

// The "Live Update" window as the update check drives it.
class LiveUpdateWaitWindow : public LiveUpdateView {
 public:
  void Show() override {
    form_ = std::make_unique<TShowLiveUpdateForm>();
    ShowAndPaint(form_.get());
  }
  void Close() override { form_.reset(); }

 private:
  std::unique_ptr<TShowLiveUpdateForm> form_;
};

QTimer* NewTimer(QObject* owner, int interval) {
  auto* timer = new QTimer(owner);
  timer->setInterval(interval);
  return timer;
}

QAction* NewItem(QMenu* menu, const char* name, const char* caption) {
  QAction* item = menu->addAction(QString::fromLatin1(caption));
  item->setObjectName(QString::fromLatin1(name));
  return item;
}

QAction* NewSeparator(QMenu* menu, const char* name) {
  QAction* separator = menu->addSeparator();
  separator->setObjectName(QString::fromLatin1(name));
  return separator;
}

void DrawCaptionedFrame(const TImageList& list, int frame, const std::string& caption, TImageEx* image) {
  if (!image) return;
  image->CanvasFont().setFamily(QStringLiteral("Arial"));
  image->ClearPicture();
  list.DrawInto(image, frame);
  const QString text = QString::fromStdString(caption);
  image->DrawOnCanvas([&](QPainter& painter) {
    // Measured on the picture itself, so that the caption is centred there.
    const QFontMetrics metrics = painter.fontMetrics();
    const int x = (list.Width() - metrics.horizontalAdvance(text)) / 2;
    const int y = (list.Height() - metrics.height()) / 2;
    painter.setBrush(Qt::NoBrush);
    painter.drawText(QPoint(x, y + metrics.ascent()), text);
  });
}

}  // namespace

void TDM::Application::Terminate() { QuitWhenIdle(); }

TDM::TDM(QObject* owner) : QObject(owner) {
  setObjectName(QStringLiteral("DM"));
  DM = this;

  for (auto [list, name] : {std::pair{&PopupImageList, "PopupImageList"},
                            {&StatImageList, "StatImageList"},
                            {&ProblemsImageList, "ProblemsImageList"},
                            {&minmaxImageList, "minmaxImageList"},
                            {&TreeImageList, "TreeImageList"},
                            {&LelvelImageList, "LelvelImageList"},
                            {&BtnImageList, "BtnImageList"},
                            {&ImageList1, "ImageList1"},
                            {&SheetImageList, "SheetImageList"}})
    list->LoadStrip(name);

  MainPopupMenu = new QMenu();
  MainPopupMenu->setObjectName(QStringLiteral("MainPopupMenu"));
  OpenMenu = NewItem(MainPopupMenu, "OpenMenu", "Fernwick");
  Home1 = NewItem(MainPopupMenu, "Home1", "Fernwick Home Page");
  About1 = NewItem(MainPopupMenu, "About1", "About");
  N2 = NewSeparator(MainPopupMenu, "N2");
  OnlineUpdate1 = NewItem(MainPopupMenu, "OnlineUpdate1", "Update online");
  N1 = NewSeparator(MainPopupMenu, "N1");
  Exit1 = NewItem(MainPopupMenu, "Exit1", "Exit");
  MainPopupMenu->setDefaultAction(OpenMenu);
  OpenMenu->setIcon(PopupImageList.Icon(0));
  Home1->setIcon(PopupImageList.Icon(1));
  About1->setIcon(PopupImageList.Icon(2));
  OnlineUpdate1->setIcon(PopupImageList.Icon(3));
  Exit1->setIcon(PopupImageList.Icon(4));
  connect(OpenMenu, &QAction::triggered, this, &TDM::OpenMenuClick);
  connect(Home1, &QAction::triggered, this, &TDM::Home1Click);
  connect(About1, &QAction::triggered, this, &TDM::About1Click);
  connect(OnlineUpdate1, &QAction::triggered, this, &TDM::OnlineUpdate1Click);
  connect(Exit1, &QAction::triggered, this, &TDM::Exit1Click);

  pmProblemsList = new QMenu();
  pmProblemsList->setObjectName(QStringLiteral("pmProblemsList"));
  Excludeandaddkeytoignorelist1 =
      NewItem(pmProblemsList, "Excludeandaddkeytoignorelist1", "Exclude and add key to ignore list");
  N3 = NewSeparator(pmProblemsList, "N3");
  SelectAll1 = NewItem(pmProblemsList, "SelectAll1", "Select All");
  SelectNone1 = NewItem(pmProblemsList, "SelectNone1", "Select None");
  connect(Excludeandaddkeytoignorelist1, &QAction::triggered, this, &TDM::Excludeandaddkeytoignorelist1Click);
  connect(SelectAll1, &QAction::triggered, this, &TDM::SelectAll1Click);
  connect(SelectNone1, &QAction::triggered, this, &TDM::SelectNone1Click);

  ScanTimer = NewTimer(this, 20);
  ScanTimerEx = NewTimer(this, 1000);
  EvidenceTimer = NewTimer(this, 20);
  connect(ScanTimer, &QTimer::timeout, this, &TDM::ScanTimerTimer);
  connect(ScanTimerEx, &QTimer::timeout, this, &TDM::ScanTimerExTimer);
  connect(EvidenceTimer, &QTimer::timeout, this, &TDM::EvidenceTimerTimer);

  DataModuleCreate();
}

TDM::~TDM() {
  delete MainPopupMenu;
  delete pmProblemsList;
  if (DM == this) DM = nullptr;
}

void TDM::DataModuleCreate() {
  DetectPlatform();
  // The check runs through this module: the global is not the one to use
  // while the module is being made.
  if (Settings.CheckUpdate) CheckForUpdates(false);
}

void TDM::CheckForUpdates(bool ShowUI) {
  LiveUpdateWaitWindow waitWindow;
  ::CheckForUpdates(UpdateCheckContext{IdHTTP1, app_, &waitWindow}, ShowUI);
}

void TDM::OpenMenuClick() {
  if (FernwickForm) FernwickForm->ShowAndRestore();
}

void TDM::Home1Click() { OpenWebPage(0, Settings.HomePage); }

void TDM::About1Click() {
  TAboutForm about;
  about.exec();
}

void TDM::OnlineUpdate1Click() { CheckForUpdates(true); }

void TDM::Exit1Click() {
  if (FernwickForm) FernwickForm->ClearResultSelection();
  QuitWhenIdle();
}

void TDM::Excludeandaddkeytoignorelist1Click() {
  if (FernwickForm) FernwickForm->ScanPage->ExcludeSelectedProblem();
}

void TDM::SelectAll1Click() {
  if (FernwickForm) FernwickForm->ScanPage->SetSelectAll(true);
}

void TDM::SelectNone1Click() {
  if (FernwickForm) FernwickForm->ScanPage->SetSelectAll(false);
}

void TDM::ScanTimerTimer() {
  if (ScanView) StepScanAnimation(*ScanView);
}

void TDM::ScanTimerExTimer() {
  if (ScanView) ShowScanClock(*ScanView, TickCount());
}

void TDM::EvidenceTimerTimer() {
  if (EvidenceView) StepEvidenceAnimation(*EvidenceView);
}

void TDM::StartScanClock() {
  ScanStartTime = TickCount();
  ScanTimerEx->start();
}

void TDM::DrawImageButton(int Frame, const std::string& Caption, TImageEx* Image) const {
  DrawCaptionedFrame(BtnImageList, Frame, Caption, Image);
}

void TDM::DrawSheetTab(int Frame, const std::string& Caption, TImageEx* Image) const {
  DrawCaptionedFrame(SheetImageList, Frame, Caption, Image);
}
