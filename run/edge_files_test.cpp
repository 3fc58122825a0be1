// Bad input at the edges, part two: files that change under the run (an
// image that grows or shrinks after Start's checks, a programmer that goes
// away or changes between its measuring and its reading) and sparse files of
// 4 GiB and more. Each ends with its own line, and nothing is read past the
// size that was measured.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "Crc16.h"
#include "EdgeFixture.h"
#include "Format.h"
#include "FopenHook.h"
#include "Frame.h"
#include "ImageBlocks.h"
#include "LinkTexts.h"
#include "RunTexts.h"
#include "SeededImage.h"

namespace morvak {
namespace {

using testing::EdgeFixture;
using testing::EdgeOutcome;

constexpr uint64_t kGiB = uint64_t{1} << 30;

ImageDesc TwoRecords(uint32_t firstLength = 3000) {
  return SeededImage(4096, {{0x1000, firstLength}, {0x9000, 500}}, 2, {1});
}

std::string Fill(const char* format, const std::string& path) {
  std::string line = format;
  const size_t at = line.find("%s");
  if (at != std::string::npos) line.replace(at, 2, path);
  return line;
}

class FileEdgeTest : public EdgeFixture {
 protected:
  void SetUp() override {
    m_dir.Config(testing::kSmallNandSizes);
    m_image = WriteImg("image.img", TwoRecords());
    ASSERT_EQ(PlanImage(TwoRecords(), m_plan), PLAN_OK);
  }
  void TearDown() override { testing::DisarmFopen(); }

 public:
  void Resize(uint64_t size) const { std::filesystem::resize_file(m_image, size); }
  // Overwrites the 4 bytes at `offset` of the image with `value`, little-endian.
  void Patch(uint64_t offset, uint32_t value) const {
    std::fstream f(m_image, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(offset));
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    f.write(bytes, 4);
  }
  // Flashes the image with `change` made on the worker once the raw part is
  // in: after the run checked the image it opened, before it reads a record
  // header. The identity sees any write made before, so only a change in
  // this window leaves the run's own checks of what it reads to stop it.
  EdgeOutcome FlashChangedWhileSending(void (*change)(const FileEdgeTest&)) {
    EdgeOutcome o;
    testing::HandsetRun r = m_harness.Prepare("");
    r.run->m_strImagePath = m_image;
    o.started = r.run->ApplyStartSettings(morvak::testing::SettingsOf(*r.run), o.startLine);
    if (!o.started) return o;
    bool changed = false;
    r.log->afterOp = [this, &r, &changed, change](size_t) {
      if (changed || r.handset->Blocks().size() < 2) return;
      changed = true;
      change(*this);
    };
    EXPECT_TRUE(r.run->StartWorker());
    EXPECT_TRUE(testing::SweepHarness::WaitEnded(r, std::chrono::seconds(20)));
    EXPECT_TRUE(changed);
    o.lines = r.run->Lines();
    o.buffersFreed = r.run->m_programFile.data == nullptr && r.run->m_imageFile.data == nullptr;
    return o;
  }
  uint64_t RecordHeader(size_t i) const { return m_plan.records.at(i).headerOffset; }
  uint64_t Terminator() const { return m_plan.terminatorOffset.value_or(0); }
  const std::string& Image() const { return m_image; }

 protected:
  std::string m_image;
  ImagePlan m_plan;
};

// The image changes after Start has checked it, before the run reads it.
struct ChangeCase {
  const char* name;
  void (*change)(const FileEdgeTest&);
  const char* line;  // %s: the image; null: the run succeeds with the image's blocks
  bool whileSending = false;  // made once the run has opened the image, not before
};

class ImageChangeTest : public FileEdgeTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ImageChangeTest, EndsWithItsLine) {
  const ChangeCase& c = GetParam();
  const EdgeOutcome o =
      c.whileSending ? FlashChangedWhileSending(c.change) : Flash(m_image, "", [this, &c] { c.change(*this); });
  ASSERT_TRUE(o.started) << o.startLine;
  ASSERT_FALSE(o.lines.empty());
  EXPECT_TRUE(o.buffersFreed);
  if (c.line == nullptr) {
    EXPECT_TRUE(o.succeeded) << ::testing::PrintToString(o.lines);
    std::vector<ImageBlock> expected;
    ASSERT_EQ(ExpectedImageBlocks(TwoRecords(), expected), PLAN_OK);
    ASSERT_EQ(o.blocks.size(), expected.size() + 1);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(o.blocks[i + 1].crc, expected[i].crc) << i;
  } else {
    EXPECT_FALSE(o.succeeded);
    EXPECT_EQ(o.lines.back(), Fill(c.line, m_image)) << ::testing::PrintToString(o.lines);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ImageChangeTest,
    ::testing::Values(
        ChangeCase{"ShrinksToNothing", [](const FileEdgeTest& f) { f.Resize(0); },
                   texts::kFileIsEmpty},
        ChangeCase{"ShrinksIntoTheRawPart",
                   [](const FileEdgeTest& f) { f.Resize(100); },
                   texts::kImageChanged},
        ChangeCase{"ShrinksIntoTheFirstRecordHeader",
                   [](const FileEdgeTest& f) {
                     f.Resize(f.RecordHeader(0) + 5);
                   },
                   texts::kImageChanged},
        ChangeCase{"ShrinksIntoARecord",
                   [](const FileEdgeTest& f) {
                     f.Resize(f.RecordHeader(0) + 12 + 1000);
                   },
                   texts::kImageChanged},
        ChangeCase{"LosesItsTerminator",
                   [](const FileEdgeTest& f) {
                     f.Resize(f.Terminator());
                   },
                   texts::kImageChanged},
        // Bytes after the terminator are never sent, but the file is no longer
        // the one Start checked.
        ChangeCase{"GrowsAfterItsTerminator",
                   [](const FileEdgeTest& f) {
                     std::ofstream(f.Image(), std::ios::binary | std::ios::app) << std::string(1 << 20, '\x77');
                   },
                   texts::kImageChanged},
        ChangeCase{"GrowsToTheSizeLimit",
                   [](const FileEdgeTest& f) { f.Resize(0x10000000); },
                   texts::kInvalidFileSize},
        ChangeCase{"GrowsPast4GiB",
                   [](const FileEdgeTest& f) { f.Resize(4 * kGiB + 100); },
                   texts::kInvalidFileSize},
        // A record header that now claims more than any accepted image holds
        // is not allocated for; one that runs past the end is not read past it.
        ChangeCase{"ARecordClaims4GiB",
                   [](const FileEdgeTest& f) {
                     f.Patch(f.RecordHeader(0) + 4, 0xFFFFFFF0u);
                   },
                   texts::kFreadFailed, true},
        ChangeCase{"ARecordClaimsMoreThanTheFile",
                   [](const FileEdgeTest& f) {
                     f.Patch(f.RecordHeader(1) + 4, 0x00F00000u);
                   },
                   texts::kFreadFailed, true}),
    [](const ::testing::TestParamInfo<ChangeCase>& p) { return std::string(p.param.name); });

// After the run measured the image, while FlashImage opens it: nothing of
// the changed file is sent.
TEST_F(FileEdgeTest, AnImageThatChangesAfterTheRunMeasuredItIsNotSent) {
  for (const uint64_t size : {4 * kGiB + 100, RecordHeader(1) + 20}) {
    // The opens from here: the run's measuring, then FlashImage's.
    const EdgeOutcome o = Flash(m_image, "", [this, size] {
      testing::ArmFopen(m_image, 2, [this, size] { Resize(size); });
    });
    EXPECT_EQ(testing::ArmedFopens(), 2);
    EXPECT_FALSE(o.succeeded);
    ASSERT_FALSE(o.lines.empty());
    EXPECT_EQ(o.lines.back(), Format(texts::kImageChanged, m_image.c_str()));
    ASSERT_FALSE(o.blocks.empty());
    EXPECT_EQ(o.blocks.size(), 1u) << "the programmer only";
    m_image = WriteImg("image.img", TwoRecords());
  }
}

// What is not a regular file is refused by Start at once, by its name: a
// FIFO would hold the opening thread until a writer came.
struct NotAFileCase {
  const char* name;
  const char* path;  // below the test directory
  void (*make)(const std::string& path);
};

class NotAFileTest : public EdgeFixture, public ::testing::WithParamInterface<NotAFileCase> {};

TEST_P(NotAFileTest, IsRefusedAtStartByName) {
  const std::string path = m_dir.Path(GetParam().path);
  GetParam().make(path);
  const auto started = std::chrono::steady_clock::now();
  const EdgeOutcome o = Flash(path);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  EXPECT_FALSE(o.started);
  EXPECT_EQ(o.startLine, Format(texts::kNotRegularFile, path.c_str()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, NotAFileTest,
    ::testing::Values(
        NotAFileCase{"FifoImg", "pipe.img", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
        NotAFileCase{"FifoRaw", "pipe.raw", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
        NotAFileCase{"DirectoryRaw", "folder.raw", [](const std::string& p) { std::filesystem::create_directory(p); }},
        NotAFileCase{"LinkToADevice", "zero.img",
                     [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }}),
    [](const ::testing::TestParamInfo<NotAFileCase>& p) { return std::string(p.param.name); });

// Target programs that are not regular files: the step says why before its
// own line, and nothing waits.
TEST_F(FileEdgeTest, ATargetProgramThatIsAFifoIsNotOpened) {
  for (const char* name : {"file/NANDOUT.nb0", "file/2ND.nb0"}) {
    const std::string path = m_dir.Path(name);
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const EdgeOutcome o = Flash(m_image);
    ASSERT_GE(o.lines.size(), 2u) << name;
    EXPECT_EQ(o.lines[o.lines.size() - 2], Format(texts::kNotRegularFile, path.c_str()));
    EXPECT_EQ(o.lines.back(), Format(texts::kFopenFailed, path.c_str()));
    std::filesystem::remove(path);
    m_dir.WriteFile(name, std::string(64, '\x11'));
  }
}

// The programmer between GetSize (the first fopen) and Load (the second).
struct ProgrammerCase {
  const char* name;
  void (*change)(const std::string& path);
  bool loads;
};

class ProgrammerChangeTest : public FileEdgeTest, public ::testing::WithParamInterface<ProgrammerCase> {};

TEST_P(ProgrammerChangeTest, NothingIsReadPastTheMeasuredSize) {
  const std::string programmer = m_dir.Path("file/NANDOUT.nb0");
  const std::string original(20000, '\x4E');
  m_dir.WriteFile("file/NANDOUT.nb0", original);
  const ProgrammerCase& c = GetParam();
  const EdgeOutcome o = Flash(m_image, "", [&] {
    testing::ArmFopen(programmer, 2, [&c, programmer] { c.change(programmer); });
  });
  EXPECT_EQ(testing::ArmedFopens(), 2);
  EXPECT_TRUE(o.buffersFreed);
  if (c.loads) {
    // What was measured is what is sent: the bytes the file had then.
    EXPECT_TRUE(o.succeeded) << ::testing::PrintToString(o.lines);
    ASSERT_FALSE(o.blocks.empty());
    EXPECT_EQ(o.blocks[0].length, original.size());
    EXPECT_EQ(o.blocks[0].crc, Crc16(reinterpret_cast<const uint8_t*>(original.data()), original.size()));
  } else {
    EXPECT_FALSE(o.succeeded);
    ASSERT_FALSE(o.lines.empty());
    EXPECT_EQ(o.lines.back(), Format(texts::kFreadFileFailed, programmer.c_str()));
    EXPECT_EQ(o.attaches, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ProgrammerChangeTest,
    ::testing::Values(ProgrammerCase{"Disappears", [](const std::string& p) { std::filesystem::remove(p); }, false},
                      ProgrammerCase{"Shrinks", [](const std::string& p) { std::filesystem::resize_file(p, 100); },
                                     false},
                      ProgrammerCase{"BecomesEmpty", [](const std::string& p) { std::filesystem::resize_file(p, 0); },
                                     false},
                      ProgrammerCase{"Grows",
                                     [](const std::string& p) {
                                       std::ofstream(p, std::ios::binary | std::ios::app) << std::string(5000, 'G');
                                     },
                                     true},
                      ProgrammerCase{"IsReplacedByALongerOne",
                                     [](const std::string& p) {
                                       std::filesystem::remove(p);
                                       std::ofstream(p, std::ios::binary) << std::string(20000, '\x4E')
                                                                          << std::string(70000, 'R');
                                     },
                                     true}),
    [](const ::testing::TestParamInfo<ProgrammerCase>& p) { return std::string(p.param.name); });

// Sparse files of 4 GiB and more: sizes are 32-bit, files are not, and a
// file must never pass as its low 32 bits.
struct SparseCase {
  const char* name;
  const char* file;  // which file: "programmer", "loader", "raw" or "img"
  uint64_t size;
  const char* line;  // %s: that file's path; null: the run gets past the file
};

class SparseFileTest : public FileEdgeTest, public ::testing::WithParamInterface<SparseCase> {};

TEST_P(SparseFileTest, IsRefusedWithItsLine) {
  const SparseCase& c = GetParam();
  const std::string which = c.file;
  std::string image = m_image;
  std::string path;
  if (which == "programmer") {
    path = m_dir.Path("file/NANDOUT.nb0");
    MakeSparse(path, c.size, "\x4E");
  } else if (which == "loader") {
    path = m_dir.Path("file/2ND.nb0");
    MakeSparse(path, c.size, "\x5A");
  } else if (which == "raw") {
    path = image = m_dir.Path("big.raw");
    MakeSparse(path, c.size);
  } else {
    // A good image at the start, then a hole: Start's scans pass.
    path = image = m_image;
    std::filesystem::resize_file(path, c.size);
  }
  // Where the run gets past the file it stops at the handset, so that nothing
  // of that size is sent.
  const EdgeOutcome o = Flash(image, "asic-fail");
  ASSERT_TRUE(o.started) << o.startLine;
  ASSERT_FALSE(o.lines.empty());
  EXPECT_FALSE(o.succeeded);
  EXPECT_TRUE(o.buffersFreed);
  if (c.line == nullptr) {
    EXPECT_EQ(o.lines.back(), Format(texts::kDownloadFileToDeviceFailed, m_dir.Path("file/2ND.nb0").c_str()));
    EXPECT_EQ(o.attaches, 1u);
  } else {
    EXPECT_EQ(o.lines.back(), Fill(c.line, path));
    EXPECT_EQ(o.attaches, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SparseFileTest,
    ::testing::Values(
        SparseCase{"ProgrammerJustBelowTheLimit", "programmer", 0x0FFFFFFF, nullptr},
        SparseCase{"ProgrammerAtTheLimit", "programmer", 0x10000000, texts::kInvalidFileSize},
        SparseCase{"ProgrammerOf4GiBLess1", "programmer", 4 * kGiB - 1, texts::kInvalidFileSize},
        SparseCase{"ProgrammerOf4GiB", "programmer", 4 * kGiB, texts::kInvalidFileSize},
        SparseCase{"ProgrammerOf4GiBAnd10", "programmer", 4 * kGiB + 10, texts::kInvalidFileSize},
        SparseCase{"ProgrammerOf8GiBAnd256", "programmer", 8 * kGiB + 256, texts::kInvalidFileSize},
        SparseCase{"LoaderOf4GiB", "loader", 4 * kGiB, texts::kInvalidFile},
        SparseCase{"LoaderOf4GiBAnd10", "loader", 4 * kGiB + 10, texts::kInvalidFile},
        SparseCase{"RawOf4GiB", "raw", 4 * kGiB, texts::kInvalidFileSize},
        SparseCase{"RawOf4GiBAnd10", "raw", 4 * kGiB + 10, texts::kInvalidFileSize},
        SparseCase{"RawOf6GiB", "raw", 6 * kGiB, texts::kInvalidFileSize},
        SparseCase{"ImgOf4GiB", "img", 4 * kGiB, texts::kInvalidFileSize},
        SparseCase{"ImgOf4GiBAnd1000", "img", 4 * kGiB + 1000, texts::kInvalidFileSize}),
    [](const ::testing::TestParamInfo<SparseCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace morvak
