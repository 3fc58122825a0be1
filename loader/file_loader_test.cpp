#include "FileLoader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace morvak {
namespace {

std::string Temp(const std::string& name, const std::string& bytes) {
  const std::string path = ::testing::TempDir() + "loader-" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

TEST(FileLoader, MeasuresAndLoadsAPlainFile) {
  const std::string path = Temp("plain", "hello");
  CFileLoader loader;
  loader.SetFileType(FILE_TYPE_PLAIN);
  EXPECT_EQ(loader.GetSize(path.c_str()), 5u);
  std::vector<uint8_t> buffer(5);
  EXPECT_EQ(loader.Load(buffer.data(), path.c_str()), 1);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "hello");
  EXPECT_EQ(loader.GetError(), LOAD_ERR_NONE);
  std::remove(path.c_str());
}

TEST(FileLoader, EmptyFileKeepsThePreviousCode) {
  CFileLoader loader;
  EXPECT_EQ(loader.GetSize("/nonexistent/file"), 0xFFFFFFFFu);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_OPEN);
  const std::string path = Temp("empty", "");
  EXPECT_EQ(loader.GetSize(path.c_str()), 0u);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_OPEN);
  EXPECT_EQ(loader.GetSize(""), 0u);
  std::remove(path.c_str());
}

TEST(FileLoader, MissingFileFailsBothCalls) {
  CFileLoader loader;
  uint8_t b = 0;
  EXPECT_EQ(loader.Load(&b, "/nonexistent/file"), 0);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_OPEN);
}

TEST(FileLoader, AFileThatShrankIsAShortRead) {
  const std::string path = Temp("shrink", std::string(100, 'x'));
  CFileLoader loader;
  EXPECT_EQ(loader.GetSize(path.c_str()), 100u);
  Temp("shrink", std::string(10, 'x'));
  std::vector<uint8_t> buffer(100);
  EXPECT_EQ(loader.Load(buffer.data(), path.c_str()), 0);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_READ);
  std::remove(path.c_str());
}

TEST(FileLoader, LoadWithoutGetSizeReadsNothing) {
  const std::string path = Temp("nosize", "abc");
  CFileLoader loader;
  uint8_t b = 7;
  EXPECT_EQ(loader.Load(&b, path.c_str()), 1);
  EXPECT_EQ(b, 7);
  std::remove(path.c_str());
}

TEST(FileLoader, FilesOf4GiBAndMoreNeverPassAsTheirLow32Bits) {
  for (const uint64_t size : {uint64_t{0x100000000}, uint64_t{0x10000000A}, uint64_t{0x0FFFFFFF}}) {
    const std::string path = Temp("sparse", "");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    CFileLoader loader;
    const uint32_t measured = loader.GetSize(path.c_str());
    if (size > 0xFFFFFFFFu)
      EXPECT_EQ(measured, LOADER_SIZE_TOO_LARGE);
    else
      EXPECT_EQ(measured, size);
    EXPECT_GE(measured, size > 0xFFFFFFFFu ? 0x10000000u : 0u);
    std::remove(path.c_str());
  }
}

TEST(FileLoader, PathsTooLongForTheFieldAreRefusedNotCut) {
  CFileLoader loader;
  const std::string longPath(300, 'a');
  EXPECT_EQ(loader.GetSize(longPath.c_str()), 0xFFFFFFFFu);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_OPEN);
  EXPECT_EQ(loader.m_szPath[0], '\0');
}

}  // namespace
}  // namespace morvak
