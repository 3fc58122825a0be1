// Bad input at the edges, part one: configuration values that are negative,
// garbage, huge or empty; image paths around the 255-byte limit and far past
// it; program directories too long for the 256-byte path fields. Each ends
// with its own clear line, and no path is ever cut.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <optional>

#include "EdgeFixture.h"
#include "Format.h"
#include "Frame.h"
#include "LinkTexts.h"
#include "RunConfig.h"
#include "RunTexts.h"
#include "SeededImage.h"

namespace morvak {
namespace {

using testing::EdgeFixture;
using testing::EdgeOutcome;

ImageDesc ImageAt(uint32_t rawSize) { return SeededImage(rawSize, {{0x1000, 3000}}, 1, {4}); }

std::string Fill(const char* format, const std::string& path) {
  std::string line = format;
  const size_t at = line.find("%s");
  if (at != std::string::npos) line.replace(at, 2, path);
  return line;
}

struct ConfigCase {
  const char* name;
  std::string config;              // file/LURRA.ini
  bool raw;                        // a .raw image of `size` bytes, else an .img with its header at `size`
  uint32_t size;
  const char* startLine;           // the line Start refuses with (%s: the image), or null when it starts
  const char* lastLine;            // the run's last line (%s: the image); null for a success
  std::optional<uint32_t> rawFileSize;  // the raw part the run took
  std::optional<bool> checksums;        // whether blocks were checked with CMD_GET_CRC
};

class ConfigValueTest : public EdgeFixture, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(ConfigValueTest, EndsWithItsLine) {
  const ConfigCase& c = GetParam();
  m_dir.Config(c.config);
  const std::string image =
      c.raw ? WriteRawFile("image.raw", c.size) : WriteImg("image.img", ImageAt(c.size));
  const EdgeOutcome o = Flash(image);
  if (c.startLine != nullptr) {
    EXPECT_FALSE(o.started);
    EXPECT_EQ(o.startLine, Fill(c.startLine, image));
    EXPECT_EQ(o.attaches, 0u);
    return;
  }
  ASSERT_TRUE(o.started) << o.startLine;
  ASSERT_FALSE(o.lines.empty());
  if (c.lastLine == nullptr) {
    EXPECT_TRUE(o.succeeded) << ::testing::PrintToString(o.lines);
  } else {
    EXPECT_FALSE(o.succeeded);
    EXPECT_EQ(o.lines.back(), Fill(c.lastLine, image));
  }
  EXPECT_TRUE(o.buffersFreed);
  if (c.rawFileSize) {
    EXPECT_EQ(m_lastRun.run->m_nRawFileSize, *c.rawFileSize);
    if (o.succeeded) {
      ASSERT_GE(o.blocks.size(), 2u);
      EXPECT_EQ(o.blocks[1].kind, DATA_RAW);
      EXPECT_EQ(o.blocks[1].length, *c.rawFileSize);
    }
  }
  if (c.checksums) {
    int queries = 0;
    for (const testing::LoggedOp& op : o.log)
      if (op.kind == testing::OpKind::Write && op.head.size() == FRAME_SIZE &&
          UnpackFrame(op.head.data()) == Frame{COMMAND_MAGIC, CMD_GET_CRC, 0, 0})
        ++queries;
    EXPECT_EQ(queries > 0, *c.checksums) << queries;
  }
}

std::string Nand(const std::string& withoutRaw, const std::string& withoutRegion = "4096",
                 const std::string& withRaw = "8192", const std::string& withRegion = "12288") {
  return "[LURRA_NAND]\nRawFileSize_WithoutEboot=" + withoutRaw + "\nBinaryRegionSize_WithoutEboot=" + withoutRegion +
         "\nRawFileSize_WithEboot=" + withRaw + "\nBinaryRegionSize_WithEboot=" + withRegion + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConfigValueTest,
    ::testing::Values(
        // Empty values take the defaults, as missing ones do.
        ConfigCase{"EmptyValuesTakeTheDefaults", Nand("", "", "", "") + "[LURRA_PARAMS]\nCRCEnable=\n", false, 786432,
                   nullptr, nullptr, 786432u, true},
        ConfigCase{"BlanksAndQuotesAreTrimmed", Nand("  \"4096\"  "), false, 4096, nullptr, nullptr, 4096u, {}},
        ConfigCase{"DigitsBeforeGarbageCount", Nand("4096abc"), false, 4096, nullptr, nullptr, 4096u, {}},
        // Garbage reads as 0: the header is looked for at offset 0, and a raw
        // part of no bytes goes out as an empty block.
        ConfigCase{"GarbageIsZero", Nand("abc"), false, 0, nullptr, nullptr, 0u, {}},
        ConfigCase{"NegativeIsHugeAndCannotBeRead", Nand("-1"), false, 4096, texts::kFreadFileFailed, nullptr, {}, {}},
        ConfigCase{"HugeDecimalWrapsAndCannotBeRead", Nand("99999999999999999999"), false, 4096,
                   texts::kFreadFileFailed, nullptr, {}, {}},
        ConfigCase{"HugeHexWrapsAndCannotBeRead", Nand("0x1FFFFFFFF"), false, 4096, texts::kFreadFileFailed, nullptr,
                   {}, {}},
        // The header is not at the first place, and the second is past any file.
        ConfigCase{"NegativeSecondPlaceIsNoFormat", Nand("2048", "4096", "-1"), false, 4096, texts::kErrorFileFormat,
                   nullptr, {}, {}},
        // A raw part beyond any image the run accepts: refused unread.
        ConfigCase{"NegativeRawPartCannotBeRead", Nand("-1", "4096", "-1"), true, 5000, nullptr, texts::kFreadFailed,
                   0xFFFFFFFFu, {}},
        ConfigCase{"RawPartLongerThanTheFile", Nand("1000", "4096", "100000"), true, 5000, nullptr,
                   texts::kFreadFailed, 100000u, {}},
        ConfigCase{"RawPartOfNothing", Nand("8192", "4096", "0"), true, 10000, nullptr, nullptr, 0u, {}},
        ConfigCase{"ChecksumsOffByGarbage", Nand("4096") + "[LURRA_PARAMS]\nCRCEnable=off\n", false, 4096, nullptr,
                   nullptr, {}, false},
        ConfigCase{"ChecksumsOnByNegative", Nand("4096") + "[LURRA_PARAMS]\nCRCEnable=-1\n", false, 4096, nullptr,
                   nullptr, {}, true},
        // A broken file is read for what it holds: NULs, no final line feed,
        // sections without a closing bracket, a line of 128 KiB.
        ConfigCase{"BrokenFileKeepsWhatItHolds",
                   std::string(1, '\0') + "\x01garbage\n[LURRA_NAND\nRawFileSize_WithoutEboot=1\n" +
                       std::string(1 << 17, 'x') + "\n" + Nand("4096") + "[LURRA_PARAMS]\nCRCEnable=0",
                   false, 4096, nullptr, nullptr, 4096u, false}),
    [](const ::testing::TestParamInfo<ConfigCase>& p) { return std::string(p.param.name); });

// A configuration that cannot be what an administrator wrote is refused,
// never read for ever nor taken as "all defaults".
struct BadConfigCase {
  const char* name;
  void (*make)(const std::string& path);
  std::string (*line)(const std::string& path);
};

std::string NotRegular(const std::string& path) { return Format(texts::kConfigNotRegular, path.c_str()); }

class BadConfigTest : public EdgeFixture, public ::testing::WithParamInterface<BadConfigCase> {};

TEST_P(BadConfigTest, IsRefusedWithItsLine) {
  const std::string config = m_dir.Path("file/LURRA.ini");
  std::filesystem::remove(config);
  GetParam().make(config);
  const auto started = std::chrono::steady_clock::now();
  const EdgeOutcome o = Flash(WriteImg("image.img", ImageAt(786432)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_FALSE(o.started);
  EXPECT_TRUE(m_lastRun.run->ConfigurationRefused());
  EXPECT_EQ(o.startLine, GetParam().line(config));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadConfigTest,
    ::testing::Values(
        BadConfigCase{"Directory", [](const std::string& p) { std::filesystem::create_directories(p); },
                      NotRegular},
        BadConfigCase{"Fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
                      NotRegular},
        BadConfigCase{"LinkToAnEndlessDevice",
                      [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
                      NotRegular},
        BadConfigCase{"TooLarge",
                      [](const std::string& p) {
                        std::ofstream(p) << "[LURRA_PARAMS]\nCRCEnable=1\n" << std::string(PROFILE_FILE_LIMIT, ';');
                      },
                      [](const std::string& p) {
                        return Format(texts::kConfigTooLarge, p.c_str(), static_cast<unsigned>(PROFILE_FILE_LIMIT / 1024));
                      }},
        BadConfigCase{"ReplyTimeoutNotANumber",
                      [](const std::string& p) { std::ofstream(p) << "[LURRA_PARAMS]\nReplyTimeout=6O\n"; },
                      [](const std::string& p) {
                        return "ReplyTimeout=6O in section [LURRA_PARAMS] of " + p +
                               " is not a whole number of seconds: write for example ReplyTimeout=60 (0 for no limit)";
                      }}),
    [](const ::testing::TestParamInfo<BadConfigCase>& p) { return std::string(p.param.name); });

// A path of `length` bytes below `base` (directories of at most 200 bytes,
// so that no name is too long for the file system); created when `create`.
std::string PathOfLength(const std::string& base, size_t length, const std::string& extension, bool create) {
  std::string path = base;
  while (length - path.size() > 200 + extension.size() + 1) {
    path += std::string(200, 'd') + "/";
    if (create) std::filesystem::create_directories(path);
  }
  path += std::string(length - path.size() - extension.size(), 'n') + extension;
  return path;
}

struct PathCase {
  size_t length;
  const char* extension;
  bool created;
  const char* line;  // the last line (%s: the path), null for a success
  bool atStart;      // Start shows it
};

class ImagePathTest : public EdgeFixture, public ::testing::WithParamInterface<PathCase> {};

TEST_P(ImagePathTest, IsFlashedOrRefusedWholeNeverCut) {
  const PathCase& c = GetParam();
  m_dir.Config(Nand("4096", "4096", "4096"));
  const std::string path = PathOfLength(m_dir.Directory(), c.length, c.extension, c.created);
  ASSERT_EQ(path.size(), c.length);
  if (c.created) {
    if (std::string(c.extension) == ".raw") {
      WriteRawFile(path.substr(m_dir.Directory().size()), 4096);
    } else {
      WriteImg(path.substr(m_dir.Directory().size()), ImageAt(4096));
    }
  }
  const EdgeOutcome o = Flash(path);
  if (c.line == nullptr) {
    EXPECT_TRUE(o.succeeded) << ::testing::PrintToString(o.lines);
    EXPECT_EQ(m_lastRun.run->m_imageFile.path, path);
  } else if (c.atStart) {
    EXPECT_FALSE(o.started);
    EXPECT_EQ(o.startLine, Fill(c.line, path));
  } else {
    EXPECT_FALSE(o.succeeded);
    ASSERT_FALSE(o.lines.empty());
    EXPECT_EQ(o.lines.back(), Fill(c.line, path));
    EXPECT_EQ(o.attaches, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ImagePathTest,
    ::testing::Values(PathCase{255, ".img", true, nullptr, false}, PathCase{255, ".raw", true, nullptr, false},
                      PathCase{256, ".img", true, texts::kFileNameTooLong, false},
                      PathCase{256, ".raw", true, texts::kFileNameTooLong, false},
                      PathCase{1024, ".img", true, texts::kFileNameTooLong, false},
                      // Longer than the system takes: Start cannot open it.
                      PathCase{5000, ".img", false, texts::kOpenFileFailed, true}),
    [](const ::testing::TestParamInfo<PathCase>& p) {
      return std::to_string(p.param.length) + "_" + std::string(p.param.extension + 1);
    });

// A program directory of `length` bytes (with its trailing '/') holding file/.
std::string ProgramDirectoryOfLength(const testing::ProgramDirectory& dir, size_t length) {
  std::string path = dir.Directory();
  while (length - path.size() > 201) path += std::string(200, 'p') + "/";
  path += std::string(length - path.size() - 1, 'q') + "/";
  std::filesystem::create_directories(path + "file");
  for (const char* name : {"file/2ND.nb0", "file/NANDOUT.nb0", "file/OneNANDOUT.nb0"})
    std::filesystem::copy_file(dir.Path(name), path + name);
  return path;
}

struct DirectoryCase {
  size_t length;
  int flashType;
  bool fits;
};

class ProgramDirectoryTest : public EdgeFixture, public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(ProgramDirectoryTest, RunsWhenEveryPathFitsAndOtherwiseSaysSo) {
  const DirectoryCase& c = GetParam();
  m_moduleDirectory = ProgramDirectoryOfLength(m_dir, c.length);
  ASSERT_EQ(m_moduleDirectory.size(), c.length);
  // OneNAND's header place without a configuration: 131,072.
  const std::string image = WriteImg("image.img", ImageAt(c.flashType == 0 ? 786432 : 131072));
  const EdgeOutcome o = Flash(image, "", {}, c.flashType);
  if (c.fits) {
    ASSERT_TRUE(o.started) << o.startLine;
    EXPECT_TRUE(o.succeeded) << ::testing::PrintToString(o.lines);
    EXPECT_EQ(std::string(m_lastRun.run->m_programFile.path),
              m_moduleDirectory + (c.flashType == 0 ? "file/NANDOUT.nb0" : "file/OneNANDOUT.nb0"));
  } else {
    EXPECT_FALSE(o.started);
    EXPECT_EQ(o.startLine, Format(texts::kDirectoryTooLong, kModuleDirectoryLimit, m_moduleDirectory.c_str()));
    EXPECT_EQ(o.attaches, 0u);
  }
}

// "file/OneNANDOUT.nb0" is the longest name (19 bytes): 236 bytes of directory
// fit it; NAND's longest, "file/NANDOUT.nb0", leaves room for 239.
INSTANTIATE_TEST_SUITE_P(Lengths, ProgramDirectoryTest,
                         ::testing::Values(DirectoryCase{236, 1, true}, DirectoryCase{237, 1, false},
                                           DirectoryCase{239, 0, true}, DirectoryCase{240, 0, false},
                                           DirectoryCase{600, 0, false}),
                         [](const ::testing::TestParamInfo<DirectoryCase>& p) {
                           return std::to_string(p.param.length) + (p.param.flashType == 0 ? "_nand" : "_onenand");
                         });

}  // namespace
}  // namespace morvak
