// Only the eight catalogued values act; the values between them and around
// the span do nothing.
#include <gtest/gtest.h>

#include "RunMessageTable.h"
#include "WindowMessages.h"

namespace morvak {
namespace {

TEST(RunMessageTable, TheEightValuesAndTheirActions) {
  EXPECT_EQ(RunMessageActionOf(1124), RunMessageAction::SyncFields);
  EXPECT_EQ(RunMessageActionOf(1129), RunMessageAction::StatusLine);
  EXPECT_EQ(RunMessageActionOf(1134), RunMessageAction::ProgressPos);
  EXPECT_EQ(RunMessageActionOf(1139), RunMessageAction::ProgressRange);
  EXPECT_EQ(RunMessageActionOf(1144), RunMessageAction::RunSucceeded);
  EXPECT_EQ(RunMessageActionOf(1149), RunMessageAction::RunFailed);
  EXPECT_EQ(RunMessageActionOf(1154), RunMessageAction::DisableStop);
  EXPECT_EQ(RunMessageActionOf(1159), RunMessageAction::EnableStop);
}

TEST(RunMessageTable, EveryOtherValueDoesNothing) {
  int acting = 0;
  for (uint32_t m = 0; m < 5000; ++m) {
    const bool catalogued = m >= 1124 && m <= 1159 && (m - 1124) % 5 == 0;
    if (!catalogued) {
      EXPECT_EQ(RunMessageActionOf(m), RunMessageAction::None) << m;
    } else {
      ++acting;
    }
  }
  EXPECT_EQ(acting, 8);
  for (uint32_t m : {0xFFFFFFFFu, 1124u - 1u, 1124u + 36u, 1124u + 0x80000000u})
    EXPECT_EQ(RunMessageActionOf(m), RunMessageAction::None) << m;
}

}  // namespace
}  // namespace morvak
