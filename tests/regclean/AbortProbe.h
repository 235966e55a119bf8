#pragma once
// Presses Abort while a scanner lets messages through, and checks that the
// scanner neither found nor counted anything afterwards. Also the repair log
// as readable lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/RegistryContentUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean::test {

class AbortProbe {
 public:
  // Aborts at the atMessage-th letting-through of messages from now on.
  AbortProbe(int atMessage, const TRegistryContents& found) : found_(found) {
    ScanState = 0;
    SetProcessMessagesHook([this, atMessage] {
      if (++messages_ != atMessage) return;
      ScanState = 2;
      countAtStop_ = found_.Count();
      itemsAtStop_ = ItemsProcessed;
    });
  }
  ~AbortProbe() { SetProcessMessagesHook(nullptr); }
  AbortProbe(const AbortProbe&) = delete;
  AbortProbe& operator=(const AbortProbe&) = delete;

  // Something was found before the stop, less than `all`, and nothing was
  // found or counted after it.
  void ExpectStoppedAtOnce(int all) const {
    ASSERT_GE(countAtStop_, 1) << "the stop came before any finding";
    EXPECT_EQ(found_.Count(), countAtStop_);
    EXPECT_EQ(ItemsProcessed, itemsAtStop_);
    EXPECT_LT(found_.Count(), all);
  }

 private:
  const TRegistryContents& found_;
  int messages_ = 0;
  int countAtStop_ = -1;
  int itemsAtStop_ = -1;
};

// "key path | result" for each repair-log line.
inline std::vector<std::string> LogLines(const TRepairContents& log) {
  std::vector<std::string> lines;
  for (int i = 0; i < log.Count(); ++i)
    lines.push_back(log.GetItem(i).Content.KeyPath + " | " + log.GetItem(i).Content.Result);
  return lines;
}

}  // namespace regclean::test
