#include <gtest/gtest.h>

#include <map>

#include "OptimizerFixture.h"
#include "TestMachine.h"
#include "platform/files/IniFile.h"
#include "platform/system/Services.h"
#include "recovery/RegBackupUnit.h"
#include "shell/Dialogs.h"
#include "tools/PucUnit.h"
#include "tools/SpeedItemUnit.h"
#include "tools/SystemSpeedUnit.h"

using namespace tools;
using namespace optimizer_test;

namespace {

// Eventlog auto, Spooler demand, SSDPSRV with a running dependant, Themes
// disabled; the other listed services are not installed.
const char* const kServicesReg = R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Eventlog]
"Type"=dword:00000020
"Start"=dword:00000002

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Spooler]
"Type"=dword:00000110
"Start"=dword:00000003

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\SSDPSRV]
"Type"=dword:00000020
"Start"=dword:00000003

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\upnphost]
"Type"=dword:00000020
"Start"=dword:00000002
"DependOnService"=hex(7):53,53,44,50,53,52,56,00,00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Themes]
"Type"=dword:00000020
"Start"=dword:00000004
)";

std::int64_t Start(const std::string& name) {
  const RawValue raw = ReadRaw(win::HKEY_LOCAL_MACHINE, ServiceKeyPath(name), "Start");
  return raw.exists ? raw.data[0] : -1;
}

bool Running(const char* name) {
  std::string state;
  return ReadServiceState(name, state) && state.size() > 1 && state.back() == '1';
}

void StartService(const char* name) {
  win::DWORD error = 0;
  ASSERT_TRUE(StartServiceByName(name, &error)) << name << " " << error;
}

TEST(SystemSpeedTest, ServicePrimitivesWriteStartTypesAndCountOnlyRealFailures) {
  TestMachine machine(kServicesReg);
  const struct {
    int mode;
    std::int64_t start;
  } modes[] = {{0, 2}, {1, 3}, {2, 4}, {3, 4}, {-1, 4}};
  for (const auto& m : modes) {
    EXPECT_TRUE(SetServiceStartType(m.mode, ServiceKeyPath("Spooler")));
    EXPECT_EQ(Start("Spooler"), m.start) << m.mode;
  }
  // Not installed: nothing written, the calls fail, the change is no failure.
  win::DWORD error = 0;
  EXPECT_FALSE(StopServiceByName("Irmon", &error));
  EXPECT_EQ(error, win::ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_TRUE(DisableService("Irmon"));
  EXPECT_FALSE(KeyExists(win::HKEY_LOCAL_MACHINE, ServiceKeyPath("Irmon")));
  // Already running: start type 2, the start itself refused, no failure.
  ASSERT_TRUE(SetServiceStartType(1, ServiceKeyPath("Eventlog")));
  EXPECT_TRUE(EnableService("Eventlog"));
  EXPECT_EQ(Start("Eventlog"), 2);
  EXPECT_FALSE(StartServiceByName("Eventlog", &error));
  EXPECT_EQ(error, win::ERROR_SERVICE_ALREADY_RUNNING);
  // A running dependant keeps SSDPSRV running: that is a failure.
  StartService("SSDPSRV");
  EXPECT_FALSE(DisableService("SSDPSRV"));
  EXPECT_TRUE(Running("SSDPSRV"));
  EXPECT_EQ(win::OpenServiceHandleCount(), 0u);
}

// Services and their states of the listed services.
std::map<std::string, std::string> ServiceStates() {
  std::map<std::string, std::string> states;
  for (const char* name : ServiceNames) EXPECT_TRUE(ReadServiceState(name, states[name]));
  return states;
}

TEST(SystemSpeedTest, RestorePutsEveryServiceBackAsRecorded) {
  TestMachine machine(kServicesReg);
  StartService("Spooler");
  const auto before = ServiceStates();
  EXPECT_EQ(before.at("Eventlog"), "2,1");
  EXPECT_EQ(before.at("Spooler"), "3,1");
  EXPECT_EQ(before.at("Themes"), "4,0");
  EXPECT_EQ(before.at("Irmon"), "");

  SpeedBackupFileName = SpeedBackupName(TDateTime{2026, 12, 10, 15, 4, 5});
  ServiceTicks services{};
  SetServiceBoxesForModel(5, services);  // Spooler off, Themes on
  const RunResult run = ApplyChoices(services, TweakTicks{});
  EXPECT_TRUE(run.backupWritten);
  EXPECT_TRUE(run.failed.empty());
  EXPECT_EQ(Start("Spooler"), 4);
  EXPECT_FALSE(Running("Spooler"));
  EXPECT_EQ(Start("Themes"), 2);
  EXPECT_TRUE(Running("Themes"));

  EXPECT_EQ(RestoreChoices(SpeedBackupFileName).failed, std::vector<std::string>{});
  EXPECT_EQ(ServiceStates(), before);
  EXPECT_EQ(win::OpenServiceHandleCount(), 0u);
}

TEST(SystemSpeedTest, OneRunWritesServicesFirstThenEachTickedTweakOnce) {
  TestMachine machine(std::string(kServicesReg) + R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management]
"LargePageMinimum"=dword:ffffffff

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\VxD\BIOS]
"PCIConcur"=dword:00000000
)");
  SpeedBackupFileName = SpeedBackupName(TDateTime{2026, 12, 10, 15, 4, 5});
  EXPECT_EQ(SpeedBackupFileName,
            "C:\\Program Files\\Fernwick\\RepairBackup\\speedRestore20261210_150405.ini");
  ServiceTicks services{};
  services[0] = true;  // Eventlog stays on
  TweakTicks tweaks{};
  for (const int box : {13, 25, 26, 27}) tweaks[static_cast<std::size_t>(box - 1)] = true;
  const RunResult run = ApplyChoices(services, tweaks);
  EXPECT_TRUE(run.failed.empty());
  EXPECT_EQ(FileText(SpeedBackupFileName),
            "[Services]\r\nEventlog=2,1\r\nSpooler=3,0\r\nWinDHCPsvc=\r\nSSDPSRV=3,0\r\nSENS=\r\n"
            "W32Time=\r\nThemes=4,0\r\nsrservice=\r\nhelpsvc=\r\nALG=\r\nImapiService=\r\n"
            "mnmsrvc=\r\nMessenger=\r\nBrowser=\r\nTermService=\r\nwuauserv=\r\nUPS=\r\n"
            "ShellHWDetection=\r\nwscsvc=\r\nWZCSVC=\r\nIrmon=\r\n"
            "[System Board and Memory Optimizations]\r\nF1Type=REG_DWORD\r\nF1=0\r\nF2Type=missing\r\n"
            "F2=\r\nF3Type=missing\r\nF3=\r\n"
            "[Optimize AVI Media Files]\r\nF1Type=missing\r\nF1=\r\nKeyCreated=2\r\n"
            "[Fix Problem with Athlon Hanging AGP Programs]\r\nF1Type=REG_DWORD\r\nF1=-1\r\n");
}

TEST(SystemSpeedTest, WrongTypesSkipOnlyTheirTweaksAndKeepTheValues) {
  TestMachine machine(R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management\PrefetchParameters]
"EnablePrefetcher"="abc"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer]
"AlwaysUnloadDLL"=dword:00000001
)");
  SpeedBackupFileName = SpeedBackupName(TDateTime{2026, 12, 10, 15, 4, 5});
  TweakTicks tweaks{};
  for (const int box : {9, 23, 24}) tweaks[static_cast<std::size_t>(box - 1)] = true;
  const RunResult run = ApplyChoices(ServiceTicks{}, tweaks);
  EXPECT_EQ(run.failed, (std::vector<std::string>{"Manage the Windows Prefetcher Service",
                                                  "Accelerate Start Speed"}));
  const win::TIniFile ini(SpeedBackupFileName);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Services", "Optimization shutdown speed"}));
  EXPECT_EQ(ReadRaw(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                    "AlwaysUnloadDLL"),
            DwordValue(1));
  EXPECT_EQ(ReadRaw(win::HKEY_LOCAL_MACHINE,
                    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\PrefetchParameters",
                    "EnablePrefetcher"),
            StringValue("abc"));
}

TEST(SystemSpeedTest, AnUnwritableBackupChangesNothing) {
  TestMachine machine(kServicesReg);
  SpeedBackupFileName = "C:\\No Such Folder\\speedRestore.ini";
  TweakTicks tweaks{};
  tweaks.fill(true);
  const RunResult run = ApplyChoices(ServiceTicks{}, tweaks);
  EXPECT_FALSE(run.backupWritten);
  EXPECT_EQ(Start("Eventlog"), 2);
  EXPECT_TRUE(Running("Eventlog"));
  EXPECT_FALSE(KeyExists(win::HKEY_CURRENT_USER, "Control Panel\\Desktop"));
}

TEST(SystemSpeedTest, DamagedServiceRecordsAreSkippedAndReported) {
  TestMachine machine(kServicesReg);
  const std::string file = "C:\\speed.ini";
  win::TIniFile ini(file);
  for (const auto& [name, state] : std::vector<std::pair<std::string, std::string>>{
           {"Eventlog", "abc"}, {"Spooler", "4"}, {"Themes", "2,7"}, {"upnphost", "4,0"}, {"SSDPSRV", "2,1"}})
    ASSERT_TRUE(ini.WriteString("Services", name, state));
  EXPECT_EQ(RestoreChoices(file).failed, (std::vector<std::string>{"Eventlog", "Spooler", "Themes"}));
  EXPECT_EQ(Start("Eventlog"), 2);
  EXPECT_EQ(Start("Themes"), 4);
  EXPECT_EQ(Start("upnphost"), 2);  // not a listed service: left alone
  EXPECT_EQ(Start("SSDPSRV"), 2);
  EXPECT_TRUE(Running("SSDPSRV"));
}

TEST(SystemSpeedTest, ModelsTickTheirBoxes) {
  ServiceTicks services{};
  TweakTicks tweaks{};
  tweaks[2] = true;
  SetServiceBoxesForModel(0, services);
  SetTweakBoxesForModel(0, tweaks);
  EXPECT_EQ(std::count(services.begin(), services.end(), true), 22);
  EXPECT_EQ(std::count(tweaks.begin(), tweaks.end(), true), 1);  // left as they were
  const struct {
    int model;
    std::vector<int> services, tweaks;
  } models[] = {
      {4, {2, 3, 5, 6, 17, 18}, {1, 2, 5, 6, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 23, 24, 25}},
      {5, {1, 2, 3, 6, 7, 10, 20}, {1, 2, 5, 6, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 23, 24, 25}},
      {2, {1, 2, 4, 5, 6, 7, 8, 9, 10, 16, 21}, {1, 5, 6, 7, 8, 11, 13, 14, 19, 20, 23, 24, 25, 26}},
  };
  for (const auto& m : models) {
    SetServiceBoxesForModel(m.model, services);
    SetTweakBoxesForModel(m.model, tweaks);
    std::vector<int> ticked;
    for (std::size_t i = 0; i < services.size(); ++i)
      if (services[i]) ticked.push_back(static_cast<int>(i) + 1);
    EXPECT_EQ(ticked, m.services) << m.model;
    ticked.clear();
    for (std::size_t i = 0; i < tweaks.size(); ++i)
      if (tweaks[i]) ticked.push_back(static_cast<int>(i) + 1);
    EXPECT_EQ(ticked, m.tweaks) << m.model;
  }
  // Customization keeps the service boxes and clears the tweak boxes.
  SetServiceBoxesForModel(6, services);
  SetTweakBoxesForModel(6, tweaks);
  EXPECT_EQ(std::count(services.begin(), services.end(), true), 11);
  EXPECT_EQ(std::count(tweaks.begin(), tweaks.end(), true), 0);
}

TEST(SystemSpeedTest, BackupNamesAndTheBackupList) {
  TestMachine machine("", R"(
C:\Program Files\Fernwick\RepairBackup\speed.ini\
C:\Program Files\Fernwick\RepairBackup\x.ini
C:\Program Files\Fernwick\RepairBackup\SPEEDx.INI
C:\Program Files\Fernwick\RepairBackup\speed.txt
)");
  const TDateTime now{2008, 3, 7, 14, 5, 9};
  const std::string first = SpeedBackupName(now);
  ASSERT_TRUE(win::WriteFileBytes(first, {}));
  const std::string second = SpeedBackupName(now);
  ASSERT_TRUE(win::WriteFileBytes(second, {}));
  EXPECT_EQ(win::ExtractFileName(first), "speedRestore20080307_140509.ini");
  EXPECT_EQ(win::ExtractFileName(second), "speedRestore20080307_140509_2.ini");
  EXPECT_EQ(win::ExtractFileName(SpeedBackupName(now)), "speedRestore20080307_140509_3.ini");

  std::vector<std::string> names;
  for (const SpeedBackupRow& row : ListSpeedBackups()) {
    names.push_back(row.Name);
    EXPECT_EQ(row.FileName, recovery::RepairBackupFolder() + row.Name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"speedRestore20080307_140509.ini",
                                             "speedRestore20080307_140509_2.ini", "SPEEDx.INI"}));
}

TEST(SystemSpeedTest, OutcomeMessages) {
  ScriptedDialogs dialogs;
  TellOutcome(kFastRunMessage, {});
  TellOutcome(kRestoredMessage, {"Accelerate Start Speed", "Eventlog"});
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[0].text, "System Optimizer runs successfully!");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, 0u);
  EXPECT_EQ(dialogs.messages()[1].text,
            "These items could not be changed:\rAccelerate Start Speed\rEventlog");
  EXPECT_EQ(dialogs.messages()[1].flags, 48u);
}

// Start types outside 2, 3 and 4 are reported and not written; an empty
// one stands for a service without "Start", which gets none.
TEST(SystemSpeedTest, ServiceRecordsPutBackOnlyTheStartTypesTheyMayHold) {
  const struct {
    const char* state;
    bool ok;
    std::int64_t start;  // -1: no "Start" value
    bool running;
  } cases[] = {
      {"99,0", false, 3, false}, {"1,0", false, 3, false}, {"5,1", false, 3, false},
      {"-2,0", false, 3, false}, {"2,2", false, 3, false}, {"4,0", true, 4, false},
      {"2,1", true, 2, true},    {",1", true, -1, true},   {",0", true, -1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    TestMachine machine(kServicesReg);
    EXPECT_EQ(RestoreServiceState("Spooler", c.state), c.ok);
    EXPECT_EQ(Start("Spooler"), c.start);
    EXPECT_EQ(Running("Spooler"), c.running);
  }
}

TEST(SystemSpeedTest, AServiceWithoutStartGetsNoneAfterARestore) {
  TestMachine machine(R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Spooler]
"Type"=dword:00000110
)");
  SpeedBackupFileName = SpeedBackupName(TDateTime{2026, 12, 10, 15, 4, 5});
  const RunResult run = ApplyChoices(ServiceTicks{}, TweakTicks{});
  EXPECT_TRUE(run.failed.empty());
  EXPECT_EQ(Start("Spooler"), 4);
  EXPECT_EQ(win::TIniFile(SpeedBackupFileName).ReadString("Services", "Spooler", "?"), ",0");
  const RestoreResult restored = RestoreChoices(SpeedBackupFileName);
  EXPECT_EQ(restored.failed, std::vector<std::string>{});
  EXPECT_EQ(restored.restored, 1);
  EXPECT_EQ(Start("Spooler"), -1);
}

// A backup that cannot be written once the run has begun ends it there and
// names every ticked tweak left out.
TEST(SystemSpeedTest, ABackupThatFailsMidwayNamesEveryTweakLeftOut) {
  TestMachine machine("", "C:\\speed.ini | attr=R | text=[Services]\n");
  SpeedBackupFileName = "C:\\speed.ini";
  TweakTicks tweaks{};
  for (const int box : {2, 13, 27, 24}) tweaks[static_cast<std::size_t>(box - 1)] = true;
  RunResult run;
  run.backupWritten = true;
  ApplyTweakBoxes(tweaks, run);
  EXPECT_TRUE(run.stopped);
  EXPECT_EQ(run.failed, (std::vector<std::string>{"Optimize Menu Display", "Disable Default Share",
                                                  "Accelerate Turn Off Speed"}));
  EXPECT_FALSE(KeyExists(win::HKEY_CURRENT_USER, "Control Panel\\Desktop"));
  ScriptedDialogs dialogs;
  TellRun(kRunMessage, run);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text,
            "The backup file could not be written, so the optimization stopped:\rC:\\speed.ini\r"
            "These items could not be changed:\rOptimize Menu Display\rDisable Default Share\rAccelerate Turn Off Speed");
  EXPECT_EQ(dialogs.messages()[0].flags, 48u);
}

// Files that are no backup, or hold nothing left to restore, change nothing
// and say so; a used backup still puts its services back.
TEST(SystemSpeedTest, FilesThatAreNoBackupRestoreNothingAndSaySo) {
  std::string garbage;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 4096; ++i) {
    seed = seed * 1103515245 + 12345;
    garbage += static_cast<char>(seed >> 24);
  }
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {garbage, kNoBackupMessage},
      {"[Settings]\r\nF1=1\r\n", kNoBackupMessage},
      {"[best vision effect]\r\nF1=1\r\n[services]\r\nEventlog=4,0\r\n", kNoBackupMessage},
      {"[Best Vision Effect]\r\n", kNothingRestoredMessage},
      {"[Services]\r\nEventlog=4,0\r\n", kRestoredMessage},
  };
  for (const auto& c : cases) {
    TestMachine machine(std::string(kServicesReg) +
                        "\n[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\n\"MinAniMate\"=\"1\"\n");
    const std::string file = recovery::RepairBackupFolder() + "speedRestore1.ini";
    ASSERT_TRUE(win::ForceDirectories(recovery::RepairBackupFolder()));
    ASSERT_TRUE(win::WriteFileBytes(file, std::vector<std::uint8_t>(c.text.begin(), c.text.end())));
    const auto services = ServiceStates();
    const RawValue animate = ReadRaw(win::HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "MinAniMate");
    ScriptedDialogs dialogs;
    TellRestore(file, RestoreChoices(file));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text.substr(0, std::string(c.message).size()), c.message);
    EXPECT_EQ(ReadRaw(win::HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "MinAniMate"), animate);
    if (c.message != kRestoredMessage) {
      EXPECT_EQ(dialogs.messages()[0].flags, 48u);
      EXPECT_EQ(dialogs.messages()[0].text, std::string(c.message) + "\r" + file);
      EXPECT_EQ(ServiceStates(), services);
    } else {
      EXPECT_EQ(Start("Eventlog"), 4);
    }
  }
}

}  // namespace

namespace {

// The sample machine: 19 of the listed services, XP's dependencies, and the
// stock class of the AVI tweak; a full run on its most sweeping model comes
// back as it was.
TEST(SystemSpeedTest, SampleMachineRunAndRestore) {
  SampleMachine machine;
  ASSERT_TRUE(machine.Ready());
  const auto before = ServiceStates();
  int installed = 0;
  for (const auto& [name, state] : before) installed += state.empty() ? 0 : 1;
  EXPECT_EQ(installed, 19);
  EXPECT_EQ(before.at("WinDHCPsvc"), "");
  EXPECT_EQ(before.at("Irmon"), "");
  EXPECT_EQ(before.at("Messenger"), "4,0");
  EXPECT_TRUE(KeyExists(win::HKEY_CLASSES_ROOT, "CLSID\\{87D62D94-71B3-4b9a-9489-5FE6850DC73E}\\InprocServer32"));

  // upnphost depends on SSDPSRV: with it running, SSDPSRV cannot stop.
  StartService("SSDPSRV");
  StartService("upnphost");
  EXPECT_FALSE(DisableService("SSDPSRV"));
  win::DWORD error = 0;
  ASSERT_TRUE(StopServiceByName("upnphost", &error));
  ASSERT_TRUE(StopServiceByName("SSDPSRV", &error));
  ASSERT_TRUE(SetServiceStartType(1, ServiceKeyPath("SSDPSRV")));

  SpeedBackupFileName = SpeedBackupName(TDateTime{2026, 12, 10, 16, 0, 0});
  ServiceTicks services{};
  TweakTicks tweaks{};
  SetServiceBoxesForModel(4, services);
  SetTweakBoxesForModel(4, tweaks);
  const RunResult run = ApplyChoices(services, tweaks);
  EXPECT_TRUE(run.backupWritten);
  EXPECT_EQ(run.failed, std::vector<std::string>{});
  EXPECT_NE(ServiceStates(), before);
  EXPECT_EQ(RestoreChoices(SpeedBackupFileName).failed, std::vector<std::string>{});
  EXPECT_EQ(ServiceStates(), before);
  EXPECT_EQ(win::OpenServiceHandleCount(), 0u);
}

}  // namespace
