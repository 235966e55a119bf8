#include <gtest/gtest.h>

#include "platform/text/WinTypes.h"

TEST(LastError, KeepsTheLastCodeSet) {
  win::SetLastError(win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
  win::SetLastError(win::ERROR_SUCCESS);
  EXPECT_EQ(win::GetLastError(), win::ERROR_SUCCESS);
}
