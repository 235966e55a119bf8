#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "GuiTestApp.h"
#include "TestMachine.h"
#include "platform/registry/Registry.h"
#include "platform/system/SystemRestore.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/MachineMessageServer.h"
#include "shell/gui/ProgramStartGui.h"

namespace {

// Stands for a main window that hides to the tray instead of closing.
class RefuseClose : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Close) return false;
    event->ignore();
    return true;
  }
};

TEST(MachineMessages, ReachTheServerOfThatMachineOnly) {
  GuiApp();
  QTemporaryDir machineA, machineB;
  MachineMessageServer server;
  ASSERT_TRUE(server.Listen(machineA.path()));
  std::vector<unsigned> received;
  QObject::connect(&server, &MachineMessageServer::MessageReceived,
                   [&](unsigned message) { received.push_back(message); });

  EXPECT_TRUE(SendMachineMessage(machineA.path() + "/.", 0x2400));
  EXPECT_TRUE(SendMachineMessage(machineA.path(), 0x1500));
  EXPECT_FALSE(SendMachineMessage(machineB.path(), 0x1500, 200));
  EXPECT_TRUE(ProcessEventsUntil([&] { return received.size() >= 2; }));
  EXPECT_EQ(received, (std::vector<unsigned>{0x2400, 0x1500}));
}

TEST(MachineMessages, OneListenerPerMachine) {
  GuiApp();
  QTemporaryDir folder;
  auto first = std::make_unique<MachineMessageServer>();
  ASSERT_TRUE(first->Listen(folder.path()));
  MachineMessageServer second;
  EXPECT_FALSE(second.Listen(folder.path()));
  first.reset();
  MachineMessageServer third;
  EXPECT_TRUE(third.Listen(folder.path()));
}

// A restore asked for in the last session is put in place only by the copy
// that starts alone; a copy started while another runs leaves it pending.
TEST(MachineMessages, OnlyACopyStartingAloneRestoresThePendingPoint) {
  GuiApp();
  TestMachine machine(
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\srservice]\n\"Type\"=dword:00000020\n\"Start\"=dword:00000002\n"
      "[HKEY_CURRENT_USER\\Software\\Test]\n\"Value\"=\"before\"\n");
  const auto value = [](win::Machine& opened) {
    win::TRegistry registry(opened.Registry(), win::KEY_READ);
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    return registry.OpenKeyReadOnly("\\Software\\Test") ? registry.ReadString("Value").value_or("") : "";
  };
  ASSERT_EQ(win::CreateRestorePoint("Before", 0, 100), 0u);
  {
    win::TRegistry registry;
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Test", false));
    ASSERT_TRUE(registry.WriteString("Value", "after"));
  }
  ASSERT_EQ(win::RestoreToPoint(1), 0u);

  auto running = std::make_unique<MachineMessageServer>();
  ASSERT_TRUE(running->Listen(QString::fromStdString(machine.folder())));
  std::string error;
  {
    MachineMessageServer messages;
    auto second = OpenMachineAtStart(machine.folder(), messages, error);
    ASSERT_TRUE(second) << error;
    EXPECT_EQ(value(*second), "after");
    EXPECT_EQ(second->RestoreError(), "");
  }
  running.reset();  // the running copy ends
  MachineMessageServer messages;
  auto next = OpenMachineAtStart(machine.folder(), messages, error);
  ASSERT_TRUE(next) << error;
  EXPECT_EQ(value(*next), "before");
  EXPECT_FALSE(messages.SocketName().isEmpty());
}

TEST(MachineMessages, TitleLeavesWindowCaptionsAlone) {
  QApplication& app = GuiApp();
  const QString name = app.applicationName();
  app.setApplicationDisplayName(QStringLiteral("before"));
  int displayNameChanges = 0;
  const auto connection = QObject::connect(&app, &QGuiApplication::applicationDisplayNameChanged,
                                           [&] { ++displayNameChanges; });
  QtStartupSteps steps(app);
  steps.SetTitle("Fernwick");
  QObject::disconnect(connection);
  app.setApplicationDisplayName(QString());
  EXPECT_EQ(app.applicationName(), QStringLiteral("Fernwick"));
  // On X11 a display name is appended to every caption ("About — Fernwick").
  EXPECT_EQ(displayNameChanges, 0);
  app.setApplicationName(name);
}

TEST(MachineMessages, RestoreAndQuitTheRunningProgram) {
  GuiApp();
  TestMachine machine;
  ResetSharedState();
  ResetTerminateRequest();
  InstallQtTerminateHandler();
  SetProgramArguments({});
  const QString folder = QString::fromStdString(machine.folder());

  QtStartupSteps steps(GuiApp());
  MachineMessageServer server;
  ASSERT_TRUE(server.Listen(folder));
  ConnectMachineMessages(server, steps);

  bool restored = false;
  bool visibleWindowUntouched = false;
  RefuseClose refuseClose;
  QTimer::singleShot(0, [&] {
    QWidget* window = steps.MainWindow();
    ASSERT_NE(window, nullptr);
    window->installEventFilter(&refuseClose);
    window->hide();
    SendMachineMessage(folder, 0x2400);
    ProcessEventsUntil([&] { return window->isVisible(); });
    restored = window->isVisible();
    // A visible window is left as it is.
    window->move(10, 20);
    SendMachineMessage(folder, 0x2400);
    QCoreApplication::processEvents();
    visibleWindowUntouched = window->isVisible() && !window->isMinimized();
    SendMachineMessage(folder, 0x1500);
  });
  bool timedOut = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    timedOut = true;
    QCoreApplication::exit(2);
  });
  watchdog.start(5000);

  EXPECT_EQ(RunStartup(steps), StartupOutcome::Ran);
  EXPECT_FALSE(timedOut) << "the quit message did not end the loop";
  EXPECT_TRUE(restored);
  EXPECT_TRUE(visibleWindowUntouched);
  EXPECT_TRUE(ApplicationTerminated());
  EXPECT_EQ(Settings.HomePage, BuiltInHomePage);
  EXPECT_EQ(PlatformCode, 4);
  ResetTerminateRequest();
  ResetSharedState();
}

}  // namespace
