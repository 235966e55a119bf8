#include "shell/gui/DataModuleFactory.h"

#include <QObject>

#include "shell/PublicFunctionUnit.h"

std::unique_ptr<QObject> NewDataModule() {
  auto dataModule = std::make_unique<QObject>();
  dataModule->setObjectName("DM");
  DetectPlatform();
  return dataModule;
}
