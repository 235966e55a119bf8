// Renders the main window's pages and the small windows on a fresh copy of
// the sample machine into PNG files, without a display:
//   fwscreenshots OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/machine/Machine.h"
#include "recovery/gui/BrowserRepairForm.h"
#include "recovery/gui/FormIePlugins.h"
#include "recovery/gui/RegBackupForm.h"
#include "recovery/gui/SysRestoreForm.h"
#include "recovery/gui/FormRegDll.h"
#include "recovery/gui/ErrorFixForm.h"
#include "recovery/gui/FormMalignant.h"
#include "regclean/gui/ProblemListUnit.h"
#include "regclean/gui/RepairDialogUnit.h"
#include "privacy/gui/AdvancedShredForm.h"
#include "privacy/gui/EvidenceCleanerForm.h"
#include "privacy/gui/ExcludeDataUnit.h"
#include "regclean/gui/ScanPageUnit.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/AboutUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/HintUnit.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/MachineChooserDialog.h"
#include "shell/gui/MainUnit.h"
#include "shell/gui/QtMessagePump.h"
#include "shell/gui/FormOptions.h"
#include "shell/gui/ShowLiveUpdateForm.h"
#include "shell/gui/EMailForm.h"
#include "tools/gui/DetailTempFileForm.h"
#include "shell/Dialogs.h"
#include "tools/gui/InstalledManageForm.h"
#include "tools/gui/StartupManagerForm.h"
#include "tools/gui/MemorySaviorForm.h"
#include "tools/gui/SysDiskCleanerForm.h"
#include "tools/gui/OptimizeForm.h"
#include "tools/gui/TemporaryFileForm.h"

namespace {

QString g_out;
int g_failures = 0;

// The window as it looks on screen: outside its mask stays transparent.
QImage Render(QWidget* window) {
  window->show();
  QCoreApplication::processEvents();
  const QImage content = window->grab().toImage();
  if (window->mask().isEmpty()) return content;
  QImage shaped(content.size(), QImage::Format_ARGB32_Premultiplied);
  shaped.fill(Qt::transparent);
  QPainter painter(&shaped);
  painter.setClipRegion(window->mask());
  painter.drawImage(0, 0, content);
  return shaped;
}

// The mouse entering or leaving a control.
void Hover(QWidget* control, bool inside) {
  if (inside) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(control, &enter);
  } else {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(control, &leave);
  }
}

void Save(const QImage& image, const char* name) {
  const QString path = g_out + "/" + name + ".png";
  if (image.isNull() || !image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    ++g_failures;
    return;
  }
  std::printf("%s\n", qPrintable(path));
}

void MainWindowPages() {
  TDM dm;
  TFernwickForm form;
  Save(Render(&form), "main-scan");
  form.BackupBtnClick();
  Save(Render(&form), "main-backup");
  form.AdvancedBtnClick();
  Save(Render(&form), "main-tools");
  // One launcher under the mouse, one top button hovered.
  Hover(form.Launchers[5], true);
  Hover(form.UpdateBtn, true);
  Save(Render(&form), "main-tools-hover");
  Hover(form.Launchers[5], false);
  Hover(form.UpdateBtn, false);
  form.ImageExClick(7);
  Save(Render(&form), "main-tools-launched");
  form.ScanBtnClick();
  Hover(form.ScanNowBtn, true);
  Hover(form.CloseBtn, true);
  Save(Render(&form), "main-scan-hover");
  Save(dm.MainPopupMenu->grab().toImage(), "tray-menu");
  form.hide();
}

// The registry cleaner's steps on the sample machine: start, scanning,
// results (one problem unticked, one excluded), the repair dialog, the log.
void ScanPages() {
  // Messages pass during the scan and the repair, as in the program.
  InstallQtMessagePump();
  TDM dm;
  TFernwickForm form;
  auto* page = dynamic_cast<TRegistryScanPage*>(form.ScanPage.get());
  if (!page) return;
  Save(Render(&form), "scan-start");
  long entries = 0;
  SetProcessMessagesHook([&] {
    if (++entries != 1200) return;
    dm.ScanTimerTimer();  // one animation step, as the 20 ms timer makes it
    Save(Render(&form), "scan-progress");
  });
  form.ScanNowBtnClick();
  SetProcessMessagesHook(nullptr);
  std::printf("scan entries: %ld\n", entries);
  page->RepairGrid->setCurrentItem(page->RepairGrid->topLevelItem(0));
  Save(Render(&form), "scan-results");
  if (page->ProblemsListBox->count() > 2) {
    page->ProblemsListBoxTickClick(1);
    page->ProblemsListBox->setCurrentRow(2);
    page->ExcludeSelectedProblem();
    page->ProblemsListBox->setCurrentRow(0);
  }
  Save(Render(&form), "scan-results-edited");
  page->abShowHideDetailsClick();
  Save(Render(&form), "scan-results-nodetails");
  page->abShowHideDetailsClick();
  entries = 0;
  SetProcessMessagesHook([&] {
    if (++entries == 3 && page->RepairDialogForm()) Save(Render(page->RepairDialogForm()), "repair-dialog");
  });
  form.RepairBtnClick();
  SetProcessMessagesHook(nullptr);
  Save(Render(&form), "scan-finish");
  form.hide();
  SetMessagePump({});
}

// The Options dialog's three pages with the scheduled scan ticked, and the
// Backup page after the scan pages' repair was restored and two full
// backups were made.
void OptionsAndBackup() {
  TDM dm;
  if (auto options = CreateOptionsForm()) {
    options->show();
    options->cbActiveTask->click();
    const char* names[] = {"options-general", "options-ignore", "options-scheduling"};
    for (int page = 0; page < 3; ++page) {
      options->MainPageControl->setCurrentIndex(page);
      Save(Render(options.get()), names[page]);
    }
  }
  TRegBackupForm backup;
  backup.resize(590, 440);
  Render(&backup);
  backup.PartialListView->setCurrentItem(backup.PartialListView->topLevelItem(0));
  backup.RestorePartialBtnClick();
  Save(Render(&backup), "backup-repair");
  backup.FullSheetClick();
  backup.BackupRegistryBtnClick();
  backup.BackupRegistryBtnClick();
  Hover(backup.RestoreRegistryBtn, true);
  Save(Render(&backup), "backup-full");
}

// The three browser tools on the sample machine: the restorer after a
// restore, the add-on manager's list and its backups after one add-on of each
// kind was removed, and the ActiveX blocker before and after "Lock".
void BrowserTools() {
  TDM dm;
  TBrowserRepairForm repair;
  Render(&repair);
  Save(Render(&repair), "ie-restorer");
  repair.DeleteItemBtnClick();
  Save(Render(&repair), "ie-restorer-restored");

  TFormIePlugins plugins;
  Save(Render(&plugins), "bho-list");
  for (int kind = 1; kind <= 3; ++kind) {
    for (int i = 0; i < plugins.IEItemListView->topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = plugins.IEItemListView->topLevelItem(i);
      if (item->text(2).contains(kind == 1 ? "MenuExt" : kind == 2 ? "Toolbar" : "Explorer Bars")) {
        item->setCheckState(0, Qt::Checked);
        break;
      }
    }
  }
  Save(Render(&plugins), "bho-list-ticked");
  plugins.RepairItemBtnClick();
  plugins.RemoveRestoreBtnClick();
  plugins.IEBackupListView->setCurrentItem(plugins.IEBackupListView->topLevelItem(0));
  Save(Render(&plugins), "bho-restore");

  TFormMalignant malignant;
  Save(Render(&malignant), "block-activex");
  malignant.ChkList->setChecked(true);
  malignant.ChkListClick();
  malignant.ImmunizeBtnClick();
  Save(Render(&malignant), "block-activex-locked");
}

// The Junk File Cleaner in the main window: drives, types, a search in
// progress, the report, the options and the cleanup (to the recycle bin);
// its details window and type dialog.
void JunkCleanerPages() {
  InstallQtMessagePump();
  TDM dm;
  TFernwickForm form;
  Render(&form);
  form.AdvancedBtnClick();
  form.ImageExClick(7);
  auto* junk = qobject_cast<TSysDiskCleanerForm*>(form.ToolForm(ToolWindow::SysDiskCleanerForm));
  if (!junk) return;
  Save(Render(&form), "junk-drives");
  junk->NextBtnClick();
  Save(Render(&form), "junk-types");
  long entries = 0;
  SetProcessMessagesHook([&] {
    if (++entries == 150) Save(Render(&form), "junk-search");
  });
  junk->NextBtnClick();
  SetProcessMessagesHook(nullptr);
  std::printf("junk search entries: %ld\n", entries);
  Save(Render(&form), "junk-searched");
  junk->NextBtnClick();
  junk->ReportListView->setCurrentItem(junk->ReportListView->topLevelItem(0));
  Save(Render(&form), "junk-report");
  junk->NextBtnClick();
  Save(Render(&form), "junk-options");
  junk->RunModal = [](QDialog& dialog) {
    Save(Render(&dialog), dialog.objectName() == "DetailTempFileForm" ? "junk-details" : "junk-type-dialog");
    return false;
  };
  junk->ShowDetails("");
  junk->JunkFilesListView->setCurrentItem(junk->JunkFilesListView->topLevelItem(5));
  junk->EditBtnClick();
  junk->NextBtnClick();
  Save(Render(&form), "junk-cleanup");
  form.hide();
  SetMessagePump({});
}

// Startup manager with the details of a run value open and a disabled row,
// its restore page after a removal, and the uninstaller with a program
// selected.
int StartupRow(TStartupManagerForm& form, const std::string& caption, const std::string& status) {
  const auto& rows = form.Engine().Rows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].Caption == caption && rows[i].SubItems.size() > 1 && rows[i].SubItems[1] == status)
      return static_cast<int>(i);
  return -1;
}

void StartupTools() {
  ScriptedDialogs dialogs;
  TStartupManagerForm startup;
  startup.resize(590, 440);
  Render(&startup);
  startup.StartupListViewMouseDown(StartupRow(startup, "SysHelper", "Enable"), TStartupManagerForm::kPictureLeft + 2);
  startup.DeleteItemBtnClick();
  startup.StartupListViewMouseDown(StartupRow(startup, "PackIt Quick Start.lnk", "Enable"), TStartupManagerForm::kPictureLeft + 2);
  dialogs.setNextAnswer(IDYES);
  startup.BtRemoveClick();
  startup.StartupListViewMouseDown(StartupRow(startup, "Updater", "Enable"), TStartupManagerForm::kStatePictureLeft + 2);
  startup.StartupListViewMouseDown(StartupRow(startup, "PhotoPad Tray", "Enable"), TStartupManagerForm::kPictureLeft + 2);
  Save(Render(&startup), "startup-list");
  startup.PageCIndex->setCurrentIndex(1);
  Save(Render(&startup), "startup-restore");

  TInstalledManageForm uninstaller;
  uninstaller.resize(590, 440);
  Render(&uninstaller);
  for (int i = 0; i < uninstaller.ListInstalled->topLevelItemCount(); ++i)
    if (uninstaller.ListInstalled->topLevelItem(i)->text(0) == "TuneBox 3.2")
      uninstaller.ListInstalled->setCurrentItem(uninstaller.ListInstalled->topLevelItem(i));
  Save(Render(&uninstaller), "uninstaller");
}

// The restore points with one selected, the re-registration after a run,
// the error list with its ticks and a description, and the support form.
void RecoveryTools() {
  TDM dm;
  TSysRestoreForm restore;
  Render(&restore);
  restore.RestoreListView->setCurrentItem(restore.RestoreListView->topLevelItem(1));
  Save(Render(&restore), "system-restore");

  TFormRegDll regDll;
  Save(Render(&regDll), "register-activex");
  regDll.btnRepairClick();
  Save(Render(&regDll), "register-activex-run");

  TErrorFixForm errors;
  Render(&errors);
  errors.cbSelectAll->setChecked(true);
  errors.cbSelectAllClick(false);
  errors.listerror->setCurrentItem(errors.listerror->topLevelItem(2));
  Save(Render(&errors), "error-utilities");

  TEMailForm mail;
  mail.TxtSendFile->setText("owner@example.invalid");
  mail.TxtSubject->setText("Error Utilities");
  mail.MemoText->setPlainText("Task Manager is still disabled after the repair.");
  Save(Render(&mail), "support-mail");
}

void SmallWindows() {
  TAboutForm about;
  Save(Render(&about), "about");
  THintForm hint("Hint", "Please wait while the related data is being loaded.");
  Save(Render(&hint), "hint");
  TShowLiveUpdateForm liveUpdate;
  Save(Render(&liveUpdate), "live-update");
}

// The optimizer's four pages (the list after two runs in one second) and
// the memory window after ten refreshes. Nothing here trims a process.
void OptimizerWindows() {
  TDM dm;
  TOptimizeForm optimizer;
  optimizer.Clock = [] { return TDateTime{2026, 12, 10, 15, 4, 5}; };
  Save(Render(&optimizer), "optimizer-1");
  optimizer.btnOptimizeClick();
  Hover(optimizer.chk[1], true);
  Save(Render(&optimizer), "optimizer-2");
  optimizer.btnOptimizeClick();
  Hover(optimizer.Ochk[0], true);
  Save(Render(&optimizer), "optimizer-3");
  optimizer.btnExeClick();
  optimizer.btnExeClick();
  optimizer.btnDefaultClick();
  Save(Render(&optimizer), "optimizer-4");

  TMemorySaviorForm memory;
  Render(&memory);
  for (int tick = 0; tick < 10; ++tick) {
    QThread::msleep(200);
    memory.Timer1Timer();
  }
  Save(Render(&memory), "memory");
}

// The Evidence Cleaner on the sample machine: the fresh Scan page, a scan
// in progress, the results (root and one item), the page after "Clean", the
// Scan page after "Finish", the exclusion dialog, the Exclude page after a
// cookie was excluded and its Modify dialog.
void EvidenceCleaner() {
  TDM dm;
  ScriptedDialogs dialogs;
  TEvidenceCleanerForm form;
  form.resize(760, 540);
  Save(Render(&form), "evidence-scan");
  bool shot = false;
  SetProcessMessagesHook([&] {
    if (shot || form.Engine.CheckTree.Nodes[0].Rec->Count < 6) return;
    shot = true;
    Save(Render(&form), "evidence-scanning");
  });
  form.Engine.ScanNowBtnClick();
  SetProcessMessagesHook(nullptr);
  Save(Render(&form), "evidence-result");
  for (std::size_t i = 0; i < form.Engine.ResultNodes.size(); ++i) {
    if (form.Engine.NodeText(form.Engine.ResultNodes[i]) == "Cookies") {
      form.ResultTreeView->setCurrentItem(form.ResultItem(static_cast<int>(i)));
      break;
    }
  }
  if (form.Engine.ResultRows.size() > 1) form.Engine.Exclude1Click(1);
  if (!form.Engine.ResultRows.empty()) form.PressResultRowState(0);
  Save(Render(&form), "evidence-result-item");
  form.Engine.CleanBtnClick();
  Save(Render(&form), "evidence-cleaned");
  form.Engine.FinishBtnClick();
  Save(Render(&form), "evidence-finished");

  TExcludeDataForm fresh(form.Engine.ItemLists[0]);
  fresh.setWindowTitle(QStringLiteral("Exclude Item"));
  Save(Render(&fresh), "evidence-exclude-dialog");
  form.Engine.ExcludeBtnClick();
  if (QTreeWidgetItem* cookies = form.tvExclude->findItems(QStringLiteral("Cookies"), Qt::MatchExactly | Qt::MatchRecursive).value(0))
    form.tvExclude->setCurrentItem(cookies);
  if (form.ExcludeListView->topLevelItemCount() > 0)
    form.ExcludeListView->setCurrentItem(form.ExcludeListView->topLevelItem(0));
  Save(Render(&form), "evidence-exclude");
  form.RunModal = [](QDialog& dialog) {
    Save(Render(&dialog), "evidence-modify");
    return false;
  };
  form.ModifyBtn->click();

  form.Engine.AdvancedBtnClick();
  form.AdvancedShred->Shred.listAdd = {"C:\\Documents and Settings\\Owner\\My Documents\\old drafts",
                                       "C:\\Documents and Settings\\Owner\\My Documents\\budget 2009.txt"};
  form.AdvancedShred->ShredListChanged();
  Save(Render(&form), "evidence-advanced");
}

// The file and folder choosers, in a folder, at the drive list and as the
// shredder's folder chooser.
void Choosers() {
  FileDialogRequest request;
  request.Filter = "All Files (*.*)|*.*";
  request.InitialDir = "C:\\Documents and Settings\\Owner\\My Documents";
  MachineChooserDialog open(ChooserKind::Open, request);
  Save(Render(&open), "chooser-open");
  open.UpButtonClick();
  open.UpButtonClick();
  open.UpButtonClick();
  open.UpButtonClick();
  Save(Render(&open), "chooser-drives");
  FileDialogRequest folder;
  folder.Title = "Select Drive or Directory";
  folder.InitialDir = "C:\\Program Files";
  MachineChooserDialog folders(ChooserKind::Folder, folder);
  Save(Render(&folders), "chooser-folder");
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  app.setApplicationName("Fernwick");
  if (argc != 2) {
    std::fprintf(stderr, "usage: fwscreenshots OUTPUT_FOLDER\n");
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(g_out)) {
    std::fprintf(stderr, "cannot make %s\n", qPrintable(g_out));
    return 1;
  }

  QTemporaryDir temp;
  const std::string folder = temp.path().toStdString() + "/machine";
  std::string error;
  if (!temp.isValid() || !win::CreateMachine(folder, win::SampleMachineRecipe(), error)) {
    std::fprintf(stderr, "cannot make the sample machine: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  if (!machine) {
    std::fprintf(stderr, "cannot open the sample machine: %s\n", error.c_str());
    return 1;
  }
  win::SetCurrentMachine(machine.get());
  LoadSettings();
  // No update check: nothing may leave the computer while rendering.
  Settings.CheckUpdate = false;

  MainWindowPages();
  ScanPages();
  OptionsAndBackup();
  BrowserTools();
  RecoveryTools();
  StartupTools();
  SmallWindows();
  OptimizerWindows();
  JunkCleanerPages();
  EvidenceCleaner();
  Choosers();

  win::SetCurrentMachine(nullptr);
  return g_failures == 0 ? 0 : 1;
}
