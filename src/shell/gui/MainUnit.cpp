#include "shell/gui/MainUnit.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QWindow>
#include <cmath>
#include <utility>

#include "shell/DMUnit.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/AboutUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/FormOptions.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/PublicFunctionPictures.h"
#include "shell/gui/SystemTray.h"

TFernwickForm* FernwickForm = nullptr;

namespace {

constexpr int kClientWidth = 731;
constexpr int kClientHeight = 526;
constexpr int kBandHeight = 86;
constexpr int kLeftWidth = 141;
constexpr int kPageButtonHeight = 60;
constexpr int kPageWidth = kClientWidth - kLeftWidth;
constexpr int kPageHeight = kClientHeight - kBandHeight;
constexpr int kHeadingHeight = 64;

struct LauncherSpec {
  const char* image;    // ImageExN
  const char* label;    // the caption label's name
  const char* caption;
  const char* picture;  // JPEG resource
  ToolWindow tool;
};

constexpr LauncherSpec kLaunchers[kLauncherCount] = {
    {"ImageEx1", "abAddRemoveBtn", "Uninstaller Manager", "AddRemove", ToolWindow::InstalledManageForm},
    {"ImageEx2", "abProtectPCBtn", "Block ActiveX", "ProtectPC", ToolWindow::FormMalignant},
    {"ImageEx3", "IEPluginsBtn", "BHO Manager", "IEPlugins", ToolWindow::FormIePlugins},
    {"ImageEx4", "ClearHistoryBtn", "Evidence Cleaner", "ClearHistory", ToolWindow::EvidenceCleanerForm},
    {"ImageEx5", "abErrorUtilities", "Error Utilities", "ErrorUtilities", ToolWindow::ErrorFixForm},
    {"ImageEx6", "BrowserRepairBtn", "Internet Explorer Restorer", "BrowserRepair",
     ToolWindow::BrowserRepairForm},
    {"ImageEx7", "abSystemCleanBtn", "Junk File Cleaner", "SystemClean", ToolWindow::SysDiskCleanerForm},
    {"ImageEx8", "abOptimizeBtn", "System Optimizer", "Optimize", ToolWindow::OptimizeForm},
    {"ImageEx9", "abRegisterActiveXBtn", "Register ActiveX", "RegisterActiveX", ToolWindow::FormRegDll},
    {"ImageEx10", "abStartupManageBtn", "Startup Manager", "StartupManage", ToolWindow::StartupManagerForm},
    {"ImageEx11", "abSysRestoreBtn", "System Restore Point", "SysRestore", ToolWindow::SysRestoreForm},
    {"ImageEx12", "abTweakRAMBtn", "Memory Optimize", "TweakRAM", ToolWindow::MemorySaviorForm},
};
constexpr int kSysRestoreLauncher = 10;  // ImageEx11
constexpr int kLauncherLabelWidth = 128;

// Step pictures of the Scan page: heading and icon.
struct StepPictures {
  const char* heading;
  const char* icon;
};
constexpr StepPictures kStepPictures[] = {
    {"ScanFirst", "ScanFirst1"},
    {"ScanInProcess", "ScanInProcess1"},  // the icon is the animated GIF
    {"ScanResults", "ScanResults1"},
    {"ScanFinish", "ScanFinish1"},
};

TImageEx* NewImage(QWidget* parent, const char* name, const QRect& geometry) {
  auto* image = new TImageEx(parent);
  image->setObjectName(QString::fromLatin1(name));
  image->setGeometry(geometry);
  return image;
}

QWidget* NewPanel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setGeometry(geometry);
  return panel;
}

// An image button whose picture changes while the mouse is over it.
void SetHoverPictures(TImageEx* image, const std::string& normal, const std::string& hover) {
  LoadJpegResource(image, normal, "JPG");
  image->OnMouseEnter = [image, hover](QObject*) { LoadJpegResource(image, hover, "JPG"); };
  image->OnMouseLeave = [image, normal](QObject*) { LoadJpegResource(image, normal, "JPG"); };
}

}  // namespace

QRegion RoundRectRegion(int width, int height, int ellipseWidth, int ellipseHeight) {
  QRegion region;
  if (width <= 0 || height <= 0) return region;
  const double rx = std::min(ellipseWidth, width) / 2.0;
  const double ry = std::min(ellipseHeight, height) / 2.0;
  // Row by row: how far the corner ellipse cuts into the row from each side.
  auto inset = [&](int y) {
    const double fromEdge = y < height / 2 ? y + 0.5 : height - y - 0.5;
    if (ry <= 0 || fromEdge >= ry) return 0;
    const double dy = (ry - fromEdge) / ry;
    return static_cast<int>(std::lround(rx - rx * std::sqrt(1 - dy * dy)));
  };
  int top = 0;
  int current = inset(0);
  for (int y = 1; y <= height; ++y) {
    const int next = y < height ? inset(y) : -1;
    if (next == current) continue;
    region += QRect(current, top, width - 2 * current, y - top);
    top = y;
    current = next;
  }
  return region;
}

TFernwickForm::TFernwickForm(QWidget* owner) : QWidget(owner, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("FernwickForm"));
  setWindowTitle(QStringLiteral("Fernwick"));
  setWindowIcon(ProgramIcon());
  SetWhiteBackground(this);
  resize(kClientWidth, kClientHeight);
  FernwickForm = this;

  BuildTopPanel();
  BuildLeftPanel();
  MainNotebook = new QStackedWidget(this);
  MainNotebook->setObjectName(QStringLiteral("MainNotebook"));
  MainNotebook->setGeometry(kLeftWidth, kBandHeight, kPageWidth, kPageHeight);
  ScanSheet = new QWidget();
  ScanSheet->setObjectName(QStringLiteral("ScanSheet"));
  BackupSheet = new QWidget();
  BackupSheet->setObjectName(QStringLiteral("BackupSheet"));
  ToolsSheet = new QWidget();
  ToolsSheet->setObjectName(QStringLiteral("ToolsSheet"));
  MainNotebook->addWidget(ScanSheet);
  MainNotebook->addWidget(BackupSheet);
  MainNotebook->addWidget(ToolsSheet);
  BuildScanSheet();
  BackupPanel = NewPanel(BackupSheet, "BackupPanel", QRect(0, 0, kPageWidth, kPageHeight));
  BuildToolsSheet();

  ScanPage = NewScanPage(*this);
  if (DM) DM->ScanView = ScanPage.get();
  FormCreate();
  CenterOnScreen(this);
}

TFernwickForm::~TFernwickForm() {
  if (DM && DM->ScanView == ScanPage.get()) DM->ScanView = nullptr;
  // Tool windows go before the scan page they may refer to.
  FreeToolWindows();
  delete TrayIcon;
  TrayIcon = nullptr;
  if (FernwickForm == this) FernwickForm = nullptr;
}

void TFernwickForm::BuildTopPanel() {
  TopPanel = NewPanel(this, "TopPanel", QRect(0, 0, kClientWidth, kBandHeight));
  TopImage = NewImage(TopPanel, "TopImage", TopPanel->rect());
  LoadJpegResource(TopImage, "TopBand", "JPG");
  TopImage->OnMouseDown = [this](QObject*, Qt::MouseButton button, QPoint position) {
    TopPanelMouseDown(TopImage, button, position);
  };
  TopImage->installEventFilter(this);

  struct TopButton {
    TImageEx*& image;
    const char* name;
    int x;
    void (TFernwickForm::*click)();
  };
  const TopButton buttons[] = {
      {UpdateBtn, "Update", 493, &TFernwickForm::UpdateBtnClick},
      {OptionsBtn, "Options", 551, &TFernwickForm::OptionsBtnClick},
      {HelpBtn, "Help", 609, &TFernwickForm::HelpBtnClick},
      {AboutBtn, "About", 667, &TFernwickForm::AboutBtnClick},
  };
  for (const TopButton& button : buttons) {
    const std::string picture = button.name;
    button.image = NewImage(TopPanel, (picture + "Btn").c_str(), QRect(button.x, 22, 56, 60));
    SetHoverPictures(button.image, picture, picture + "1");
    button.image->OnClick = [this, click = button.click](QObject*) { (this->*click)(); };
  }

  MinimizeBtn = NewImage(TopPanel, "MinimizeBtn", QRect(677, 5, 22, 13));
  CloseBtn = NewImage(TopPanel, "CloseBtn", QRect(701, 5, 22, 13));
  struct FrameButton {
    TImageEx* image;
    int normal;
    void (TFernwickForm::*click)();
  };
  for (const FrameButton& button : {FrameButton{MinimizeBtn, 0, &TFernwickForm::MinimizeBtnClick},
                                    FrameButton{CloseBtn, 2, &TFernwickForm::CloseBtnClick}}) {
    TImageEx* image = button.image;
    const int normal = button.normal;
    auto draw = [image](int frame) {
      if (DM) DM->minmaxImageList.DrawInto(image, frame);
    };
    draw(normal);
    image->OnMouseEnter = [draw, normal](QObject*) { draw(normal + 1); };
    image->OnMouseLeave = [draw, normal](QObject*) { draw(normal); };
    image->OnClick = [this, click = button.click](QObject*) { (this->*click)(); };
  }
}

void TFernwickForm::BuildLeftPanel() {
  LeftPanel = NewPanel(this, "LeftPanel", QRect(0, kBandHeight, kLeftWidth, kPageHeight));
  ScanBtn = NewImage(LeftPanel, "ScanBtn", QRect(0, 0, kLeftWidth, kPageButtonHeight));
  BackupBtn = NewImage(LeftPanel, "BackupBtn", QRect(0, kPageButtonHeight, kLeftWidth, kPageButtonHeight));
  AdvancedBtn = NewImage(LeftPanel, "AdvancedBtn", QRect(0, 2 * kPageButtonHeight, kLeftWidth, kPageButtonHeight));
  LeftImage = NewImage(LeftPanel, "LeftImage",
                       QRect(0, 3 * kPageButtonHeight, kLeftWidth, kPageHeight - 3 * kPageButtonHeight));
  LoadJpegResource(ScanBtn, "Scan", "JPG");
  LoadJpegResource(BackupBtn, "Backup", "JPG");
  LoadJpegResource(AdvancedBtn, "Advanced", "JPG");
  LoadJpegResource(LeftImage, "LeftBar", "JPG");
  ScanBtn->OnClick = [this](QObject*) { ScanBtnClick(); };
  BackupBtn->OnClick = [this](QObject*) { BackupBtnClick(); };
  AdvancedBtn->OnClick = [this](QObject*) { AdvancedBtnClick(); };
}

void TFernwickForm::BuildScanSheet() {
  ScanPanel = NewPanel(ScanSheet, "ScanPanel", QRect(0, 0, kPageWidth, kPageHeight));
  ScanStepImage = NewImage(ScanPanel, "ScanStepImage", QRect(0, 0, kPageWidth, kHeadingHeight));
  ScanStepImage1 = NewImage(ScanPanel, "ScanStepImage1", QRect(14, 8, 48, 48));
  ScanNotebook = new QStackedWidget(ScanPanel);
  ScanNotebook->setObjectName(QStringLiteral("ScanNotebook"));
  ScanNotebook->setGeometry(0, kHeadingHeight, kPageWidth, kPageHeight - kHeadingHeight - 50);
  for (auto [page, name] : {std::pair{&ScanSections, "ScanSections"}, {&Repair, "Repair"}, {&Finish, "Finish"}}) {
    *page = new QWidget();
    (*page)->setObjectName(QString::fromLatin1(name));
    ScanNotebook->addWidget(*page);
  }

  struct ScanButton {
    TImageEx*& image;
    const char* name;
    const char* caption;
    void (TFernwickForm::*click)();
  };
  const ScanButton buttons[] = {
      {ScanNowBtn, "ScanNowBtn", "Scan Now", &TFernwickForm::ScanNowBtnClick},
      {AbortScanBtn, "AbortScanBtn", "Abort", &TFernwickForm::AbortScanBtnClick},
      {RepairBtn, "RepairBtn", "Repair", &TFernwickForm::RepairBtnClick},
      {FinishBtn, "FinishBtn", "Finish", &TFernwickForm::FinishBtnClick},
  };
  for (const ScanButton& button : buttons) {
    TImageEx* image = NewImage(ScanPanel, button.name, QRect(kPageWidth - 130, kPageHeight - 43, 110, 29));
    QFont font = image->CanvasFont();
    font.setBold(true);
    image->CanvasFont() = font;
    const std::string caption = button.caption;
    image->OnMouseEnter = [image, caption](QObject*) {
      if (DM) DM->DrawImageButton(1, caption, image);
    };
    image->OnMouseLeave = [image, caption](QObject*) {
      if (DM) DM->DrawImageButton(0, caption, image);
    };
    image->OnClick = [this, click = button.click](QObject*) { (this->*click)(); };
    button.image = image;
  }
}

void TFernwickForm::BuildToolsSheet() {
  AdvancePanel = NewPanel(ToolsSheet, "AdvancePanel", QRect(0, 0, kPageWidth, kPageHeight));
  ToolsTitleImage = NewImage(AdvancePanel, "ToolsTitleImage", QRect(0, 0, kPageWidth, kHeadingHeight));
  LoadJpegResource(ToolsTitleImage, "ToolsTitle", "JPG");

  constexpr int kColumns = 3;
  constexpr int kColumnWidth = 190;
  constexpr int kRowHeight = 88;
  for (int i = 0; i < kLauncherCount; ++i) {
    const LauncherSpec& spec = kLaunchers[i];
    const int x = 24 + i % kColumns * kColumnWidth;
    const int y = kHeadingHeight + 18 + i / kColumns * kRowHeight;
    TImageEx* image = NewImage(AdvancePanel, spec.image, QRect(x, y, 48, 48));
    LoadJpegResource(image, spec.picture, "JPG");
    image->OnClick = [this, i](QObject*) { ImageExClick(i + 1); };
    image->OnMouseEnter = [this, i](QObject*) { ImageExMouseEnter(i + 1); };
    image->OnMouseLeave = [this, i](QObject*) { ImageExMouseLeave(i + 1); };
    Launchers[static_cast<std::size_t>(i)] = image;

    auto* label = new QLabel(QString::fromLatin1(spec.caption), AdvancePanel);
    label->setObjectName(QString::fromLatin1(spec.label));
    label->setGeometry(x + 56, y + 4, kLauncherLabelWidth, 40);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetHotLabelLook(label, false, true);
    label->installEventFilter(this);
    LauncherLabels[static_cast<std::size_t>(i)] = label;
  }
  abSysRestoreNote = new QLabel(QStringLiteral("(for Windows 2000 and XP)"), AdvancePanel);
  abSysRestoreNote->setObjectName(QStringLiteral("abSysRestoreNote"));
  abSysRestoreNote->setWordWrap(true);
  abSysRestoreNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont note = abSysRestoreNote->font();
  note.setPixelSize(11);
  abSysRestoreNote->setFont(note);
  PlaceSysRestoreLabels();
}

void TFernwickForm::PlaceSysRestoreLabels() {
  // The caption over its note, both centred beside the icon; the note wraps
  // into lines of even length. Placed again when the caption's font changes.
  QLabel* caption = LauncherLabels[kSysRestoreLauncher];
  const int width = kLauncherLabelWidth;
  auto wrapped = [](const QLabel* label, int lineWidth) {
    return label->fontMetrics()
        .boundingRect(QRect(0, 0, lineWidth, 1000), Qt::TextWordWrap, label->text())
        .size();
  };
  const int captionHeight = wrapped(caption, width).height();
  const int noteHeight = wrapped(abSysRestoreNote, width).height();
  int noteWidth = width;
  while (noteWidth > 1 && wrapped(abSysRestoreNote, noteWidth - 1).height() == noteHeight) --noteWidth;
  const QRect icon = Launchers[kSysRestoreLauncher]->geometry();
  const int top = icon.y() + (icon.height() - captionHeight - noteHeight) / 2;
  caption->setGeometry(caption->x(), top, width, captionHeight);
  abSysRestoreNote->setGeometry(caption->x(), top + captionHeight, noteWidth + 2, noteHeight);
}

void TFernwickForm::InstallTrayIcon() {
  TrayIcon = new QSystemTrayIcon(ProgramIcon(), this);
  TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
  TrayIcon->setToolTip(windowTitle().left(63));
  if (DM) TrayIcon->setContextMenu(DM->MainPopupMenu);
  connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    // The context menu shows by itself on a right click.
    if (reason == QSystemTrayIcon::DoubleClick) WMTrayIcon(TRAY_LBUTTONDBLCLK);
  });
  // Shown whether or not a tray runs yet: Qt puts the icon into the tray
  // as soon as there is one, also when the tray starts later.
  TrayIcon->show();
}

void TFernwickForm::FormCreate() {
  FirstActivation = true;
  setMask(RoundRectRegion(width() + 2, height() + 2, 2, 2));
  InstallTrayIcon();
  BuildNonFixedDriveList(DriveList);
  ScanPage->SetScanStep(0);
}

void TFernwickForm::FormResize() {
  setMask(RoundRectRegion(width(), height(), 24, 24));
  ScanPage->FormResize();
}

void TFernwickForm::FormShow() { ScanBtnClick(); }

void TFernwickForm::FormActivate() {
  if (std::exchange(FirstActivation, false)) ScanPage->RunAutomaticScan();
}

QWidget* TFernwickForm::ToolForm(ToolWindow tool) const {
  return toolForms_[static_cast<std::size_t>(tool)].data();
}

bool TFernwickForm::TopPanelMouseDown(QWidget* sender, Qt::MouseButton button, QPoint position) {
  if (button != Qt::LeftButton || !sender) return false;
  const int y = sender->mapTo(this, position).y() - TopPanel->y();
  if (y < 0 || y > TopPanel->height()) return false;
  if (windowHandle() && windowHandle()->startSystemMove()) return true;
  // Without a window manager that moves windows: follow the mouse ourselves.
  dragging_ = true;
  dragOffset_ = sender->mapToGlobal(position) - pos();
  return true;
}

void TFernwickForm::UpdateBtnClick() {
  if (DM) DM->CheckForUpdates(true);
}

void TFernwickForm::OptionsBtnClick() { ShowOptionsDialog(this); }

void TFernwickForm::HelpBtnClick() { OpenWebPage(0, Settings.HelpURL); }

void TFernwickForm::AboutBtnClick() {
  TAboutForm about;
  about.exec();
}

void TFernwickForm::MinimizeBtnClick() { showMinimized(); }

void TFernwickForm::CloseBtnClick() { close(); }

bool TFernwickForm::ScanBtnClick() { return SwitchPage(0); }
bool TFernwickForm::BackupBtnClick() { return SwitchPage(1); }
bool TFernwickForm::AdvancedBtnClick() { return SwitchPage(2); }

bool TFernwickForm::SwitchPage(int page) {
  if (!PageSwitchAllowed()) return false;
  FreeToolWindows();
  LoadJpegResource(ScanBtn, page == 0 ? "Scan1" : "Scan", "JPG");
  LoadJpegResource(BackupBtn, page == 1 ? "Backup1" : "Backup", "JPG");
  LoadJpegResource(AdvancedBtn, page == 2 ? "Advanced1" : "Advanced", "JPG");
  switch (page) {
    case 0:
      ScanPage->SetScanStep(0);
      if (DM) {
        DM->DrawImageButton(0, "Scan Now", ScanNowBtn);
        DM->DrawImageButton(0, "Abort", AbortScanBtn);
        DM->DrawImageButton(0, "Repair", RepairBtn);
        DM->DrawImageButton(0, "Finish", FinishBtn);
      }
      ScanNotebook->setCurrentIndex(0);
      break;
    case 1:
      ShowToolWindow(ToolWindow::RegBackupForm, BackupPanel);
      break;
    default:
      break;
  }
  MainNotebook->setCurrentIndex(page);
  return true;
}

void TFernwickForm::FreeToolWindows() {
  for (ToolWindow tool : ToolWindowsInFreeOrder()) {
    QPointer<QWidget>& form = toolForms_[static_cast<std::size_t>(tool)];
    if (!form) continue;
    if (tool == ToolWindow::EvidenceCleanerForm) form->close();
    delete form.data();
    form = nullptr;
  }
}

QWidget* TFernwickForm::ShowToolWindow(ToolWindow tool, QWidget* panel) {
  QPointer<QWidget>& form = toolForms_[static_cast<std::size_t>(tool)];
  if (!form) {
    form = NewToolWindow(tool, panel);
    form->setGeometry(panel->rect());
  }
  form->show();
  form->raise();
  return form;
}

void TFernwickForm::ImageExClick(int launcher) {
  if (launcher < 1 || launcher > kLauncherCount) return;
  const std::size_t index = static_cast<std::size_t>(launcher - 1);
  if (index == kSysRestoreLauncher && !SystemRestoreLauncherAllowed()) return;
  ShowToolWindow(kLaunchers[index].tool, AdvancePanel);
}

void TFernwickForm::ImageExMouseEnter(int launcher) { SetLauncherLook(launcher, true); }

void TFernwickForm::ImageExMouseLeave(int launcher) { SetLauncherLook(launcher, false); }

void TFernwickForm::SetLauncherLook(int launcher, bool hot) {
  if (launcher < 1 || launcher > kLauncherCount) return;
  SetHotLabelLook(LauncherLabels[static_cast<std::size_t>(launcher - 1)], hot, true);
  // The bold caption may need a second line.
  if (launcher - 1 == kSysRestoreLauncher) PlaceSysRestoreLabels();
}

void TFernwickForm::ScanNowBtnClick() { ScanPage->ScanNowBtnClick(); }
void TFernwickForm::AbortScanBtnClick() { ScanPage->AbortScanBtnClick(); }
void TFernwickForm::RepairBtnClick() { ScanPage->RepairBtnClick(); }
void TFernwickForm::FinishBtnClick() { ScanPage->FinishBtnClick(); }

void TFernwickForm::ShowScanStep(int step) {
  if (step < 0 || step > 3) return;
  const StepPictures& pictures = kStepPictures[step];
  LoadJpegResource(ScanStepImage, pictures.heading, "JPG");
  if (step == 1) LoadGifResource(pictures.icon, ScanStepImage1);
  else LoadJpegResource(ScanStepImage1, pictures.icon, "JPG");
  ScanNowBtn->setVisible(step == 0);
  AbortScanBtn->setVisible(step == 1);
  RepairBtn->setVisible(step == 2);
  FinishBtn->setVisible(step == 3);
}

void TFernwickForm::WMTrayIcon(unsigned lParam) {
  switch (lParam) {
    case TRAY_LBUTTONDBLCLK:
      if (DM) DM->OpenMenu->trigger();
      break;
    case TRAY_RBUTTONDOWN:
      if (DM) DM->MainPopupMenu->popup(QCursor::pos());
      break;
    case TRAY_QUIT:
      AbortScanBtnClick();
      ClearResultSelection();
      QuitWhenIdle();
      break;
    default:
      break;
  }
}

void TFernwickForm::ShowAndRestore() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void TFernwickForm::ClearResultSelection() { ScanPage->ClearResultSelection(); }

void TFernwickForm::closeEvent(QCloseEvent* event) {
  // Closing only hides the window; the tray icon stays. Until there is a
  // tray to bring it back, the window is minimised instead.
  event->ignore();
  if (TrayIcon && TrayIcon->isVisible() && SystemTrayPresent()) hide();
  else showMinimized();
}

void TFernwickForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TFernwickForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Restoring from the tray or the taskbar shows the window again; only the
  // first showing starts on the Scan page.
  if (shown_) return;
  shown_ = true;
  FormShow();
}

bool TFernwickForm::event(QEvent* event) {
  const bool result = QWidget::event(event);
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return result;
}

bool TFernwickForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TopImage) {
    if (event->type() == QEvent::MouseMove && dragging_) {
      move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) dragging_ = false;
    return QWidget::eventFilter(watched, event);
  }
  for (int i = 0; i < kLauncherCount; ++i) {
    if (watched != LauncherLabels[static_cast<std::size_t>(i)]) continue;
    switch (event->type()) {
      case QEvent::Enter: ImageExMouseEnter(i + 1); break;
      case QEvent::Leave: ImageExMouseLeave(i + 1); break;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) ImageExClick(i + 1);
        break;
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}
