#include <cctype>
#include <limits>

#include "MkimgCommand.h"
#include "Version.h"

namespace morvak {
namespace {

constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
constexpr uint64_t kMax64 = std::numeric_limits<uint64_t>::max();

constexpr const char* kUsage =
    "Usage:\n"
    "  morvak-mkimg img OUT [options]   write a record image (.img)\n"
    "  morvak-mkimg raw OUT --size N [options]   write a raw image (.raw)\n"
    "  morvak-mkimg --help | --version\n"
    "\n"
    "Numbers are decimal or 0x hex, optionally followed by K, M or G (x1024).\n"
    "Data is a deterministic pattern from a seed, so the same command always\n"
    "writes the same bytes.\n"
    "\n"
    "img options:\n"
    "  --raw-size N          leading raw part, where the header stands (default 786432)\n"
    "  --raw-seed S          pattern seed of the raw part (default 1)\n"
    "  --raw-zero            raw part all zeros (written as a hole)\n"
    "  --header-words W1,W2  the two header words (default: lowest record address\n"
    "                        and the span up to the highest record end)\n"
    "  --record ADDR:LEN[:SEED|zero[:CHECKSUM]]\n"
    "                        a record, in order (repeat for more). Default seed:\n"
    "                        its position + 2; default checksum: the byte sum of\n"
    "                        its data (1 if that is 0)\n"
    "  --layout C1,C2,...    add the flash layout record, one table entry per block\n"
    "                        count (131072-byte blocks); an empty list gives none\n"
    "  --layout-at I         its position among the records (default 0, first)\n"
    "  --layout-address A    its address (default 0x10000)\n"
    "  --layout-length N     its length (default 4112, the two units)\n"
    "  --layout-checksum C   its checksum field (default: byte sum)\n"
    "  --layout-table-size N the table size field (default 16 per entry)\n"
    "  --layout-jump B       first byte of the boot unit (default 0xEB)\n"
    "  --layout-no-boot-signature   no 0x55 0xAA at unit bytes 510/511\n"
    "  --layout-magic TEXT   first 8 bytes of the table unit (default MSFLSH50)\n"
    "  --no-terminator       end the file after the last record\n"
    "  --terminator-length N length field of the terminating record (default 0)\n"
    "  --signature-byte I:B  put byte B at index I (0-6) of the header signature\n"
    "  --trailing N          N pattern bytes after the terminator\n"
    "  --truncate N          cut the finished file to N bytes\n"
    "  --blocks FILE         write the blocks a run must send, one line each:\n"
    "                        KIND 0xADDRESS LENGTH 0xCRC16\n"
    "\n"
    "raw options:\n"
    "  --size N              file length (required; may exceed 4 GiB with --zero)\n"
    "  --seed S              pattern seed (default 1)\n"
    "  --zero                all zeros (written as a hole)\n"
    "  --prefix TEXT         the file begins with TEXT\n"
    "  --blocks FILE         write the DATA_RAW block a run sends\n"
    "  --send N              how many bytes that run sends (default: the whole file)\n"
    "\n"
    "Exit status: 0 written, 1 the file could not be written, 2 bad usage.\n";

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text = text.substr(at + 1);
  }
}

// Reads the option's value from "--name=value" or from the next argument.
class ArgReader {
 public:
  explicit ArgReader(const std::vector<std::string>& args) : m_args(args) {}
  bool Done() const { return m_nNext >= m_args.size(); }
  std::string_view Next() { return m_args[m_nNext++]; }
  bool Value(std::string_view inlineValue, bool hasInline, std::string_view& value) {
    if (hasInline) {
      value = inlineValue;
      return true;
    }
    if (Done()) return false;
    value = Next();
    return true;
  }

 private:
  const std::vector<std::string>& m_args;
  size_t m_nNext = 0;
};

struct Parser {
  MkimgCommand& cmd;
  std::string& error;

  bool Fail(std::string text) {
    error = std::move(text);
    return false;
  }
  bool Number(std::string_view option, std::string_view text, uint64_t max, uint64_t& value) {
    if (ParseMkimgNumber(text, max, value)) return true;
    return Fail(std::string(option) + ": not a number in range: " + std::string(text));
  }
  bool Number32(std::string_view option, std::string_view text, uint32_t& value) {
    uint64_t v = 0;
    if (!Number(option, text, kMax32, v)) return false;
    value = static_cast<uint32_t>(v);
    return true;
  }

  bool Record(std::string_view text) {
    const std::vector<std::string_view> parts = Split(text, ':');
    if (parts.size() < 2 || parts.size() > 4) return Fail("--record: expected ADDR:LEN[:SEED|zero[:CHECKSUM]]");
    RecordDesc record;
    if (!Number32("--record address", parts[0], record.address)) return false;
    if (!Number32("--record length", parts[1], record.length)) return false;
    record.data.seed = static_cast<uint32_t>(cmd.image.records.size() + 2);
    if (parts.size() >= 3 && !parts[2].empty()) {
      if (parts[2] == "zero")
        record.data.zeroFill = true;
      else if (!Number32("--record seed", parts[2], record.data.seed))
        return false;
    }
    if (parts.size() == 4) {
      uint32_t checksum = 0;
      if (!Number32("--record checksum", parts[3], checksum)) return false;
      record.checksum = checksum;
    }
    cmd.image.records.push_back(std::move(record));
    return true;
  }

  bool Layout(std::string_view text) {
    LayoutDesc& layout = cmd.image.layout.emplace();
    if (text.empty()) return true;
    for (std::string_view part : Split(text, ',')) {
      uint32_t count = 0;
      if (!Number32("--layout", part, count)) return false;
      layout.blockCounts.push_back(count);
    }
    return true;
  }

  bool ImageOption(std::string_view name, std::string_view value, bool& used);
  bool LayoutOption(std::string_view name, std::string_view value, bool& used);
  bool RawOption(std::string_view name, std::string_view value, bool& used);
};

constexpr std::string_view kImageOptions[] = {
    "--raw-size", "--raw-seed", "--raw-zero", "--header-words", "--record", "--layout", "--layout-at",
    "--layout-address", "--layout-length", "--layout-checksum", "--layout-table-size", "--layout-jump",
    "--layout-no-boot-signature", "--layout-magic", "--no-terminator", "--terminator-length",
    "--signature-byte", "--trailing", "--truncate", "--blocks"};
constexpr std::string_view kRawOptions[] = {"--size", "--seed", "--zero", "--prefix", "--blocks", "--send"};

template <size_t N>
bool Known(const std::string_view (&names)[N], std::string_view name) {
  for (std::string_view known : names)
    if (known == name) return true;
  return false;
}

bool TakesNoValue(std::string_view name) {
  return name == "--raw-zero" || name == "--layout-no-boot-signature" || name == "--no-terminator" ||
         name == "--zero";
}

bool Parser::ImageOption(std::string_view name, std::string_view value, bool& used) {
  ImageDesc& image = cmd.image;
  used = true;
  if (name == "--raw-size") return Number32(name, value, image.rawSize);
  if (name == "--raw-seed") return Number32(name, value, image.rawData.seed);
  if (name == "--raw-zero") {
    image.rawData.zeroFill = true;
    return true;
  }
  if (name == "--header-words") {
    const std::vector<std::string_view> words = Split(value, ',');
    uint32_t w1 = 0, w2 = 0;
    if (words.size() != 2) return Fail("--header-words: expected W1,W2");
    if (!Number32(name, words[0], w1) || !Number32(name, words[1], w2)) return false;
    image.headerWord1 = w1;
    image.headerWord2 = w2;
    return true;
  }
  if (name == "--record") return Record(value);
  if (name == "--layout") {
    if (image.layout) return Fail("--layout given twice");
    return Layout(value);
  }
  if (name == "--no-terminator") {
    image.terminator.present = false;
    return true;
  }
  if (name == "--terminator-length") return Number32(name, value, image.terminator.length);
  if (name == "--signature-byte") {
    const std::vector<std::string_view> parts = Split(value, ':');
    uint64_t index = 0, byte = 0;
    if (parts.size() != 2) return Fail("--signature-byte: expected INDEX:BYTE");
    if (!Number(name, parts[0], 6, index) || !Number(name, parts[1], 0xFF, byte)) return false;
    image.signature[index] = static_cast<uint8_t>(byte);
    return true;
  }
  if (name == "--trailing") return Number(name, value, kMax64, image.trailingLength);
  if (name == "--truncate") {
    uint64_t at = 0;
    if (!Number(name, value, kMax64, at)) return false;
    image.truncateAt = at;
    return true;
  }
  if (name == "--blocks") {
    cmd.blocksPath = std::string(value);
    return true;
  }
  return LayoutOption(name, value, used);
}

bool Parser::LayoutOption(std::string_view name, std::string_view value, bool& used) {
  used = name.substr(0, 9) == "--layout-";
  if (!used) return true;
  if (!cmd.image.layout) return Fail(std::string(name) + " needs --layout before it");
  LayoutDesc& layout = *cmd.image.layout;
  if (name == "--layout-at") {
    uint64_t at = 0;
    if (!Number(name, value, kMax32, at)) return false;
    layout.position = static_cast<size_t>(at);
    return true;
  }
  if (name == "--layout-address") return Number32(name, value, layout.address);
  if (name == "--layout-length") return Number32(name, value, layout.length);
  if (name == "--layout-checksum") {
    uint32_t checksum = 0;
    if (!Number32(name, value, checksum)) return false;
    layout.checksum = checksum;
    return true;
  }
  if (name == "--layout-table-size") {
    uint32_t size = 0;
    if (!Number32(name, value, size)) return false;
    layout.tableSize = size;
    return true;
  }
  if (name == "--layout-jump") {
    uint64_t byte = 0;
    if (!Number(name, value, 0xFF, byte)) return false;
    layout.jumpByte = static_cast<uint8_t>(byte);
    return true;
  }
  if (name == "--layout-no-boot-signature") {
    layout.bootSignature = false;
    return true;
  }
  if (name == "--layout-magic") {
    if (value.size() > 8) return Fail("--layout-magic: at most 8 characters");
    layout.magic = std::string(value);
    return true;
  }
  used = false;
  return true;
}

bool Parser::RawOption(std::string_view name, std::string_view value, bool& used) {
  RawDesc& raw = cmd.raw;
  used = true;
  if (name == "--size") return Number(name, value, kMax64, raw.size);
  if (name == "--seed") return Number32(name, value, raw.data.seed);
  if (name == "--zero") {
    raw.data.zeroFill = true;
    return true;
  }
  if (name == "--prefix") {
    raw.data.given.assign(value.begin(), value.end());
    return true;
  }
  if (name == "--blocks") {
    cmd.blocksPath = std::string(value);
    return true;
  }
  if (name == "--send") {
    uint32_t send = 0;
    if (!Number32(name, value, send)) return false;
    cmd.rawSendLength = send;
    return true;
  }
  used = false;
  return true;
}

}  // namespace

bool ParseMkimgNumber(std::string_view text, uint64_t max, uint64_t& value) {
  uint64_t base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t scale = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K': scale = uint64_t{1} << 10; break;
      case 'M': scale = uint64_t{1} << 20; break;
      case 'G': scale = uint64_t{1} << 30; break;
      default: break;
    }
    // In hex, a trailing digit is a digit, not a suffix (no hex digit is K, M or G).
    if (scale != 1) text.remove_suffix(1);
  }
  if (text.empty()) return false;
  uint64_t v = 0;
  for (char c : text) {
    const int ch = static_cast<unsigned char>(c);
    uint64_t digit = 0;
    if (std::isdigit(ch) != 0)
      digit = static_cast<uint64_t>(ch - '0');
    else if (base == 16 && std::isxdigit(ch) != 0)
      digit = static_cast<uint64_t>(std::tolower(ch) - 'a' + 10);
    else
      return false;
    if (v > (kMax64 - digit) / base) return false;
    v = v * base + digit;
  }
  if (v > max / scale) return false;
  value = v * scale;
  return value <= max;
}

bool ParseMkimgArgs(const std::vector<std::string>& args, MkimgCommand& command, std::string& error) {
  command = MkimgCommand{};
  error.clear();
  if (args.empty()) {
    error = "a command is needed: img, raw, --help or --version";
    return false;
  }
  const std::string_view verb = args[0];
  if (verb == "--help" || verb == "-h" || verb == "help") {
    command.action = MkimgAction::Help;
    return true;
  }
  if (verb == "--version") {
    command.action = MkimgAction::Version;
    return true;
  }
  if (verb == "img")
    command.action = MkimgAction::Image;
  else if (verb == "raw")
    command.action = MkimgAction::Raw;
  else {
    error = "unknown command: " + std::string(verb);
    return false;
  }

  const std::vector<std::string> rest(args.begin() + 1, args.end());
  ArgReader reader(rest);
  Parser parser{command, error};
  bool sizeGiven = false;
  while (!reader.Done()) {
    const std::string_view arg = reader.Next();
    if (arg == "--help" || arg == "-h") {
      command.action = MkimgAction::Help;
      return true;
    }
    if (arg.substr(0, 2) != "--" || arg.size() == 2) {
      if (!command.output.empty()) return parser.Fail("unexpected argument: " + std::string(arg));
      command.output = std::string(arg);
      continue;
    }
    const size_t eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    const bool hasInline = eq != std::string_view::npos;
    const bool known = command.action == MkimgAction::Image ? Known(kImageOptions, name) : Known(kRawOptions, name);
    if (!known) return parser.Fail("unknown option for " + std::string(verb) + ": " + std::string(name));
    std::string_view value;
    if (TakesNoValue(name)) {
      if (hasInline) return parser.Fail(std::string(name) + " takes no value");
    } else if (!reader.Value(hasInline ? arg.substr(eq + 1) : std::string_view{}, hasInline, value)) {
      return parser.Fail(std::string(name) + " needs a value");
    }
    bool used = false;
    const bool ok = command.action == MkimgAction::Image ? parser.ImageOption(name, value, used)
                                                         : parser.RawOption(name, value, used);
    if (!ok) return false;
    if (!used) return parser.Fail("unknown option for " + std::string(verb) + ": " + std::string(name));
    sizeGiven = sizeGiven || name == "--size";
  }
  if (command.output.empty()) return parser.Fail("the output file is missing");
  if (command.action == MkimgAction::Raw && !sizeGiven) return parser.Fail("raw needs --size N");
  if (command.action == MkimgAction::Image && command.image.layout &&
      command.image.layout->position > command.image.records.size())
    return parser.Fail("--layout-at: there are only " + std::to_string(command.image.records.size()) + " records");
  return true;
}

const char* MkimgUsage() { return kUsage; }

std::string MkimgVersion() { return std::string("morvak-mkimg ") + kVersion + "\n"; }

}  // namespace morvak
