#include <QApplication>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine/Machine.h"
#include "shell/Dialogs.h"
#include "shell/ProgramStartUnit.h"
#include "shell/gui/MachineMessageServer.h"
#include "shell/gui/ProgramStartGui.h"
#include "shell/gui/QtDialogs.h"
#include "shell/gui/QtMessagePump.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // Closing the main window hides it to the tray; the program ends only
  // through its quit paths.
  app.setQuitOnLastWindowClosed(false);

  QtDialogs dialogs;
  std::string error;
  MachineMessageServer messages;
  std::unique_ptr<win::Machine> machine = OpenMachineAtStart(win::DefaultMachineFolder(), messages, error);
  if (!machine) {
    dialogs.MessageBox(error, "Fernwick", MB_ICONERROR);
    return 1;
  }
  win::SetCurrentMachine(machine.get());
  SetCurrentDialogs(&dialogs);
  // "Restore" promised the point at this start: say so when it did not happen.
  if (!machine->RestoreError().empty())
    dialogs.MessageBox("The system could not be restored. No changes were made.\r" + machine->RestoreError(),
                       "Fernwick", MB_ICONWARNING);
  InstallQtMessagePump();
  InstallQtTerminateHandler();
  const QString machineFolder = QString::fromStdString(machine->Folder());
  InstallProgramRestarter(QCoreApplication::applicationFilePath(), machineFolder);

  std::vector<std::string> arguments;
  const QStringList appArguments = app.arguments();
  for (qsizetype i = 1; i < appArguments.size(); ++i)
    arguments.push_back(appArguments[i].toStdString());
  SetProgramArguments(std::move(arguments));

  {
    QtStartupSteps steps(app);
    ConnectMachineMessages(messages, steps);
    RunStartup(steps);
  }
  SetCurrentDialogs(nullptr);
  win::SetCurrentMachine(nullptr);
  return 0;
}
