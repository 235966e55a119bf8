#include <gtest/gtest.h>

#include <string>

#include "TestMachine.h"
#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"
#include "platform/system/Services.h"

using namespace win;

namespace {

// Auto (running), demand (stopped), disabled, a key without "Type" (not
// installed), and a running service that depends on Dep.
const char* const kServicesReg = R"(
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Auto]
"Type"=dword:00000020
"Start"=dword:00000002

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Demand]
"Type"=dword:00000020
"Start"=dword:00000003

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Off]
"Type"=dword:00000010
"Start"=dword:00000004

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\NoType]
"Start"=dword:00000002

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Dep]
"Type"=dword:00000020
"Start"=dword:00000002

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\User]
"Type"=dword:00000020
"Start"=dword:00000002
"DependOnService"=hex(7):52,70,63,00,64,45,50,00,00
)";

// Opens the manager and one service with the given rights; closes both.
class ServiceHandles {
 public:
  ServiceHandles(const char* name, DWORD access, DWORD managerAccess = SC_MANAGER_ALL_ACCESS) {
    manager = OpenSCManager(nullptr, nullptr, managerAccess);
    if (manager != 0) service = OpenService(manager, name, access);
    error = GetLastError();
  }
  ~ServiceHandles() {
    if (service != 0) CloseServiceHandle(service);
    if (manager != 0) CloseServiceHandle(manager);
  }
  SC_HANDLE manager = 0;
  SC_HANDLE service = 0;
  DWORD error = 0;
};

DWORD State(const char* name) {
  ServiceHandles h(name, SERVICE_QUERY_STATUS, SC_MANAGER_CONNECT);
  SERVICE_STATUS status;
  if (h.service == 0 || !QueryServiceStatus(h.service, status)) return 0;
  return status.dwCurrentState;
}

void SetStart(const char* name, int start) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(std::string("\\SYSTEM\\CurrentControlSet\\Services\\") + name, false));
  ASSERT_TRUE(reg.WriteInteger("Start", start));
}

TEST(ServicesTest, InstalledServicesRunAsTheirStartTypeSaidWhenTheMachineWasMade) {
  TestMachine machine(kServicesReg);
  // Changing "Start" later changes what the next boot would do, not what runs.
  SetStart("Auto", 4);
  SetStart("Demand", 2);
  const struct {
    const char* name;
    DWORD state;
  } cases[] = {{"Auto", SERVICE_RUNNING}, {"auto", SERVICE_RUNNING}, {"Demand", SERVICE_STOPPED},
               {"Off", SERVICE_STOPPED}, {"Dep", SERVICE_RUNNING}};
  for (const auto& c : cases) EXPECT_EQ(State(c.name), c.state) << c.name;

  for (const char* missing : {"NoType", "WinDHCPsvc"}) {
    ServiceHandles h(missing, SERVICE_ALL_ACCESS);
    EXPECT_NE(h.manager, 0u);
    EXPECT_EQ(h.service, 0u) << missing;
    EXPECT_EQ(h.error, ERROR_SERVICE_DOES_NOT_EXIST) << missing;
  }
  EXPECT_EQ(OpenServiceHandleCount(), 0u);
}

TEST(ServicesTest, StartReadsTheStartTypeAtCallTime) {
  TestMachine machine(kServicesReg);
  {
    ServiceHandles h("Demand", SERVICE_ALL_ACCESS);
    SetStart("Demand", 4);
    EXPECT_FALSE(StartService(h.service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DISABLED);
    SetStart("Demand", 3);
    EXPECT_TRUE(StartService(h.service, 0, nullptr));
    EXPECT_FALSE(StartService(h.service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
  }
  EXPECT_EQ(State("Demand"), SERVICE_RUNNING);

  // The state is the machine's: a second opening of it sees it.
  std::string error;
  auto again = Machine::Open(machine.folder(), error);
  ASSERT_NE(again, nullptr) << error;
  SetCurrentMachine(again.get());
  EXPECT_EQ(State("Demand"), SERVICE_RUNNING);
  SetCurrentMachine(&machine.machine());
}

TEST(ServicesTest, StopRefusesStoppedServicesAndOnesARunningServiceDependsOn) {
  TestMachine machine(kServicesReg);
  ServiceHandles dep("dep", SERVICE_ALL_ACCESS);
  ServiceHandles user("User", SERVICE_ALL_ACCESS);
  ServiceHandles demand("Demand", SERVICE_ALL_ACCESS);
  SERVICE_STATUS status;

  EXPECT_FALSE(ControlService(demand.service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);

  EXPECT_FALSE(ControlService(dep.service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(GetLastError(), ERROR_DEPENDENT_SERVICES_RUNNING);
  EXPECT_EQ(State("Dep"), SERVICE_RUNNING);

  EXPECT_TRUE(ControlService(user.service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_TRUE(ControlService(dep.service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(State("Dep"), SERVICE_STOPPED);
  EXPECT_EQ(status.dwServiceType, 0x20u);

  EXPECT_FALSE(ControlService(dep.service, 99, status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_SERVICE_CONTROL);
}

TEST(ServicesTest, ReadOnlyServicesKeyAllowsQueriesOnly) {
  TestMachine machine(kServicesReg, "",
                      TestMachine::DefaultConfigText() +
                          "\n[ReadOnlyKeys]\n1=HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\n");
  {
    ServiceHandles full("Auto", SERVICE_ALL_ACCESS);
    EXPECT_EQ(full.manager, 0u);
    EXPECT_EQ(full.error, ERROR_ACCESS_DENIED);
  }
  {
    ServiceHandles full("Auto", SERVICE_ALL_ACCESS, SC_MANAGER_CONNECT);
    EXPECT_NE(full.manager, 0u);
    EXPECT_EQ(full.service, 0u);
    EXPECT_EQ(full.error, ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(State("Auto"), SERVICE_RUNNING);
  EXPECT_EQ(OpenServiceHandleCount(), 0u);
}

TEST(ServicesTest, HandlesNeedTheRightForEachCallAndCloseOnce) {
  TestMachine machine(kServicesReg);
  ServiceHandles h("Demand", SERVICE_QUERY_STATUS);
  ASSERT_NE(h.service, 0u);
  SERVICE_STATUS status;
  EXPECT_FALSE(StartService(h.service, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ControlService(h.service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // A manager handle is no service handle, and a closed handle is gone.
  EXPECT_FALSE(QueryServiceStatus(h.manager, status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenService(h.service, "Auto", SERVICE_QUERY_STATUS), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenService(h.manager, "..\\Auto", SERVICE_QUERY_STATUS), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_EQ(OpenSCManager("OTHER-PC", nullptr, SC_MANAGER_CONNECT), 0u);

  const SC_HANDLE extra = OpenService(h.manager, "Auto", SERVICE_QUERY_STATUS);
  EXPECT_EQ(OpenServiceHandleCount(), 3u);
  EXPECT_TRUE(CloseServiceHandle(extra));
  EXPECT_FALSE(CloseServiceHandle(extra));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenServiceHandleCount(), 2u);
}

}  // namespace
