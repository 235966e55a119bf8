#pragma once
// Where start-up gets the shared data module (tray menu, image lists, HTTP
// client, timers): a TDM (gui/DM.h). Its creation detects the platform and,
// when Settings.CheckUpdate is set, runs the silent update check (an accepted
// update ends the program through TerminateApplication).

#include <memory>

class QObject;

std::unique_ptr<QObject> NewDataModule();
