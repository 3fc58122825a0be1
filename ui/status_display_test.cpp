// The status log (newest line first) and the progress messages.
#include <gtest/gtest.h>

#include "ProgressDisplay.h"
#include "StatusLog.h"

namespace morvak {
namespace {

TEST(StatusLog, TheNewestLineStandsOnTopEachEndedByCrLf) {
  std::string log;
  log = WithNewestLine("first", log);
  log = WithNewestLine("second", log);
  EXPECT_EQ(log, "second\r\nfirst\r\n");
  EXPECT_EQ(WithNewestLine("", log), "\r\nsecond\r\nfirst\r\n") << "an empty text adds an empty line";
  EXPECT_EQ(WithNewestLine("a\r\nb", ""), "a\r\nb\r\n") << "a line is shown unchanged";
}

struct ProgressRow {
  uintptr_t range;
  std::vector<uintptr_t> positions;
  int upper, position;
};

class ProgressMessagesTest : public ::testing::TestWithParam<ProgressRow> {};

TEST_P(ProgressMessagesTest, RangeThenPositions) {
  const ProgressRow& r = GetParam();
  CProgressCtrl bar;
  bar.SetPos(40);
  ShowProgressRange(bar, r.range);
  // A new range starts at 0, clamped like any position.
  EXPECT_EQ(bar.GetPos(), r.upper < 0 ? r.upper : 0);
  for (uintptr_t p : r.positions) ShowProgressPos(bar, p);
  EXPECT_EQ(bar.GetLower(), 0);
  EXPECT_EQ(bar.GetUpper(), r.upper);
  EXPECT_EQ(bar.GetPos(), r.position);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProgressMessagesTest,
    ::testing::Values(ProgressRow{4, {1, 2, 3}, 4, 3},
                      ProgressRow{4, {1, 2, 3, 4, 5}, 4, 4},  // one header more than the range
                      ProgressRow{4, {1, 5, 0}, 4, 0},        // the run's last act
                      ProgressRow{0, {3}, 0, 0},              // range 0..0
                      ProgressRow{0x7FFFFFFF, {0x7FFFFFFF}, 0x7FFFFFFF, 0x7FFFFFFF},
                      // a range the 32-bit signed control reads as negative
                      ProgressRow{0xFFFFFFFFu, {}, -1, -1}));

}  // namespace
}  // namespace morvak
