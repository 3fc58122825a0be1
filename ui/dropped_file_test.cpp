// A drop names its last file; a name longer than the buffer is refused whole.
#include <gtest/gtest.h>

#include "DroppedFile.h"

namespace morvak {
namespace {

TEST(DroppedFile, TheLastFileOfTheDropWins) {
  const DropChoice c = ChooseDroppedFile({"/a/one.img", "/b/two.raw", "/c/three.bin"});
  EXPECT_TRUE(c.taken);
  EXPECT_EQ(c.path, "/c/three.bin");
  EXPECT_TRUE(c.line.empty());
}

TEST(DroppedFile, AnyNameIsTakenWithoutLookingAtIt) {
  for (const std::string name : {"/some/folder", "/x/no-extension", "relative.RAW", "/\xFF\xFE"}) {
    const DropChoice c = ChooseDroppedFile({name});
    EXPECT_TRUE(c.taken) << name;
    EXPECT_EQ(c.path, name);
  }
}

TEST(DroppedFile, ANameThatFillsTheBufferIsTakenOneByteMoreIsRefused) {
  const std::string fits = "/" + std::string(DROP_NAME_BUFFER - 2, 'f');  // 1023 bytes and the NUL
  ASSERT_EQ(fits.size(), 1023u);
  EXPECT_TRUE(ChooseDroppedFile({fits}).taken);
  const std::string tooLong = fits + "g";
  const DropChoice c = ChooseDroppedFile({"/a/short.img", tooLong});
  EXPECT_FALSE(c.taken);
  EXPECT_TRUE(c.path.empty());
  EXPECT_EQ(c.line, "The dropped file name is longer than 1023 bytes and was not taken:" + tooLong);
}

TEST(DroppedFile, OnlyTheLastNameCounts) {
  const std::string tooLong(5000, 'x');
  const DropChoice c = ChooseDroppedFile({tooLong, "/a/fine.img"});
  EXPECT_TRUE(c.taken);
  EXPECT_EQ(c.path, "/a/fine.img");
}

TEST(DroppedFile, AnEmptyDropChangesNothing) {
  const DropChoice c = ChooseDroppedFile({});
  EXPECT_FALSE(c.taken);
  EXPECT_TRUE(c.line.empty());
}

}  // namespace
}  // namespace morvak
