// Dialog units: Windows rounding, the conversion of a template's rectangles,
// and base units measured from a pinned font.
#include <gtest/gtest.h>

#include <QFontInfo>

#include "DialogUnits.h"
#include "dialog_test_support.h"

namespace morvak {
namespace {

struct MulDivRow {
  int number, numerator, denominator, expected;
};

class MulDivTest : public ::testing::TestWithParam<MulDivRow> {};

TEST_P(MulDivTest, RoundsHalfAwayFromZero) {
  const MulDivRow& r = GetParam();
  EXPECT_EQ(MulDiv(r.number, r.numerator, r.denominator), r.expected)
      << r.number << "*" << r.numerator << "/" << r.denominator;
}

INSTANTIATE_TEST_SUITE_P(Table, MulDivTest,
                         ::testing::Values(MulDivRow{390, 7, 4, 683},   // 682.5 rounds up
                                           MulDivRow{250, 14, 8, 438},  // 437.5
                                           MulDivRow{45, 12, 8, 68},    // 67.5
                                           MulDivRow{10, 6, 4, 15}, MulDivRow{11, 6, 4, 17},  // 16.5
                                           MulDivRow{9, 1, 4, 2},                             // 2.25
                                           MulDivRow{-5, 3, 2, -8}, MulDivRow{5, -3, 2, -8},
                                           MulDivRow{-7, 2, -4, 4}, MulDivRow{0, 9, 4, 0},
                                           MulDivRow{7, 1, 0, -1},
                                           // no 32-bit overflow in between
                                           MulDivRow{1 << 30, 8, 16, 1 << 29}));

TEST(MapDialogRect, ConvertsEachEdgeWithItsOwnBase) {
  const DialogBaseUnits base{6, 12};
  EXPECT_EQ(MapDialogRect(QRect(0, 0, 390, 250), base), QRect(0, 0, 585, 375));
  EXPECT_EQ(MapDialogRect(QRect(22, 82, 258, 45), base), QRect(33, 123, 387, 68));
  EXPECT_EQ(MapDialogRect(QRect(341, 169, 28, 59), base), QRect(512, 254, 42, 89));
}

TEST(BaseUnitsOf, APinnedFontGivesItsMeasuredUnits) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  if (QFontInfo(font).family() != QStringLiteral("DejaVu Sans")) GTEST_SKIP() << "DejaVu Sans is not installed";
  // "A".."z" is 385 px wide in DejaVu Sans at 12 px: (385 / 26 + 1) / 2 = 7;
  // its height is 14 px.
  EXPECT_EQ(BaseUnitsOf(font), (DialogBaseUnits{7, 14}));
  font.setPixelSize(24);
  const DialogBaseUnits big = BaseUnitsOf(font);
  EXPECT_GE(big.x, 13);
  EXPECT_LE(big.x, 15);
  EXPECT_GE(big.y, 27);
  EXPECT_LE(big.y, 29);
}

TEST(DialogGeometry, TheWindowAndEveryControlStandWhereTheTemplateSays) {
  testing::SampleDialog dialog;
  dialog.Create();
  const DialogBaseUnits base = dialog.BaseUnits();
  ASSERT_GT(base.x, 0);
  EXPECT_EQ(dialog.size(), QSize(MulDiv(200, base.x, 4), MulDiv(120, base.y, 8)));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "the dialog has a fixed size";
  ASSERT_EQ(dialog.ControlCount(), testing::SampleTemplate().controls.size());
  for (size_t i = 0; i < dialog.ControlCount(); ++i)
    EXPECT_EQ(dialog.ControlAt(i)->geometry(), MapDialogRect(dialog.SpecAt(i).position, base)) << i;
}

}  // namespace
}  // namespace morvak
