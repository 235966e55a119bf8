#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/BusyGuard.h"
#include "shell/MessagePump.h"

TEST(BusyGuard, HeldWhileAnyOperationRuns) {
  EXPECT_FALSE(IsBusy());
  {
    BusyGuard scan;
    EXPECT_TRUE(IsBusy());
    {
      BusyGuard nested;
      EXPECT_EQ(BusyDepth(), 2);
    }
    EXPECT_TRUE(IsBusy());
  }
  EXPECT_FALSE(IsBusy());
}

TEST(BusyGuard, IdleWorkWaitsForTheLastGuard) {
  std::vector<std::string> log;
  RunWhenIdle([&] { log.push_back("now"); });
  EXPECT_EQ(log, std::vector<std::string>{"now"});
  {
    BusyGuard outer;
    {
      BusyGuard inner;
      RunWhenIdle([&] { log.push_back("quit"); });
      RunWhenIdle([&] { log.push_back("after quit"); });
    }
    EXPECT_EQ(log.size(), 1u) << "still busy";
    log.push_back("loop unwound");
  }
  EXPECT_EQ(log, (std::vector<std::string>{"now", "loop unwound", "quit", "after quit"}));
}

TEST(MessagePump, RunsPumpThenHookAndCounts) {
  std::vector<std::string> log;
  SetMessagePump([&] { log.push_back("pump"); });
  int entries = 0;
  SetProcessMessagesHook([&] {
    if (++entries == 2) log.push_back("abort pressed");
  });
  ResetProcessMessagesCount();
  ProcessMessages();
  ProcessMessages();
  EXPECT_EQ(ProcessMessagesCount(), 2);
  EXPECT_EQ(log, (std::vector<std::string>{"pump", "pump", "abort pressed"}));

  SetProcessMessagesHook({});
  SetMessagePump({});
  ProcessMessages();
  EXPECT_EQ(log.size(), 3u);
  EXPECT_EQ(ProcessMessagesCount(), 3);
  ResetProcessMessagesCount();
}

TEST(MessagePump, HookMayReplaceItself) {
  int first = 0, second = 0;
  SetProcessMessagesHook([&] {
    ++first;
    SetProcessMessagesHook([&] { ++second; });
  });
  ProcessMessages();
  ProcessMessages();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
  SetProcessMessagesHook({});
}
