#include "FileLoader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace morvak {
namespace {

std::string Temp(const std::string& name, const std::string& bytes) {
  const std::string path = ::testing::TempDir() + "loader-" + std::to_string(getpid()) + "-" + name;
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

// A FIFO would hold an open until a writer came; a directory or a device is
// no file to send. Each is refused at once, as a file that cannot be opened.
TEST(FileLoader, OnlyRegularFilesAreOpened) {
  const std::string fifo = ::testing::TempDir() + "loader-fifo-" + std::to_string(getpid());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string regular = Temp("regular", "abc");
  for (const std::string& path : {fifo, ::testing::TempDir(), std::string("/dev/zero")}) {
    CFileLoader loader;
    EXPECT_EQ(loader.GetSize(path.c_str()), LOADER_SIZE_FAILED) << path;
    EXPECT_EQ(loader.GetError(), LOAD_ERR_OPEN) << path;
    EXPECT_TRUE(loader.m_bNotRegularFile) << path;
    uint8_t buffer[4] = {};
    loader.m_nSize = 3;
    EXPECT_EQ(loader.Load(buffer, path.c_str()), 0) << path;
    EXPECT_TRUE(loader.m_bNotRegularFile) << path;
    // The next call on a regular file clears the mark.
    EXPECT_EQ(loader.GetSize(regular.c_str()), 3u);
    EXPECT_FALSE(loader.m_bNotRegularFile);
  }
  std::filesystem::remove(fifo);
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

struct SparseCase {
  uint64_t fileSize;
  uint32_t measured;
};

class FileLoaderSparseTest : public ::testing::TestWithParam<SparseCase> {};

// Sizes are 32-bit but files are not: no file of 4 GiB or more may pass as its
// low 32 bits, and no measured size may read as the failure value.
TEST_P(FileLoaderSparseTest, MeasuresTheFileOrCallsItTooLarge) {
  const std::string path = Temp("sparse-" + std::to_string(GetParam().fileSize), "");
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(GetParam().fileSize)), 0);
  CFileLoader loader;
  EXPECT_EQ(loader.GetSize(path.c_str()), GetParam().measured);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_NONE);
  if (GetParam().measured == LOADER_SIZE_TOO_LARGE) {
    // No buffer can hold it whole: Load refuses without reading a byte.
    std::vector<uint8_t> buffer(16, 0x5A);
    EXPECT_EQ(loader.Load(buffer.data(), path.c_str()), 0);
    EXPECT_EQ(loader.GetError(), LOAD_ERR_READ);
    EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0x5A));
  }
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FileLoaderSparseTest,
    ::testing::Values(SparseCase{0x0FFFFFFF, 0x0FFFFFFF}, SparseCase{0x10000000, 0x10000000},
                      SparseCase{0xFFFFFFFD, 0xFFFFFFFD}, SparseCase{0xFFFFFFFE, LOADER_SIZE_TOO_LARGE},
                      SparseCase{0xFFFFFFFF, LOADER_SIZE_TOO_LARGE}, SparseCase{0x100000000, LOADER_SIZE_TOO_LARGE},
                      SparseCase{0x10000000A, LOADER_SIZE_TOO_LARGE},
                      SparseCase{0x500000000, LOADER_SIZE_TOO_LARGE}),
    [](const auto& p) { return "Bytes" + std::to_string(p.param.fileSize); });

// A path of exactly `length` bytes to a file holding "abc", made of nested
// folders under the test's temporary folder.
std::string PathOfLength(size_t length, std::string& top) {
  top = ::testing::TempDir() + "loader-long-" + std::to_string(getpid());
  std::string path = top;
  mkdir(path.c_str(), 0700);
  while (path.size() + 1 + 100 < length) {
    path += "/" + std::string(99, 'd');
    mkdir(path.c_str(), 0700);
  }
  // Appended piecewise: GCC 12 at -O3 warns falsely (-Wrestrict) of the
  // insert behind `"/" + std::string`.
  path += '/';
  path.append(length - path.size(), 'f');
  std::ofstream(path, std::ios::binary) << "abc";
  return path;
}

TEST(FileLoader, PathsOf255BytesAreTakenAndLongerOnesRefusedNotCut) {
  std::string top;
  const std::string fits = PathOfLength(LOADER_PATH_SIZE - 1, top);
  ASSERT_EQ(fits.size(), 255u);
  CFileLoader loader;
  EXPECT_EQ(loader.GetSize(fits.c_str()), 3u);
  std::vector<uint8_t> buffer(3);
  EXPECT_EQ(loader.Load(buffer.data(), fits.c_str()), 1);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "abc");

  for (const size_t length : {size_t{256}, size_t{257}, size_t{300}, size_t{5000}}) {
    // Its first 255 bytes name a real file: cutting the path would find it.
    const std::string tooLong = fits + std::string(length - fits.size(), 'x');
    CFileLoader fresh;
    ASSERT_EQ(fresh.GetSize(fits.c_str()), 3u);
    EXPECT_EQ(fresh.GetSize(tooLong.c_str()), LOADER_SIZE_FAILED) << length;
    EXPECT_EQ(fresh.GetError(), LOAD_ERR_OPEN);
    EXPECT_EQ(fresh.m_szPath[0], '\0') << "no earlier path is left behind";
    EXPECT_EQ(fresh.m_szPath[LOADER_PATH_SIZE - 1], '\0');
    uint8_t b = 0;
    EXPECT_EQ(fresh.Load(&b, tooLong.c_str()), 0);
    EXPECT_EQ(fresh.GetError(), LOAD_ERR_OPEN);
  }
  std::filesystem::remove_all(top);
}

TEST(FileLoader, AnEmptyPathMeasuresZeroAndKeepsTheCode) {
  CFileLoader loader;
  EXPECT_EQ(loader.GetSize(""), 0u);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_NONE);
  EXPECT_EQ(loader.GetSize("/nonexistent/file"), LOADER_SIZE_FAILED);
  EXPECT_EQ(loader.GetSize(""), 0u);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_OPEN);
}

TEST(FileLoader, AFileThatGrewIsReadUpToItsMeasuredSize) {
  const std::string path = Temp("grow", "abc");
  CFileLoader loader;
  ASSERT_EQ(loader.GetSize(path.c_str()), 3u);
  Temp("grow", "abcdef");
  std::vector<uint8_t> buffer(4, 0);
  EXPECT_EQ(loader.Load(buffer.data(), path.c_str()), 1);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{'a', 'b', 'c', 0}));
  std::remove(path.c_str());
}

TEST(FileLoader, ACodeStaysUntilALaterFailure) {
  const std::string path = Temp("codes", "xy");
  CFileLoader loader;
  ASSERT_EQ(loader.GetSize("/nonexistent/file"), LOADER_SIZE_FAILED);
  EXPECT_EQ(loader.GetSize(path.c_str()), 2u);
  std::vector<uint8_t> buffer(2);
  EXPECT_EQ(loader.Load(buffer.data(), path.c_str()), 1);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_OPEN);
  std::remove(path.c_str());
  EXPECT_EQ(loader.Load(buffer.data(), path.c_str()), 0);
  EXPECT_EQ(loader.GetError(), LOAD_ERR_OPEN);
}

}  // namespace
}  // namespace morvak
