#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
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
  // A new pump runs at once; a second run within its interval is optional.
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.front(), "pump");
  EXPECT_EQ(log.back(), "abort pressed");

  const std::size_t before = log.size();
  SetProcessMessagesHook({});
  SetMessagePump({});
  ProcessMessages();
  EXPECT_EQ(log.size(), before);
  EXPECT_EQ(ProcessMessagesCount(), 3);
  ResetProcessMessagesCount();
}

TEST(MessagePump, PumpRunsAboutEvery10MsAndTheHookOnEveryCall) {
  int pumps = 0;
  int hooks = 0;
  SetMessagePump([&] { ++pumps; });
  SetProcessMessagesHook([&] { ++hooks; });
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20000; ++i) ProcessMessages();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(hooks, 20000);
  EXPECT_GE(pumps, 1);
  EXPECT_LE(pumps, 1 + std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 10);
  // After a pause the next call lets messages through.
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
  const int pumpsBefore = pumps;
  ProcessMessages();
  EXPECT_EQ(pumps, pumpsBefore + 1);
  SetProcessMessagesHook({});
  SetMessagePump({});
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
