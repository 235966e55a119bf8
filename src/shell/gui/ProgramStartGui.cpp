#include "shell/gui/ProgramStartGui.h"

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QWidget>

#include "platform/shell/Shell.h"
#include "shell/gui/DataModuleFactory.h"
#include "shell/gui/MachineMessageServer.h"
#include "shell/gui/MainWindowFactory.h"

QtStartupSteps::QtStartupSteps(QApplication& app) : app_(app) {}

QtStartupSteps::~QtStartupSteps() {
  mainWindow_.reset();
  dataModule_.reset();
}

void QtStartupSteps::SetTitle(const std::string& title) {
  // The application name, not a display name: Qt appends a display name to
  // every window caption on X11.
  app_.setApplicationName(QString::fromStdString(title));
}

void QtStartupSteps::CreateDataModule() { dataModule_ = NewDataModule(); }

void QtStartupSteps::CreateMainWindow() { mainWindow_ = NewMainForm(); }

void QtStartupSteps::RunMessageLoop() {
  if (ApplicationTerminated()) return;
  if (mainWindow_) mainWindow_->show();
  app_.exec();
}

bool QtMainWindowMessages::IsMinimised() const {
  return window_ && (window_->isMinimized() || window_->isHidden());
}

void QtMainWindowMessages::ShowAndRestore() {
  if (!window_) return;
  window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void ConnectMachineMessages(MachineMessageServer& server, const QtStartupSteps& steps) {
  QObject::connect(&server, &MachineMessageServer::MessageReceived, &server,
                   [&steps](unsigned message) {
                     QtMainWindowMessages window(steps.MainWindow());
                     HandleMainWindowMessage(message, window);
                   });
}

void InstallQtTerminateHandler() {
  // exit(), not quit(): quit() first asks every window to close, and the
  // main window refuses to close (it hides to the tray instead).
  SetTerminateHandler([] {
    if (QCoreApplication::instance()) QCoreApplication::exit(0);
  });
}

void InstallProgramRestarter(const QString& executable, const QString& machineFolder) {
  win::SetProgramRestarter([executable, machineFolder](const std::string& parameters) {
    QProcess process;
    process.setProgram(executable);
    process.setArguments(QProcess::splitCommand(QString::fromStdString(parameters)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("FERNWICK_MACHINE", machineFolder);
    process.setProcessEnvironment(environment);
    return process.startDetached();
  });
}
