// The pictures built into the program: sizes, pixel depths as stored, and
// the colours that tell them apart.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "AppResources.h"

namespace morvak {
namespace {

struct PngHeader {
  int width = 0, height = 0, bitDepth = 0, colourType = -1;
};

PngHeader ReadPngHeader(const QString& path) {
  QFile file(path);
  PngHeader h;
  if (!file.open(QIODevice::ReadOnly)) return h;
  const QByteArray bytes = file.read(33);
  if (bytes.size() < 33 || !bytes.startsWith("\x89PNG\r\n\x1a\n") || bytes.mid(12, 4) != "IHDR") return h;
  auto be32 = [&](int at) {
    return (static_cast<uint8_t>(bytes[at]) << 24) | (static_cast<uint8_t>(bytes[at + 1]) << 16) |
           (static_cast<uint8_t>(bytes[at + 2]) << 8) | static_cast<uint8_t>(bytes[at + 3]);
  };
  h.width = be32(16);
  h.height = be32(20);
  h.bitDepth = static_cast<uint8_t>(bytes[24]);
  h.colourType = static_cast<uint8_t>(bytes[25]);
  return h;
}

struct BitmapRow {
  int id;
  int width, height;
  int colourType;  // 2: 24-bit RGB; 3: 8-bit palette
};

class BitmapTest : public ::testing::TestWithParam<BitmapRow> {};

TEST_P(BitmapTest, IsBuiltInAtItsSizeAndDepth) {
  const BitmapRow& row = GetParam();
  const PngHeader h = ReadPngHeader(QStringLiteral(":/morvak/bitmap%1.png").arg(row.id));
  EXPECT_EQ(h.width, row.width);
  EXPECT_EQ(h.height, row.height);
  EXPECT_EQ(h.bitDepth, 8);
  EXPECT_EQ(h.colourType, row.colourType);
  EXPECT_EQ(LoadBitmapResource(row.id).size(), QSize(row.width, row.height));
  // The window leaves the colour of the top-left pixel out: it must be the
  // face the picture was drawn on, and so the colour of every corner.
  const QImage image = LoadBitmapResource(row.id).toImage();
  for (const QPoint corner : {QPoint(0, 0), QPoint(row.width - 1, 0), QPoint(0, row.height - 1),
                              QPoint(row.width - 1, row.height - 1)})
    EXPECT_EQ(image.pixelColor(corner), QColor(240, 240, 240)) << corner.x() << "," << corner.y();
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, BitmapTest,
                         ::testing::Values(BitmapRow{IDB_SUCCESS, 37, 46, 2}, BitmapRow{IDB_FAILURE, 37, 46, 3},
                                           BitmapRow{IDB_BUSY, 26, 32, 3}));

QColor At(int id, int x, int y) { return LoadBitmapResource(id).toImage().pixelColor(x, y); }

TEST(Bitmaps, TheShieldsAreGreenAndRedWithAWhiteMark) {
  // On the shield's body, away from the mark.
  const QColor green = At(IDB_SUCCESS, 18, 38);
  EXPECT_GT(green.green(), green.red() + 40);
  const QColor red = At(IDB_FAILURE, 18, 38);
  EXPECT_GT(red.red(), red.green() + 40);
  // On the tick's corner and the cross's middle.
  EXPECT_GT(At(IDB_SUCCESS, 16, 29).lightness(), 220);
  EXPECT_GT(At(IDB_FAILURE, 18, 22).lightness(), 220);
  // Outside the shield: the dialog face.
  EXPECT_EQ(At(IDB_SUCCESS, 0, 45), QColor(240, 240, 240));
}

TEST(Bitmaps, TheHourglassHoldsSand) {
  const QColor sand = At(IDB_BUSY, 13, 25);
  EXPECT_GT(sand.red(), sand.blue() + 60);
  EXPECT_GT(sand.green(), sand.blue() + 40);
}

TEST(Bitmaps, AnIdThatIsNoBitmapGivesNone) { EXPECT_TRUE(LoadBitmapResource(138).isNull()); }

TEST(AppIcon, IsBuiltInAtThreeSizes) {
  const QIcon icon = LoadAppIcon();
  ASSERT_FALSE(icon.isNull());
  for (int size : {16, 32, 48}) {
    const QImage image(QStringLiteral(":/morvak/icon128-%1.png").arg(size));
    EXPECT_EQ(image.size(), QSize(size, size));
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixelColor(0, size - 1).alpha(), 0) << "a corner is transparent";
  }
  EXPECT_EQ(LoadStringResource(IDS_ABOUTBOX), "关于 Morvak(&A)...");
  EXPECT_EQ(LoadStringResource(102), "");
}

}  // namespace
}  // namespace morvak
