#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "AdversarialRegistry.h"
#include "GuiTestApp.h"
#include "MouseEvents.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/registry/Registry.h"
#include "recovery/IERepairItemUnit.h"
#include "recovery/gui/BrowserRepairForm.h"
#include "recovery/gui/FormIePlugins.h"
#include "recovery/gui/FormMalignant.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/DMUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/ToolWindowFactory.h"

namespace {

std::optional<std::string> Text(win::HKEY root, const std::string& key, const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + key)) return std::nullopt;
  return registry.ReadString(name);
}

bool HasValue(win::HKEY root, const std::string& key, const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  return registry.OpenKeyReadOnly("\\" + key) && registry.ValueExists(name);
}

bool HasKey(win::HKEY root, const std::string& key) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  return registry.KeyExists("\\" + key);
}

// The keys at and below a path, with their values.
adversarial::Snapshot KeysBelow(const adversarial::Snapshot& registry, const std::string& path) {
  adversarial::Snapshot part;
  for (const auto& [key, values] : registry)
    if (key.rfind(path, 0) == 0) part[key] = values;
  return part;
}

std::optional<std::int32_t> Number(win::HKEY root, const std::string& key, const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + key)) return std::nullopt;
  return registry.ReadInteger(name);
}

// A fresh copy of the sample machine with the data module, per test.
class BrowserToolsSample : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApp();
    ResetSharedState();
    ASSERT_TRUE(temp_.isValid());
    const std::string folder = temp_.path().toStdString() + "/machine";
    std::string error;
    ASSERT_TRUE(win::CreateMachine(folder, win::SampleMachineRecipe(), error)) << error;
    machine_ = win::Machine::Open(folder, error);
    ASSERT_TRUE(machine_) << error;
    win::SetCurrentMachine(machine_.get());
    LoadSettings();
    Settings.CheckUpdate = false;
    dm_ = std::make_unique<TDM>();
  }
  void TearDown() override {
    SetProcessMessagesHook(nullptr);
    dm_.reset();
    win::SetCurrentMachine(nullptr);
    ResetSharedState();
  }

  QTemporaryDir temp_;
  std::unique_ptr<win::Machine> machine_;
  std::unique_ptr<TDM> dm_;
  ScriptedDialogs dialogs_;
};

const char* const kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kCompat = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\";

TEST_F(BrowserToolsSample, LaunchersOpenTheRealTools) {
  QWidget parent;
  std::unique_ptr<QWidget> repair(NewToolWindow(ToolWindow::BrowserRepairForm, &parent));
  std::unique_ptr<QWidget> plugins(NewToolWindow(ToolWindow::FormIePlugins, &parent));
  std::unique_ptr<QWidget> malignant(NewToolWindow(ToolWindow::FormMalignant, &parent));
  EXPECT_NE(nullptr, dynamic_cast<TBrowserRepairForm*>(repair.get()));
  EXPECT_NE(nullptr, dynamic_cast<TFormIePlugins*>(plugins.get()));
  EXPECT_NE(nullptr, dynamic_cast<TFormMalignant*>(malignant.get()));
  EXPECT_TRUE(repair->isHidden());
}

TEST_F(BrowserToolsSample, RestoreEverything) {
  TBrowserRepairForm form;
  form.show();
  ASSERT_EQ(recovery::kRepairCount, form.IERepairListView->topLevelItemCount());
  form.abSelectAll->setText("Select All");
  SendClick(form.abSelectAll);  // unticks all
  EXPECT_FALSE(form.cbSelectAll->isChecked());
  EXPECT_FALSE(form.IsRowChecked(0));
  form.DeleteItemBtnClick();
  ASSERT_EQ(1u, dialogs_.messages().size());  // select something first
  SendClick(form.abSelectAll);
  dialogs_.setNextAnswer(IDYES);
  std::vector<bool> switchAllowed;
  SetProcessMessagesHook([&] { switchAllowed.push_back(PageSwitchAllowed()); });
  SendClick(form.DeleteItemBtn);
  SetProcessMessagesHook(nullptr);
  EXPECT_EQ(std::vector<bool>(recovery::kRepairCount, false), switchAllowed);
  for (int row = 0; row < recovery::kRepairCount; ++row) {
    EXPECT_EQ("Completed", form.IERepairListView->topLevelItem(row)->text(2).toStdString()) << row;
    EXPECT_EQ(QColor(0, 0x80, 0), form.IERepairListView->topLevelItem(row)->foreground(2).color());
  }
  using win::HKEY_CURRENT_USER;
  using win::HKEY_LOCAL_MACHINE;
  using win::HKEY_USERS;
  EXPECT_EQ("about:blank", Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Main", "Start Page"));
  EXPECT_EQ("about:blank", Text(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page"));
  EXPECT_EQ("C:\\WINDOWS\\system32\\blank.htm",
            Text(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Local Page"));
  for (const char* gone : {"HomeKeeper", "registry.exe", "SettingsImport"}) EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kRun, gone)) << gone;
  for (const char* kept : {"SettingsFix", "TuneBoxHelper", "ClipMaster"}) EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kRun, kept)) << kept;
  EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "ctfmon.exe"));
  EXPECT_FALSE(win::FileExists("C:\\Program Files\\registry.exe"));
  EXPECT_EQ(0, Number(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableRegistryTools"));
  EXPECT_EQ(0, Number(HKEY_USERS, ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoRun"));
  EXPECT_EQ(0, Number(HKEY_USERS, ".DEFAULT\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel", "homepage"));
  EXPECT_EQ(recovery::StockSearchAssistantUrl(),
            Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Search", "SearchAssistant"));
  EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt", "Search Hijack"));
  EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt\\&Scan with ShieldGuard"));
  EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{FB5F1910-F110-11D2-BB9E-00C04F795683}"));
}

TEST_F(BrowserToolsSample, RemoveOneAddOnOfEachKindAndBringThemBack) {
  TFormIePlugins form;
  form.Clock = [] { return TDateTime{2009, 3, 5, 10, 0, 0}; };
  form.show();
  ASSERT_EQ(11, form.IEItemListView->topLevelItemCount());
  // The manager lists no Browser Helper Objects: they stay as they are.
  const std::string helpers =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
  const adversarial::Snapshot before = adversarial::TakeSnapshot();
  const adversarial::Snapshot helpersBefore = KeysBelow(before, helpers);
  ASSERT_GE(helpersBefore.size(), 2u);
  const std::string bars = "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\{5D7E8A10-6B2C-4F3D-9E1A-2B3C4D5E6F71}";
  const std::string toolbar = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
  const std::string ext = "Software\\Microsoft\\Internet Explorer\\MenuExt\\E&xport to TuneBox";
  const std::string dword = "{6E8F0A21-2003-4B3C-9D4E-5F6A7B8C9D03}";
  for (int i = 0; i < form.IEItemListView->topLevelItemCount(); ++i) {
    const QString name = form.IEItemListView->topLevelItem(i)->text(1);
    const QString path = form.IEItemListView->topLevelItem(i)->text(2);
    if (name == "E&xport to TuneBox" || name == "0x0000000a(10)" || path.endsWith("{5D7E8A10-6B2C-4F3D-9E1A-2B3C4D5E6F71}"))
      form.IEItemListView->topLevelItem(i)->setCheckState(0, Qt::Checked);
  }
  SendClick(form.RepairItemBtn);
  EXPECT_TRUE(dialogs_.messages().empty());
  EXPECT_EQ(8, form.IEItemListView->topLevelItemCount());
  EXPECT_FALSE(HasKey(win::HKEY_CURRENT_USER, ext));
  EXPECT_FALSE(HasValue(win::HKEY_LOCAL_MACHINE, toolbar, dword));
  EXPECT_TRUE(HasValue(win::HKEY_LOCAL_MACHINE, toolbar, "{6E8F0A21-2004-4B3C-9D4E-5F6A7B8C9D04}"));
  EXPECT_FALSE(HasKey(win::HKEY_LOCAL_MACHINE, bars));

  SendClick(form.RemoveRestoreBtn);
  ASSERT_TRUE(form.OnRestorePage());
  EXPECT_FALSE(form.BackBtn->isHidden());
  EXPECT_TRUE(form.cbSelectAll->isHidden());
  ASSERT_EQ(1, form.IEBackupListView->topLevelItemCount());
  EXPECT_EQ("C:\\Program Files\\Fernwick\\IEBackUp\\Backup_20090305_100000_IE.reg",
            form.IEBackupListView->topLevelItem(0)->text(1).toStdString());
  EXPECT_FALSE(form.IEBackupListView->topLevelItem(0)->text(0).isEmpty());
  form.IEBackupListView->setCurrentItem(form.IEBackupListView->topLevelItem(0));
  EXPECT_GE(form.DetailRecords().size(), 3u);
  EXPECT_TRUE(form.DetailListView->isHidden() || form.DetailPanel->isHidden());
  SendClick(form.RepairItemBtn);  // import
  EXPECT_TRUE(dialogs_.messages().empty());
  EXPECT_TRUE(HasKey(win::HKEY_CURRENT_USER, ext));
  EXPECT_TRUE(HasValue(win::HKEY_LOCAL_MACHINE, toolbar, dword));
  EXPECT_TRUE(HasKey(win::HKEY_LOCAL_MACHINE, bars));

  SendClick(form.BackBtn);
  EXPECT_FALSE(form.OnRestorePage());
  EXPECT_EQ(11, form.IEItemListView->topLevelItemCount());
  const adversarial::Snapshot after = adversarial::TakeSnapshot();
  EXPECT_EQ(KeysBelow(after, helpers), helpersBefore);
  EXPECT_EQ(adversarial::Differences(before, after), std::vector<std::string>{});
}

// Each message box of the ActiveX blocker, with what the window showed at
// that moment.
class MalignantDialogs : public ScriptedDialogs {
 public:
  explicit MalignantDialogs(const TFormMalignant& form) : form_(form) {}
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    shown.push_back(Shown());
    return ScriptedDialogs::MessageBox(text, caption, flags);
  }
  // Status and tick of every row, the warning and the "Select All" box.
  std::string Shown() const {
    std::string text;
    for (int i = 0; i < form_.ListActiveX->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = form_.ListActiveX->topLevelItem(i);
      text += item->text(2).toStdString() + (item->checkState(0) == Qt::Checked ? "+ " : "- ");
    }
    text += form_.LabelWarning->isHidden() ? "|no warning" : "|" + form_.LabelWarning->text().toStdString();
    return text + (form_.ChkList->isChecked() ? "|all" : "|some");
  }
  std::vector<std::string> shown;

 private:
  const TFormMalignant& form_;
};

TEST_F(BrowserToolsSample, LockAndUnlock) {
  TFormMalignant form;
  MalignantDialogs dialogs(form);
  form.show();
  ASSERT_EQ(20, form.ListActiveX->topLevelItemCount());
  EXPECT_EQ("(20 objects)", form.LabelList->text().toStdString());
  EXPECT_EQ("16 ActiveX items could cause potential threats to your PC!", form.LabelWarning->text().toStdString());
  EXPECT_FALSE(form.LabelWarning->isHidden());
  EXPECT_EQ("Locked", form.ListActiveX->topLevelItem(3)->text(2).toStdString());    // 0x401
  EXPECT_EQ("Unlocked", form.ListActiveX->topLevelItem(5)->text(2).toStdString());  // text "1024"
  EXPECT_FALSE(form.ChkList->isChecked());

  // The label flips "Select All"; the box follows the rows.
  SendClick(form.Label3);
  EXPECT_TRUE(form.ChkList->isChecked());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Qt::Checked, form.ListActiveX->topLevelItem(i)->checkState(0)) << i;
  form.ListActiveX->topLevelItem(7)->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(form.ChkList->isChecked());
  form.ListActiveX->topLevelItem(7)->setCheckState(0, Qt::Checked);
  EXPECT_TRUE(form.ChkList->isChecked());

  // The "1024" text is not the tool's to replace: that row fails and is told,
  // once the list shows the outcome.
  SendClick(form.ImmunizeBtn);
  ASSERT_EQ(1u, dialogs.messages().size());
  EXPECT_EQ("Failed to lock 1 of the malignant ActiveX controls!", dialogs.messages().back().text);
  EXPECT_EQ(dialogs.Shown(), dialogs.shown.back());
  EXPECT_EQ("1 ActiveX items could cause potential threats to your PC!", form.LabelWarning->text().toStdString());
  EXPECT_TRUE(form.ProtectGauge->isHidden());
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(i == 5 ? "Unlocked" : "Locked", form.ListActiveX->topLevelItem(i)->text(2).toStdString()) << i;

  SendClick(form.UnImmunizeBtn);
  ASSERT_EQ(2u, dialogs.messages().size());
  EXPECT_EQ(std::string(recovery::kUnlockedMessage), dialogs.messages().back().text);
  EXPECT_EQ(dialogs.Shown(), dialogs.shown.back());
  EXPECT_EQ("20 ActiveX items could cause potential threats to your PC!", form.LabelWarning->text().toStdString());
  // Only the rows whose block went are unticked.
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(i == 5 ? Qt::Checked : Qt::Unchecked, form.ListActiveX->topLevelItem(i)->checkState(0)) << i;
  EXPECT_FALSE(form.ChkList->isChecked());
  const std::string withOther = std::string(kCompat) + "{0A1B2C3D-1004-4A5B-8C6D-7E8F90A1B2C4}";
  EXPECT_TRUE(HasValue(win::HKEY_LOCAL_MACHINE, withOther, "AlternateCLSID"));
  EXPECT_EQ(1, Number(win::HKEY_LOCAL_MACHINE, withOther, "Compatibility Flags"));
  EXPECT_EQ("1024", Text(win::HKEY_LOCAL_MACHINE, std::string(kCompat) + "{0A1B2C3D-1006-4A5B-8C6D-7E8F90A1B2C6}",
                         "Compatibility Flags"));
  EXPECT_FALSE(HasKey(win::HKEY_LOCAL_MACHINE, std::string(kCompat) + "{0A1B2C3D-1001-4A5B-8C6D-7E8F90A1B2C1}"));
  EXPECT_EQ(1024, Number(win::HKEY_LOCAL_MACHINE, std::string(kCompat) + "{D27CDB6E-AE6D-11CF-96B8-444553540000}",
                         "Compatibility Flags"));
}

TEST_F(BrowserToolsSample, LockAndUnlockOfAnEmptyListTellNoSuccess) {
  const std::string lineEnds = "\r\n\r\n";
  ASSERT_TRUE(win::WriteFileBytes("C:\\Program Files\\Fernwick\\Code",
                                  std::vector<std::uint8_t>(lineEnds.begin(), lineEnds.end())));
  TFormMalignant form;
  form.show();
  EXPECT_EQ(0, form.ListActiveX->topLevelItemCount());
  SendClick(form.Label3);
  EXPECT_FALSE(form.ChkList->isChecked());
  SendClick(form.ImmunizeBtn);
  SendClick(form.UnImmunizeBtn);
  ASSERT_EQ(2u, dialogs_.messages().size());
  EXPECT_EQ(std::string(recovery::kEmptyListMessage), dialogs_.messages()[0].text);
  EXPECT_EQ(std::string(recovery::kEmptyListMessage), dialogs_.messages()[1].text);
  EXPECT_TRUE(form.ProtectGauge->isHidden());
}

}  // namespace
