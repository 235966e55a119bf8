#include "shell/gui/DataModuleFactory.h"

#include <QObject>

#include "platform/Http.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/ShowLiveUpdateUnit.h"

namespace {

class ApplicationControl : public AppControl {
 public:
  void Terminate() override { TerminateApplication(); }
};

class StandInDataModule : public QObject {
 public:
  StandInDataModule() {
    setObjectName("DM");
    DetectPlatform();
    if (Settings.CheckUpdate) CheckForUpdates(UpdateCheckContext{http_, app_}, false);
  }

 private:
  win::HttpClient http_;
  ApplicationControl app_;
};

}  // namespace

std::unique_ptr<QObject> NewDataModule() { return std::make_unique<StandInDataModule>(); }
