#include "ProfileFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace morvak {
namespace {

struct NumberCase {
  const char* text;
  uint32_t expected;
};

class ProfileNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ProfileNumberTest, ParsesAsWindowsDoes) {
  EXPECT_EQ(ParseProfileNumber(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Numbers, ProfileNumberTest,
                         ::testing::Values(NumberCase{"786432", 786432u}, NumberCase{"0xC0000", 0xC0000u},
                                           NumberCase{"0XfF", 0xFFu}, NumberCase{"12abc", 12u},
                                           NumberCase{"abc", 0u}, NumberCase{"-1", 0xFFFFFFFFu},
                                           NumberCase{"+7", 7u}, NumberCase{"0x", 0u},
                                           NumberCase{"4294967297", 1u}, NumberCase{"1 2", 1u}));

TEST(ProfileFileTest, SectionsAndKeysAreCaseInsensitiveAndValuesTrimmed) {
  const ProfileFile p = ProfileFile::FromText(
      "; comment\r\n[lurra_nand]\r\n  RawFileSize_WithoutEboot =  0x1000  \r\n"
      "[LURRA_PARAMS]\nCRCEnable=0\nEmpty=\nName = \"a b\" \n");
  EXPECT_EQ(p.GetInt("LURRA_NAND", "rawfilesize_withouteboot", 5), 0x1000u);
  EXPECT_EQ(p.GetInt("LURRA_PARAMS", "CRCENABLE", 1), 0u);
  EXPECT_EQ(p.GetInt("LURRA_PARAMS", "Empty", 9), 9u);
  EXPECT_EQ(p.GetInt("LURRA_PARAMS", "Missing", 9), 9u);
  EXPECT_EQ(p.GetInt("NoSuchSection", "CRCEnable", 3), 3u);
  EXPECT_EQ(p.GetString("lurra_params", "name").value_or(""), "a b");
}

TEST(ProfileFileTest, KeysBeforeAnySectionAndFirstDuplicateRule) {
  const ProfileFile p = ProfileFile::FromText("Orphan=1\n[S]\nK=1\nK=2\n[s]\nK=3\n");
  EXPECT_EQ(p.GetInt("S", "K", 0), 1u);
  EXPECT_FALSE(p.GetString("", "Orphan").has_value());
}

struct MarkCase {
  const char* text;
  const char* recordFile;  // nothing when the section is not read
};

class ProfileByteOrderMarkTest : public ::testing::TestWithParam<MarkCase> {};

// A mark at the very start is no part of the file; anywhere else it is text.
TEST_P(ProfileByteOrderMarkTest, OnlyALeadingMarkIsPassedOver) {
  const std::optional<std::string> value =
      ProfileFile::FromText(GetParam().text).GetString("LURRA_PARAMS", "RecordFile");
  EXPECT_EQ(value.value_or("(none)"), GetParam().recordFile ? GetParam().recordFile : "(none)") << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ProfileByteOrderMarkTest,
    ::testing::Values(MarkCase{"\xEF\xBB\xBF[LURRA_PARAMS]\r\nRecordFile=runs.jsonl\r\n", "runs.jsonl"},
                      MarkCase{"\xEF\xBB\xBF; saved as UTF-8\n[LURRA_PARAMS]\nRecordFile=a\n", "a"},
                      MarkCase{"\xEF\xBB\xBF\xEF\xBB\xBF[LURRA_PARAMS]\nRecordFile=a\n", nullptr},
                      MarkCase{"[LURRA_PARAMS]\n\xEF\xBB\xBFRecordFile=a\n", nullptr},
                      MarkCase{"\xEF\xBB", nullptr}));

TEST(ProfileFileTest, MissingFileGivesDefaults) {
  EXPECT_EQ(GetPrivateProfileInt("LURRA_PARAMS", "CRCEnable", 1, "/nonexistent/dir/LURRA.ini"), 1u);
}

TEST(ProfileFileTest, ReadsAFileFromDisk) {
  const std::string path = ::testing::TempDir() + "profile_file_test.ini";
  std::ofstream(path) << "[LURRA_PARAMS]\nDownloadRaw=1\n";
  EXPECT_EQ(GetPrivateProfileInt("LURRA_PARAMS", "DownloadRaw", 0, path), 1u);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace morvak
