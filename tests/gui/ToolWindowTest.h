#pragma once
// Fixture of the tool-window tests: fresh shared state and settings (no
// update check) before each test, no message hook or quit request left after.

#include <gtest/gtest.h>

#include "GuiTestApp.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

class ToolWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApp();
    ResetSharedState();
    LoadSettings();
    Settings.CheckUpdate = false;
  }
  void TearDown() override {
    SetProcessMessagesHook(nullptr);
    ResetSharedState();
    ResetTerminateRequest();
  }
};
