#pragma once
// The window library's side of start-up: the steps RunStartup drives, the
// main window's answers to messages from other processes, quitting the
// message loop, and the restarter that "runas" uses.

#include <QString>
#include <memory>

#include "shell/ProgramStartUnit.h"

class QApplication;
class QObject;
class QWidget;
class MachineMessageServer;

class QtStartupSteps : public StartupSteps {
 public:
  explicit QtStartupSteps(QApplication& app);
  ~QtStartupSteps() override;
  QtStartupSteps(const QtStartupSteps&) = delete;
  QtStartupSteps& operator=(const QtStartupSteps&) = delete;

  void SetTitle(const std::string& title) override;
  void CreateDataModule() override;
  void CreateMainWindow() override;
  // Shows the main window and runs the loop, unless a quit came first.
  void RunMessageLoop() override;

  QWidget* MainWindow() const { return mainWindow_.get(); }

 private:
  QApplication& app_;
  std::unique_ptr<QObject> dataModule_;
  std::unique_ptr<QWidget> mainWindow_;
};

// The main window as MainWindowMessages sees it; null windows are never
// minimised.
class QtMainWindowMessages : public MainWindowMessages {
 public:
  explicit QtMainWindowMessages(QWidget* window) : window_(window) {}
  bool IsMinimised() const override;
  void ShowAndRestore() override;

 private:
  QWidget* window_;
};

// Hands every message the server receives to HandleMainWindowMessage for the
// steps' main window (once it exists).
void ConnectMachineMessages(MachineMessageServer& server, const QtStartupSteps& steps);

// TerminateApplication leaves the Qt message loop.
void InstallQtTerminateHandler();

// "runas" of the program starts this executable again, detached, on the
// same machine folder.
void InstallProgramRestarter(const QString& executable, const QString& machineFolder);
