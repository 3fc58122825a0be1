#include <cstdarg>
#include <cstdio>
#include <fstream>

#include "ImageBlocks.h"
#include "ImageWriter.h"
#include "MkimgCommand.h"

namespace morvak {
namespace {

constexpr const char* kCannotWriteBlocks = "cannot write the block list ";

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char line[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return line;
}

unsigned long long U(uint64_t v) { return static_cast<unsigned long long>(v); }

std::string ImageReport(const std::string& path, const ImageDesc& desc, const ImagePlan& plan) {
  std::string text = path + ": " + std::to_string(plan.fileSize) + " bytes\n";
  text += Format("  0x%08llX  raw part, %llu bytes\n", U(0), U(desc.rawSize));
  text += Format("  0x%08llX  header, words 0x%08llX 0x%08llX\n", U(plan.headerOffset), U(plan.headerWord1),
                 U(plan.headerWord2));
  for (size_t i = 0; i < plan.records.size(); ++i) {
    const PlannedRecord& record = plan.records[i];
    text += Format("  0x%08llX  record %llu: ", U(record.headerOffset), U(i));
    text += Format("address 0x%08llX, length %llu", U(record.desc.address), U(record.desc.length));
    if (record.layout) {
      text += ", flash layout with blocks";
      // Appended piecewise: GCC 12 at -O3 warns falsely (-Wrestrict) of the
      // insert behind `" " + std::string`.
      for (uint32_t count : desc.layout->blockCounts) {
        text += ' ';
        text += std::to_string(count);
      }
      text += ", reserved size " + std::to_string(LayoutReservedSize(*desc.layout));
    }
    text += "\n";
  }
  if (plan.terminatorOffset)
    text += Format("  0x%08llX  terminating record\n", U(*plan.terminatorOffset));
  else
    text += "  (no terminating record)\n";
  if (plan.fileSize < plan.fullSize) text += Format("  cut at %llu of %llu bytes\n", U(plan.fileSize), U(plan.fullSize));
  return text;
}

bool WriteBlockLines(const std::string& path, const std::vector<ImageBlock>& blocks) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const ImageBlock& block : blocks) out << FormatBlockLine(block) << '\n';
  out.close();
  return !out.fail();
}

}  // namespace

int RunMkimg(const MkimgCommand& command, std::string& report, std::string& problem) {
  report.clear();
  problem.clear();
  std::vector<ImageBlock> blocks;
  if (command.action == MkimgAction::Image) {
    ImagePlan plan;
    if (WriteImage(command.output, command.image, &plan, problem) != IMAGE_WRITE_OK) return MKIMG_EXIT_FAILED;
    report = ImageReport(command.output, command.image, plan);
    if (!command.blocksPath.empty()) ExpectedImageBlocks(command.image, blocks);
  } else if (command.action == MkimgAction::Raw) {
    if (WriteRaw(command.output, command.raw, problem) != IMAGE_WRITE_OK) return MKIMG_EXIT_FAILED;
    report = command.output + ": " + std::to_string(command.raw.size) + " bytes\n";
    if (!command.blocksPath.empty()) {
      const uint64_t whole = command.raw.size > UINT32_MAX ? UINT32_MAX : command.raw.size;
      ImageBlock block;
      const uint32_t send = command.rawSendLength.value_or(static_cast<uint32_t>(whole));
      if (!ExpectedRawBlock(command.raw, send, block)) {
        problem = "--send " + std::to_string(send) + " is longer than the file";
        return MKIMG_EXIT_FAILED;
      }
      blocks.push_back(block);
    }
  } else {
    return MKIMG_EXIT_OK;
  }
  if (!command.blocksPath.empty() && !WriteBlockLines(command.blocksPath, blocks)) {
    problem = kCannotWriteBlocks + command.blocksPath;
    return MKIMG_EXIT_FAILED;
  }
  return MKIMG_EXIT_OK;
}

}  // namespace morvak
