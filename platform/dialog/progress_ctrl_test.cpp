// The progress bar behaves as the Windows progress control: clamped
// positions, and an empty range that shows an empty bar rather than "busy".
#include <gtest/gtest.h>

#include "ProgressCtrl.h"

namespace morvak {
namespace {

TEST(ProgressCtrl, StartsAtZeroOfZeroToHundredWithoutText) {
  CProgressCtrl bar;
  EXPECT_EQ(bar.GetLower(), 0);
  EXPECT_EQ(bar.GetUpper(), 100);
  EXPECT_EQ(bar.GetPos(), 0);
  EXPECT_FALSE(bar.isTextVisible());
}

struct PosRow {
  int lower, upper, position, expected;
};

class ProgressPosTest : public ::testing::TestWithParam<PosRow> {};

TEST_P(ProgressPosTest, IsClampedIntoTheRange) {
  const PosRow& r = GetParam();
  CProgressCtrl bar;
  bar.SetRange32(r.lower, r.upper);
  bar.SetPos(r.position);
  EXPECT_EQ(bar.GetPos(), r.expected);
  if (r.upper > r.lower) {
    EXPECT_EQ(bar.value(), r.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgressPosTest,
                         ::testing::Values(PosRow{0, 4, 3, 3}, PosRow{0, 4, 5, 4}, PosRow{0, 4, -1, 0},
                                           PosRow{0, 0, 7, 0}, PosRow{0, 2147483647, 2147483647, 2147483647},
                                           PosRow{0, -1, 5, -1}));

TEST(ProgressCtrl, AnEmptyRangeShowsAnEmptyBarNotABusyOne) {
  CProgressCtrl bar;
  bar.SetRange32(0, 0);
  EXPECT_EQ(bar.GetUpper(), 0);
  EXPECT_NE(bar.minimum(), bar.maximum()) << "equal bounds make Qt animate a busy bar";
  EXPECT_EQ(bar.value(), bar.minimum());
}

TEST(ProgressCtrl, SetPosReturnsThePreviousPositionAndANewRangeClampsIt) {
  CProgressCtrl bar;
  EXPECT_EQ(bar.SetPos(60), 0);
  EXPECT_EQ(bar.SetPos(10), 60);
  bar.SetPos(90);
  bar.SetRange32(0, 50);
  EXPECT_EQ(bar.GetPos(), 50);
}

}  // namespace
}  // namespace morvak
