#include "platform/SystemRestore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestMachine.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Services.h"

using namespace win;

namespace {

std::string ServiceReg(int start) {
  return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\srservice]\n"
         "\"Type\"=dword:00000020\n"
         "\"Start\"=dword:0000000" + std::to_string(start) + "\n"
         "[HKEY_CURRENT_USER\\Software\\Test]\n"
         "\"Value\"=\"before\"\n";
}

std::string ReadValue(RegistryStore& store) {
  TRegistry registry(store, KEY_READ);
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly("\\Software\\Test")) return "<no key>";
  return registry.ReadString("Value").value_or("<none>");
}

void WriteValue(const std::string& text) {
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey("\\Software\\Test", false));
  ASSERT_TRUE(registry.WriteString("Value", text));
}

std::string Snapshot(const TestMachine& machine, const std::string& seq) {
  return machine.folder() + "/RestorePoints/RP" + seq + ".db";
}

// The registry as the next opening of the machine finds it.
std::string ValueAfterReopening(const TestMachine& machine) {
  std::string error;
  auto reopened = Machine::Open(machine.folder(), error);
  if (!reopened) return "<" + error + ">";
  return ReadValue(reopened->Registry());
}

}  // namespace

TEST(SystemRestore, PointIsListedAndRestoredAtTheNextOpening) {
  TestMachine machine(ServiceReg(2));
  const std::string before = WmiDateTimeText(CurrentFileTime() - 10000000);
  ASSERT_EQ(CreateRestorePoint("Before the change", 0, 100), 0u);
  const std::string after = WmiDateTimeText(CurrentFileTime() + 10000000);
  std::vector<RestorePoint> points;
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].Description, "Before the change");
  EXPECT_EQ(points[0].RestorePointType, 0u);
  EXPECT_EQ(points[0].SequenceNumber, "1");
  EXPECT_EQ(points[0].CreationTime.size(), 25u);
  EXPECT_EQ(points[0].CreationTime.substr(21), "+000");
  EXPECT_GE(points[0].CreationTime, before);
  EXPECT_LE(points[0].CreationTime, after);

  WriteValue("after");
  ASSERT_EQ(RestoreToPoint(1), 0u);
  EXPECT_EQ(ReadValue(machine.machine().Registry()), "after");  // only at the next opening
  EXPECT_EQ(ValueAfterReopening(machine), "before");
  WriteValue("later");
  EXPECT_EQ(ValueAfterReopening(machine), "later");  // applied once

  ASSERT_EQ(CreateRestorePoint("Second", 12, 100), 0u);
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[1].SequenceNumber, "2");
  ASSERT_TRUE(std::filesystem::exists(Snapshot(machine, "1")));
  EXPECT_EQ(DeleteRestorePoint(1), 0u);
  // Nothing of the restored point stays behind.
  for (const auto& entry : std::filesystem::directory_iterator(machine.folder() + "/RestorePoints")) {
    EXPECT_NE(entry.path().filename().string().rfind("RP1.", 0), 0u) << entry.path();
  }
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].Description, "Second");
  EXPECT_NE(DeleteRestorePoint(1), 0u);
}

TEST(SystemRestore, BadRequestsFailAndLeaveTheRegistryAlone) {
  TestMachine machine(ServiceReg(2));
  ASSERT_EQ(CreateRestorePoint("one", 0, 100), 0u);
  ASSERT_EQ(CreateRestorePoint(std::string(1000, 'x') + "\r\n\t", 0, 100), 0u);
  ASSERT_EQ(CreateRestorePoint("three", 0, 100), 0u);
  WriteValue("changed");
  EXPECT_EQ(RestoreToPoint(99), ERROR_INVALID_PARAMETER);
  std::filesystem::remove(Snapshot(machine, "1"));
  EXPECT_EQ(RestoreToPoint(1), ERROR_FILE_NOT_FOUND);
  {
    std::ofstream damaged(Snapshot(machine, "2"), std::ios::binary | std::ios::trunc);
    damaged << std::string(8192, '\x5a');
  }
  EXPECT_NE(RestoreToPoint(2), 0u);
  EXPECT_EQ(ValueAfterReopening(machine), "changed");

  // A snapshot damaged after the restore was asked for is not put in place.
  ASSERT_EQ(RestoreToPoint(3), 0u);
  {
    std::ofstream damaged(Snapshot(machine, "3"), std::ios::binary | std::ios::trunc);
    damaged << std::string(8192, '\x5a');
  }
  std::string error;
  auto reopened = Machine::Open(machine.folder(), error);
  ASSERT_TRUE(reopened) << error;
  EXPECT_EQ(ReadValue(reopened->Registry()), "changed");
  EXPECT_NE(reopened->RestoreError().find("restore point 3"), std::string::npos) << reopened->RestoreError();
  reopened.reset();
  // Told once: the request is gone.
  reopened = Machine::Open(machine.folder(), error);
  ASSERT_TRUE(reopened) << error;
  EXPECT_EQ(reopened->RestoreError(), "");
}

TEST(SystemRestore, StoppedServiceFailsEveryCall) {
  TestMachine machine(ServiceReg(3));
  std::vector<RestorePoint> points;
  EXPECT_NE(ListRestorePoints(points), 0u);
  EXPECT_NE(CreateRestorePoint("x", 0, 100), 0u);
  EXPECT_NE(RestoreToPoint(1), 0u);
  EXPECT_NE(DeleteRestorePoint(1), 0u);
  EXPECT_FALSE(std::filesystem::exists(machine.folder() + "/RestorePoints/RP1.db"));
  TestMachine noService;
  EXPECT_EQ(CreateRestorePoint("x", 0, 100), ERROR_SERVICE_NOT_ACTIVE);
}

TEST(SystemRestore, RecipePointsAreMadeWithTheMachine) {
  TestMachine machine(ServiceReg(2), "",
                      TestMachine::DefaultConfigText() +
                          "[RestorePoints]\r\n1=2026-11-02 10:15:00,0,Installed, with a comma\r\n"
                          "2=2026-11-03 08:00:00,13,Cancelled\r\n");
  std::vector<RestorePoint> points;
  ASSERT_EQ(ListRestorePoints(points), 0u);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].CreationTime, "20261102101500.000000+000");
  EXPECT_EQ(points[0].Description, "Installed, with a comma");
  EXPECT_EQ(points[1].RestorePointType, 13u);
  WriteValue("changed");
  ASSERT_EQ(RestoreToPoint(1), 0u);
  EXPECT_EQ(ValueAfterReopening(machine), "before");
}
