#include "recovery/SysRestoreUnit.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "RecoveryFixture.h"
#include "platform/shell/Shell.h"
#include "shell/Dialogs.h"

namespace {

using namespace recovery;
using recovery::test::RegcleanTest;

// Local time is UTC while it lives.
class UtcZone {
 public:
  UtcZone() : saved_(std::getenv("TZ") != nullptr), previous_(saved_ ? std::getenv("TZ") : "") {
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  ~UtcZone() {
    if (saved_) setenv("TZ", previous_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  bool saved_;
  std::string previous_;
};

std::string ServiceReg(int start) {
  return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\srservice]\n"
         "\"Type\"=dword:00000020\n"
         "\"Start\"=dword:0000000" + std::to_string(start) + "\n";
}

class ListRecorder : public SysRestoreView {
 public:
  void ShowRestorePoints(const std::vector<RestorePointRow>& shown) override {
    rows = shown;
    ++refreshes;
  }
  std::vector<RestorePointRow> rows;
  int refreshes = 0;
};

class RestoreTool : public RegcleanTest {
 protected:
  void Machine(int start) { UseMachine(ServiceReg(start), ""); }
  ScriptedDialogs dialogs_;
  ListRecorder view_;
  UtcZone utc_;
};

}  // namespace

TEST_F(RestoreTool, CimTimesBecomeLocalTimes) {
  UseMachine("", "");
  struct Case {
    const char* cim;
    bool ok;
    const char* local;
  };
  const Case cases[] = {
      {"20261102101500.000000+060", true, "11/2/2026 9:15:00 AM"},
      {"20261102101500.123456-300", true, "11/2/2026 3:15:00 PM"},
      {"20261102101500.000000+000", true, "11/2/2026 10:15:00 AM"},
      {"20261231233000.000000-060", true, "1/1/2027 12:30:00 AM"},
      {"2026110210150.000000+000", false, ""},
      {"20261102101500.000000*000", false, ""},
      {"2026x102101500.000000+000", false, ""},
      {"20261302101500.000000+000", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    TDateTime local;
    EXPECT_EQ(CimDateTimeToLocal(c.cim, local), c.ok) << c.cim;
    if (c.ok) {
      EXPECT_EQ(FormatShortDateTime(local), c.local) << c.cim;
    }
  }
}

TEST_F(RestoreTool, OnlyCompletePointsOfOtherTypesThan13AreListed) {
  UseMachine("", "");
  const std::string time = "20261102101500.000000+000";
  const std::vector<win::RestorePoint> points = {
      {time, 0, "Manual", "1"},        {time, 1, "Installed App", "2"}, {time, 7, "Checkpoint", "3"},
      {time, 12, "Settings", "4"},     {time, 13, "Cancelled", "5"},    {time, 0, "  ", "6"},
      {"bad", 0, "No date", "7"},      {time, 0, "No number", " "},
  };
  std::vector<std::string> shown;
  for (const RestorePointRow& row : RestorePointRows(points)) {
    shown.push_back(row.Description + "|" + row.SequenceNumber + "|" + row.DateText);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"Manual|1|11/2/2026 10:15:00 AM",
                                             "Installed App|2|11/2/2026 10:15:00 AM",
                                             "Checkpoint|3|11/2/2026 10:15:00 AM",
                                             "Settings|4|11/2/2026 10:15:00 AM"}));
}

TEST_F(RestoreTool, ServiceStateDecidesWhetherPointsAreListed) {
  struct Case {
    std::string reg;
    int state;
  };
  const Case cases[] = {{ServiceReg(2), 4}, {ServiceReg(3), 1}, {ServiceReg(4), 1}, {"", -1}};
  for (const Case& c : cases) {
    UseMachine(c.reg, "");
    EXPECT_EQ(GetRestoreServiceState(), c.state) << c.reg;
    dialogs_.clear();
    EXPECT_EQ(ShowRestoreTool(view_), c.state == 4);
    if (c.state != 4) {
      ASSERT_EQ(dialogs_.messages().size(), 1u);
      EXPECT_EQ(dialogs_.messages()[0].text, kRestoreServiceMessage);
      EXPECT_EQ(dialogs_.messages()[0].flags, MB_OK | MB_ICONWARNING);
      EXPECT_TRUE(view_.rows.empty());
    }
  }
}

TEST_F(RestoreTool, CreateRestoreAndDelete) {
  Machine(2);
  dialogs_.setNextInput(std::nullopt);  // Cancel
  EXPECT_FALSE(CreateRestorePointAction(view_));
  EXPECT_TRUE(dialogs_.messages().empty());
  EXPECT_EQ(view_.refreshes, 0);

  dialogs_.setNextInput(std::string("Before repair"));
  EXPECT_TRUE(CreateRestorePointAction(view_));
  ASSERT_EQ(dialogs_.inputRequests().size(), 2u);
  EXPECT_EQ(dialogs_.inputRequests()[1].caption, "Please Enter");
  EXPECT_EQ(dialogs_.inputRequests()[1].prompt, "System Backup Name");
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0].Description, "Before repair");
  EXPECT_EQ(dialogs_.messages().back().text, kPointCreatedMessage);

  dialogs_.clear();
  EXPECT_FALSE(RestoreAction(view_, ""));
  EXPECT_FALSE(RestoreAction(view_, "abc"));
  EXPECT_FALSE(RestoreAction(view_, "42"));
  ASSERT_EQ(dialogs_.messages().size(), 3u);
  EXPECT_EQ(dialogs_.messages()[0].text, kNoPointToRestoreMessage);
  EXPECT_EQ(dialogs_.messages()[1].text, kPointRestoreFailedMessage);
  EXPECT_EQ(dialogs_.messages()[2].text, kPointRestoreFailedMessage);

  dialogs_.clear();
  dialogs_.setNextAnswer(IDNO);
  EXPECT_TRUE(RestoreAction(view_, view_.rows[0].SequenceNumber));
  EXPECT_TRUE(win::ShellLog().empty());
  dialogs_.setNextAnswer(IDYES);
  EXPECT_TRUE(RestoreAction(view_, view_.rows[0].SequenceNumber));
  ASSERT_EQ(dialogs_.messages().size(), 2u);
  EXPECT_EQ(dialogs_.messages()[1].text, kRestoredRebootQuestion);
  EXPECT_EQ(dialogs_.messages()[1].flags, MB_YESNO | MB_ICONWARNING);
  const auto log = win::ShellLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "ExitWindowsEx\t2\t0\tok");

  dialogs_.clear();
  EXPECT_FALSE(DeleteAction(view_, ""));
  EXPECT_TRUE(dialogs_.messages().empty());
  EXPECT_TRUE(DeleteAction(view_, view_.rows[0].SequenceNumber));
  EXPECT_EQ(dialogs_.messages().back().text, kPointRemovedMessage);
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_FALSE(DeleteAction(view_, "1"));
  EXPECT_EQ(dialogs_.messages().back().text, kPointRemoveFailedMessage);
}
