#pragma once
// Where start-up gets the shared data module (tray menu, image lists, HTTP
// client, timers). Until the real data module exists, DataModuleFactory.cpp
// makes a stand-in that does what its creation does: detect the platform and,
// when Settings.CheckUpdate is set, run the silent update check (an accepted
// update ends the program through TerminateApplication).

#include <memory>

class QObject;

std::unique_ptr<QObject> NewDataModule();
