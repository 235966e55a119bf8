#pragma once
// Where start-up gets the shared data module (tray menu, image lists, HTTP
// client, timers). Until the real data module exists, DataModuleFactory.cpp
// makes a stand-in that does what its creation must do first: detect the
// platform. The real one then runs CheckForUpdates(silent) when
// Settings.CheckUpdate is set; an accepted update calls TerminateApplication.

#include <memory>

class QObject;

std::unique_ptr<QObject> NewDataModule();
