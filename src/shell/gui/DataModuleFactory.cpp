#include "shell/gui/DataModuleFactory.h"

#include "shell/gui/DMUnit.h"

std::unique_ptr<QObject> NewDataModule() { return std::make_unique<TDM>(); }
