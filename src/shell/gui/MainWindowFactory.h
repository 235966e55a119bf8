#pragma once
// Where start-up gets the main window (the program's main form): a
// TFernwickForm (MainUnit.h). The main window:
//  - keeps a FirstActivation flag (true when created) and on every
//    activation calls MainWindowActivated(FirstActivation, <ScanNowBtnClick>);
//  - shows its "Scan" page on show, hides to the tray on close, removes the
//    tray icon when destroyed;
//  - quits through TerminateApplication (ProgramStartUnit.h).
// Messages 0x2400 and 0x1500 from other processes are wired to it by
// ConnectMachineMessages (ProgramStartGui.h).

#include <memory>

class QWidget;

std::unique_ptr<QWidget> NewMainForm();
