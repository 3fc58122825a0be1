#include "SeedCorpus.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "ByteOrder.h"
#include "CoffWriter.h"
#include "Crc16.h"
#include "Frame.h"
#include "FuzzInputs.h"
#include "ImageWriter.h"
#include "StdioFile.h"
#include "TargetLink.h"

namespace morvak::fuzz {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class SeedSink {
 public:
  explicit SeedSink(fs::path directory) : m_directory(std::move(directory)) {}

  bool Begin(const char* target) {
    m_target = m_directory / target;
    std::error_code ec;
    fs::remove_all(m_target, ec);
    fs::create_directories(m_target, ec);
    if (ec) return Fail("cannot make " + m_target.string());
    return true;
  }
  bool Put(const std::string& name, const Bytes& bytes) {
    std::ofstream out(m_target / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) return Fail("cannot write " + (m_target / name).string());
    return true;
  }
  bool Fail(std::string problem) {
    if (m_problem.empty()) m_problem = std::move(problem);
    return false;
  }
  const fs::path& Directory() const { return m_directory; }
  const std::string& Problem() const { return m_problem; }

 private:
  fs::path m_directory;
  fs::path m_target;
  std::string m_problem;
};

bool ReadWhole(const fs::path& path, Bytes& bytes) {
  StdioFile file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  bytes.clear();
  uint8_t chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file.get())) != 0;) bytes.insert(bytes.end(), chunk, chunk + n);
  return std::ferror(file.get()) == 0;
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

void AppendFrame(Bytes& out, uint32_t magic, uint32_t code, uint32_t param1 = 0, uint32_t param2 = 0) {
  uint8_t bytes[FRAME_SIZE];
  PackFrame(Frame{magic, code, param1, param2}, bytes);
  out.insert(out.end(), bytes, bytes + FRAME_SIZE);
}

void AppendText(Bytes& out, std::string_view text) {
  AppendFrame(out, DATA_MAGIC, DATA_TEXT, 0, static_cast<uint32_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

Bytes Pattern(size_t length, uint8_t start) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(start + i * 7);
  return bytes;
}

RecordDesc Record(uint32_t address, uint32_t length) {
  RecordDesc r;
  r.address = address;
  r.length = length;
  r.data.seed = address ^ length;
  return r;
}

LayoutDesc Layout(std::vector<uint32_t> blockCounts, size_t position = 0) {
  LayoutDesc layout;
  layout.blockCounts = std::move(blockCounts);
  layout.position = position;
  return layout;
}

// ---- fuzz_image_scan

struct ImageSeed {
  const char* name;
  uint8_t flags;
  uint8_t rawWithout;
  uint8_t rawWith;
  ImageDesc image;
};

uint8_t NameFlags(uint8_t index) { return static_cast<uint8_t>(index << IMAGE_SCAN_NAME_SHIFT); }

std::vector<ImageSeed> ImageSeeds() {
  std::vector<ImageSeed> seeds;
  auto add = [&](const char* name, uint8_t flags, uint8_t without, uint8_t with, uint32_t rawSize) -> ImageDesc& {
    ImageSeed s{name, flags, without, with, {}};
    s.image.rawSize = rawSize;
    seeds.push_back(std::move(s));
    return seeds.back().image;
  };
  ImageDesc* d = &add("img-layout-first", 0, 0, 64, 0);
  d->layout = Layout({2, 3});
  d->records = {Record(0x00200000, 64), Record(0x00300000, 100)};

  d = &add("img-raw-part", 0, 64, 128, 64);
  d->layout = Layout({1});
  d->records = {Record(0x00200000, 40)};

  d = &add("img-with-eboot", 0, 0, 32, 32);
  d->layout = Layout({4});
  d->records = {Record(0x00200000, 24)};

  d = &add("img-layout-after-long-record", IMAGE_SCAN_ERASE_RESERVED, 0, 0, 0);
  d->layout = Layout({1, 1, 1}, 1);
  d->records = {Record(0x00200000, 3000), Record(0x00400000, 20)};

  d = &add("img-layout-after-short-record", 0, 0, 0, 0);
  d->layout = Layout({7}, 1);
  d->records = {Record(0x00200000, 16)};

  d = &add("img-layout-jump-e9", IMAGE_SCAN_NO_CRC, 0, 0, 0);
  d->layout = Layout({2});
  d->layout->jumpByte = 0xE9;
  d->records = {Record(0x00200000, 8)};

  d = &add("img-no-layout", 0, 0, 0, 0);
  d->records = {Record(0x00200000, 30), Record(0x00300000, 30)};

  d = &add("img-no-terminator", 0, 0, 0, 0);
  d->layout = Layout({1});
  d->terminator.present = false;

  d = &add("img-empty-record", 0, 0, 0, 0);
  d->layout = Layout({1});
  d->records = {Record(0x00200000, 0), Record(0x00300000, 12)};

  d = &add("img-onenand", IMAGE_SCAN_ONENAND | IMAGE_SCAN_ERASE_RESERVED, 16, 48, 16);
  d->layout = Layout({3, 0x7FFF});
  d->records = {Record(0x00200000, 50)};

  d = &add("img-upper-case-raw-name", NameFlags(2), 0, 0, 0);
  d->layout = Layout({1});

  d = &add("img-after-raw-name", NameFlags(3), 0, 0, 0);
  d->layout = Layout({2});
  d->trailingLength = 40;

  // The scans read through a 64 KiB window that starts where a read first
  // needs it: these reach past one window, and make the layout search seek
  // back from a unit that straddles a window's end to before the new window.
  d = &add("img-layout-past-window", 0, 0, 0, 0);
  d->layout = Layout({5}, 1);
  d->records = {Record(0x00200000, 70000), Record(0x00300000, 500)};

  d = &add("img-back-across-window", 0, 0, 0, 0);
  d->layout = Layout({6}, 3);
  d->records = {Record(0x00200000, 65503), Record(0x00300000, 4), Record(0x00400000, 30)};
  return seeds;
}

bool WriteImageSeeds(SeedSink& sink) {
  if (!sink.Begin("fuzz_image_scan")) return false;
  const fs::path scratch = sink.Directory() / "seed-image.tmp";
  for (const ImageSeed& s : ImageSeeds()) {
    std::string problem;
    Bytes file;
    if (WriteImage(scratch.string(), s.image, nullptr, problem) != IMAGE_WRITE_OK || !ReadWhole(scratch, file))
      return sink.Fail(problem.empty() ? "cannot read " + scratch.string() : problem);
    Bytes seed = {s.flags, s.rawWithout, s.rawWith};
    Append(seed, file);
    if (!sink.Put(s.name, seed)) return false;
  }
  // Raw images: only their length matters to Start.
  for (const auto& [name, length] : {std::pair{"raw-longer-than-part", 200u}, std::pair{"raw-within-part", 60u}}) {
    Bytes seed = {NameFlags(1), 100, 150};
    Append(seed, Pattern(length, 3));
    if (!sink.Put(name, seed)) return false;
  }
  std::error_code ec;
  fs::remove(scratch, ec);
  return true;
}

// ---- fuzz_coff_parse

testing::CoffWriterSection Section(const char* name, uint32_t address, size_t length, uint8_t start) {
  testing::CoffWriterSection s;
  s.name = name;
  s.virtualAddress = address;
  s.physicalAddress = address;
  s.data = Pattern(length, start);
  return s;
}

bool WriteCoffSeeds(SeedSink& sink) {
  if (!sink.Begin("fuzz_coff_parse")) return false;
  for (const bool big : {false, true}) {
    const std::string order = big ? "be" : "le";
    testing::CoffWriter plain;
    plain.bigEndian = big;
    plain.sections = {Section(".text", 0x1000, 64, 1), Section(".data", 0x1800, 32, 2)};
    testing::CoffWriterSection bss;
    bss.name = ".bss";
    bss.virtualAddress = 0x2000;
    bss.hasData = false;
    bss.size = 256;
    plain.sections.push_back(bss);

    testing::CoffWriter rich = plain;
    rich.sections[0].relocations = {{0x1004, 1, 0, 0x11}, {0x1008, 0, 0, 0x11}};
    rich.sections[0].hasRelocations = true;
    rich.sections[0].lineNumbers = {{0, 0}, {0x1004, 3}};
    rich.sections[0].hasLineNumbers = true;
    testing::CoffWriterSection named = Section(".text_with_a_long_name", 0x3000, 40, 3);
    named.nameInTable = true;
    rich.sections.push_back(named);
    testing::CoffWriterSection debug = Section(".debug_info", 0, 30, 4);
    rich.sections.push_back(debug);
    testing::CoffWriterSection debugNamed = Section(".debug_line_in_table", 0, 20, 5);
    debugNamed.nameInTable = true;
    rich.sections.push_back(debugNamed);
    rich.symbols = {{{0x6D61696E, 0}, 0x1000, 1, 0, 2, 0}, {{0, 4}, 0x1800, 2, 0, 3, 0}};
    rich.symbolTable = true;
    rich.extraStrings = {"main_symbol_name"};

    testing::CoffWriter overlap;
    overlap.bigEndian = big;
    overlap.optionalHeader = false;
    overlap.sections = {Section(".a", 0x100, 64, 6), Section(".b", 0x120, 64, 7), Section(".c", 0x80, 16, 8)};

    testing::CoffWriter high;
    high.bigEndian = big;
    high.sections = {Section(".top", 0xFFFFFFF0u, 32, 9), Section(".low", 0x10, 8, 10)};

    for (const auto& [name, writer] : {std::pair{"plain", &plain}, std::pair{"rich", &rich},
                                       std::pair{"overlap", &overlap}, std::pair{"high-address", &high}})
      if (!sink.Put(order + "-" + name, writer->Build())) return false;
  }
  return true;
}

// ---- fuzz_wait_report

bool WriteWaitReportSeeds(SeedSink& sink) {
  if (!sink.Begin("fuzz_wait_report")) return false;
  const uint32_t crc = Crc16(kWaitReportBlock, sizeof kWaitReportBlock);
  std::vector<std::pair<std::string, Bytes>> seeds;

  Bytes b = {0};
  AppendText(b, "Erasing block 3");
  AppendFrame(b, COMMAND_MAGIC, REPORT_RANGE, 4096);
  AppendFrame(b, COMMAND_MAGIC, REPORT_PROGRESS, 1024);
  AppendFrame(b, COMMAND_MAGIC, REPORT_PROGRESS, 4096);
  AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
  seeds.emplace_back("texts-and-progress", b);

  b = {0};
  AppendText(b, std::string(300, 'L'));
  AppendText(b, std::string("short\0tail", 10));
  AppendFrame(b, COMMAND_MAGIC, REPORT_ERROR, 0xFFFFFFFBu);
  seeds.emplace_back("long-text-then-error", b);

  b = {0};
  AppendFrame(b, DATA_MAGIC, DATA_RAW, 0, 8);
  AppendFrame(b, COMMAND_MAGIC, REPORT_CRC, 7);
  AppendFrame(b, 0x12345678u, REPORT_ACK);
  AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
  AppendText(b, std::string(256, 'x'));
  AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
  seeds.emplace_back("other-frames-two-waits", b);

  b = {0};
  AppendText(b, "cut short");
  b.resize(b.size() - 3);
  seeds.emplace_back("text-cut-short", b);

  b = {WAIT_REPORT_BLOCKS};
  for (int i = 0; i < 2; ++i) {
    AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
    AppendFrame(b, COMMAND_MAGIC, REPORT_RANGE, 16);
    AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
  }
  seeds.emplace_back("blocks", b);

  b = {WAIT_REPORT_BLOCKS | WAIT_REPORT_CRC};
  AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
  AppendFrame(b, COMMAND_MAGIC, REPORT_CRC, crc ^ 1u);
  AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
  AppendFrame(b, COMMAND_MAGIC, REPORT_CRC, crc);
  AppendText(b, "Writing");
  AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
  AppendFrame(b, COMMAND_MAGIC, REPORT_ACK);
  AppendFrame(b, COMMAND_MAGIC, REPORT_CRC, crc);
  AppendFrame(b, COMMAND_MAGIC, REPORT_ERROR, 3);
  seeds.emplace_back("blocks-with-checksums", b);

  for (const auto& [name, bytes] : seeds)
    if (!sink.Put(name, bytes)) return false;
  return true;
}

// ---- fuzz_profile_file

bool WriteProfileSeeds(SeedSink& sink, const std::string& profileSeed) {
  if (!sink.Begin("fuzz_profile_file")) return false;
  Bytes shipped;
  if (!profileSeed.empty()) {
    if (!ReadWhole(profileSeed, shipped)) return sink.Fail("cannot read " + profileSeed);
    if (!sink.Put("shipped-configuration", shipped)) return false;
  }
  const std::pair<const char*, std::string_view> seeds[] = {
      {"number-forms",
       "[LURRA_PARAMS]\r\nCRCEnable = 0x10\r\nDownloadRaw=-1\r\n[lurra_nand]\r\n"
       "RawFileSize_WithoutEboot=\"123\"\r\nBinaryRegionSize_WithEboot=12abc\r\n"
       "RawFileSize_WithEboot=4294967296\r\n"},
      {"odd-lines",
       "key=before any section\n; comment=1\n[ LURRA_USB ]\nVendorId=0x1F3A\nPort=\n"
       "[broken\nProductId=0xEFE8\n=no key\n  [LURRA_OneNAND]  \nRawFileSize_WithoutEboot='7'\n"
       "rawfilesize_withouteboot=8\n"},
      {"empty-values", "[LURRA_PARAMS]\nCRCEnable=\nDownloadRaw=   \n[]\n=\n"},
  };
  for (const auto& [name, text] : seeds)
    if (!sink.Put(name, Bytes(text.begin(), text.end()))) return false;
  return true;
}

// ---- fuzz_handset_parser

// The host's side of a whole run: boot, loader, programmer, configuration,
// a raw block and a record, each checked and run, then the end.
Bytes HostConversation() {
  Bytes b(BOOT_FLASH_COMMAND, BOOT_FLASH_COMMAND + sizeof BOOT_FLASH_COMMAND);
  const Bytes loader = Pattern(24, 11);
  uint8_t length[4];
  StoreLE32(length, static_cast<uint32_t>(loader.size()));
  b.insert(b.end(), length, length + 4);
  Append(b, loader);
  AppendFrame(b, COMMAND_MAGIC, CMD_PING);
  AppendFrame(b, COMMAND_MAGIC, CMD_SET_RAM_TYPE);
  const auto block = [&b](uint32_t kind, uint32_t address, size_t size, uint8_t start) {
    AppendFrame(b, DATA_MAGIC, kind, address, static_cast<uint32_t>(size));
    Append(b, Pattern(size, start));
    AppendFrame(b, COMMAND_MAGIC, CMD_GET_CRC);
    AppendFrame(b, COMMAND_MAGIC, CMD_RUN);
  };
  block(DATA_PROGRAM, 0x10000000u, 48, 12);
  AppendFrame(b, COMMAND_MAGIC, CMD_CONFIG_A, 0xC0000, 0xC0000);
  AppendFrame(b, COMMAND_MAGIC, CMD_CONFIG_B, 0x140000, 0);
  block(DATA_RAW, 0, 64, 13);
  block(DATA_RECORD, 0x00200000, 40, 14);
  AppendFrame(b, COMMAND_MAGIC, CMD_END_TRANSFER);
  return b;
}

bool WriteHandsetSeeds(SeedSink& sink) {
  if (!sink.Begin("fuzz_handset_parser")) return false;
  const Bytes conversation = HostConversation();
  const std::pair<const char*, std::string_view> plans[] = {
      {"whole-run", ""},
      {"crc-bad", "crc-bad=1"},
      {"texts-and-error", "texts=2,error=5@2"},
      {"hang-at-run", "hang=run:2"},
      {"disconnect", "disconnect=200"},
      {"ping-bad", "ping-bad"},
      {"config-refused", "config-refuse=b"},
      {"ram-refused", "ram-refuse"},
      {"bad-plan", "crc-bad=x,texts=2"},
  };
  uint8_t split = 1;
  for (const auto& [name, plan] : plans) {
    Bytes seed = {split++, static_cast<uint8_t>(plan.size())};
    seed.insert(seed.end(), plan.begin(), plan.end());
    Append(seed, conversation);
    if (!sink.Put(name, seed)) return false;
  }
  // A host that skips the set-up: the programmer's commands too early.
  Bytes early = {9, 0};
  Append(early, Bytes(conversation.begin(), conversation.begin() + 32));
  AppendFrame(early, COMMAND_MAGIC, CMD_CONFIG_A, 1, 2);
  return sink.Put("out-of-order", early);
}

}  // namespace

bool WriteSeedCorpus(const std::string& directory, const std::string& profileSeed, std::string& problem) {
  SeedSink sink{fs::path(directory)};
  const bool written = WriteImageSeeds(sink) && WriteCoffSeeds(sink) && WriteWaitReportSeeds(sink) &&
                       WriteProfileSeeds(sink, profileSeed) && WriteHandsetSeeds(sink);
  problem = sink.Problem();
  return written;
}

}  // namespace morvak::fuzz
