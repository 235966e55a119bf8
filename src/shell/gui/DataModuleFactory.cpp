#include "shell/gui/DataModuleFactory.h"

#include "shell/gui/DM.h"

std::unique_ptr<QObject> NewDataModule() { return std::make_unique<TDM>(); }
