#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <memory>

#include "GuiTestApp.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "recovery/RegBackupUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"
#include "tools/CPUUsageUnit.h"
#include "tools/PucUnit.h"
#include "tools/gui/MemorySaviorForm.h"
#include "tools/gui/OptimizeForm.h"

namespace {

const char* const kWirelessReg = R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\WZCSVC]
"Type"=dword:00000020
"Start"=dword:00000002
)";

class OptimizeFormTest : public ::testing::Test {
 protected:
  OptimizeFormTest() : machine(kWirelessReg) {
    GuiApp();
    ResetSharedState();
    form = std::make_unique<TOptimizeForm>();
    form->Clock = [] { return TDateTime{2026, 12, 10, 15, 4, 5}; };
  }
  // Which buttons are visible (V), enabled and visible (E) or hidden (-).
  std::string Buttons() const {
    std::string state;
    for (const QPushButton* button : {form->btnOneClick, form->ReturnBtn, form->btnOptimize, form->btnExe, form->btnDefault})
      state += button->isHidden() ? '-' : button->isEnabled() ? 'E' : 'V';
    return state;
  }
  std::vector<int> TickedTweaks() const {
    std::vector<int> boxes;
    for (std::size_t i = 0; i < form->Ochk.size(); ++i)
      if (form->Ochk[i]->isChecked()) boxes.push_back(static_cast<int>(i) + 1);
    return boxes;
  }
  TestMachine machine;
  ScriptedDialogs dialogs;
  std::unique_ptr<TOptimizeForm> form;
};

TEST_F(OptimizeFormTest, PagesAndButtonsFollowNextBackResetAndReturn) {
  EXPECT_EQ(form->ActivePage(), "1");
  EXPECT_EQ(form->SelectedModel(), 1);
  EXPECT_EQ(Buttons(), "EEE-E");
  form->SelectModel(3);
  EXPECT_EQ(form->MemoText->toPlainText().toStdString(), tools::ModelDescriptions[3]);
  form->btnOptimizeClick();
  EXPECT_EQ(form->ActivePage(), "2");
  EXPECT_EQ(Buttons(), "EEE-V");
  EXPECT_TRUE(form->chk[2]->isChecked());    // model 3 ticks box 3
  EXPECT_FALSE(form->chk[7]->isChecked());   // and not box 8
  form->Ochk[2]->setChecked(true);
  form->btnOptimizeClick();
  EXPECT_EQ(form->ActivePage(), "3");
  EXPECT_EQ(Buttons(), "EE-EV");
  EXPECT_EQ(TickedTweaks(), (std::vector<int>{1, 2, 5, 6, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 23, 24, 25}));
  form->ReturnBtnClick();
  EXPECT_EQ(form->ActivePage(), "2");
  EXPECT_EQ(Buttons(), "EEE-V");
  form->ReturnBtnClick();
  EXPECT_EQ(form->ActivePage(), "1");
  EXPECT_EQ(Buttons(), "EEE-E");
  form->btnDefaultClick();
  EXPECT_EQ(form->ActivePage(), "4");
  EXPECT_EQ(form->btnDefault->text(), "Return");
  EXPECT_EQ(Buttons(), "VVV-E");
  form->btnDefaultClick();
  EXPECT_EQ(form->ActivePage(), "1");
  EXPECT_EQ(form->btnDefault->text(), "Reset");
  EXPECT_EQ(Buttons(), "EEE-E");

  // Hovering a box shows its text.
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(form->chk[1], &enter);
  EXPECT_EQ(form->MemoSer->toPlainText(), "Support the infrared device on this computer and examine the infrared port.");
  QCoreApplication::sendEvent(form->Ochk[13], &enter);
  EXPECT_EQ(form->MemoReg->toPlainText(), "");
}

TEST_F(OptimizeFormTest, RunsListRestoresAndDeletesBackups) {
  // chk2 on, chk5 off: the later box disables the wireless service.
  form->btnOptimizeClick();
  for (QCheckBox* box : form->chk) box->setChecked(false);
  form->chk[1]->setChecked(true);
  form->btnOptimizeClick();
  form->btnExeClick();
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + tools::ServiceKeyPath("WZCSVC")));
  EXPECT_EQ(reg.ReadInteger("Start"), 4);
  form->btnExeClick();  // again in the same second

  form->btnDefaultClick();
  ASSERT_EQ(form->ListView1->topLevelItemCount(), 2);
  EXPECT_EQ(form->ListView1->topLevelItem(1)->text(0), "speedRestore20261210_150405_2.ini");
  form->BtnRestoreClick();  // nothing selected
  form->ListView1->topLevelItem(0)->setSelected(true);
  form->BtnRestoreClick();
  EXPECT_EQ(reg.ReadInteger("Start"), 2);
  form->btndeleteClick();
  EXPECT_EQ(form->ListView1->topLevelItemCount(), 1);

  std::vector<std::string> texts;
  for (const auto& message : dialogs.messages()) {
    texts.push_back(message.text);
    EXPECT_EQ(message.caption, "Fernwick");
    EXPECT_EQ(message.flags, 0u);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{tools::kRunMessage, tools::kRunMessage,
                                             "You have to choose options from the list at first",
                                             "Your system has successfully come back to the previous state!",
                                             "Deletion Completed"}));
}

TEST_F(OptimizeFormTest, FastOptimizeWithCustomizationDisablesEveryService) {
  form->SelectModel(6);
  form->btnOneClickClick();
  EXPECT_EQ(form->ActivePage(), "1");
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + tools::ServiceKeyPath("WZCSVC")));
  EXPECT_EQ(reg.ReadInteger("Start"), 4);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "System Optimizer runs successfully!");
}

// A damaged backup in the list: Restore says that nothing was restored and
// changes nothing; a used one says that nothing was left.
TEST_F(OptimizeFormTest, RestoringAFileThatIsNoBackupSaysSo) {
  ASSERT_TRUE(win::ForceDirectories(recovery::RepairBackupFolder()));
  const std::string damaged = recovery::RepairBackupFolder() + "speedDamaged.ini";
  const std::string text = "\x01\x02[Best Vision\r\n\xff\xfe" "F1=1\r\n";
  ASSERT_TRUE(win::WriteFileBytes(damaged, std::vector<std::uint8_t>(text.begin(), text.end())));
  form->btnDefaultClick();
  ASSERT_EQ(form->ListView1->topLevelItemCount(), 1);
  form->ListView1->topLevelItem(0)->setSelected(true);
  form->BtnRestore->click();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, std::string(tools::kNoBackupMessage) + "\r" + damaged);
  EXPECT_EQ(dialogs.messages()[0].flags, 48u);
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + tools::ServiceKeyPath("WZCSVC")));
  EXPECT_EQ(reg.ReadInteger("Start"), 2);
}

// Nothing is trimmed here: Optimize goes to a fake.
class NoProcesses : public tools::ProcessCalls {
 public:
  std::vector<win::PROCESSENTRY32> Snapshot() override { return {}; }
};

TEST(MemorySaviorFormTest, TenTicksScrollTheChartsAndATickNeverRunsInsideAnother) {
  GuiApp();
  ResetSharedState();
  PlatformCode = 4;
  TMemorySaviorForm form;
  form.Timer1->stop();
  form.show();
  QCoreApplication::processEvents();
  int nested = 0;
  SetProcessMessagesHook([&] {
    ++nested;
    form.Timer1Timer();  // a second tick while the first lets messages through
  });
  for (int tick = 0; tick < 10; ++tick) form.Timer1Timer();
  SetProcessMessagesHook({});
  EXPECT_GE(nested, 1);
  for (const tools::HistorySeries* history : {&form.CpuHistory(), &form.PmHistory(), &form.VmHistory()}) {
    ASSERT_EQ(history->Points().size(), 50u);
    EXPECT_EQ(history->Points().back().x, 59);  // ten scrolls, none nested
  }
  EXPECT_EQ(form.PM->count(), 50);
  EXPECT_EQ(form.CPUSeries->points().back().x(), 59);
  EXPECT_TRUE(form.Label_pmTotal->text().endsWith(" MB"));
  EXPECT_GT(form.Gauge_Mem->maximum(), 0);

  ScriptedDialogs dialogs;
  NoProcesses none;
  form.Calls = &none;
  form.OptimizeBtnClick();
  EXPECT_TRUE(form.TweakGauge->isHidden());
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "No working set could be emptied.");
  tools::ResetProcessorLoad();
}

}  // namespace
