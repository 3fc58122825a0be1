#include "RunOpModel.h"

#include "ByteOrder.h"
#include "Format.h"
#include "Frame.h"
#include "LinkTexts.h"
#include "RegularFile.h"
#include "RunTexts.h"

namespace morvak::testing {
namespace {

enum class Boot { Asic, FlashCommand, SizeCommand, Loader, Done };

}  // namespace

const char* StepName(Step step) {
  switch (step) {
    case Step::Open: return "open";
    case Step::AsicId: return "ASIC ID";
    case Step::FlashCommand: return "flash command";
    case Step::SizeCommand: return "size command";
    case Step::Loader: return "loader";
    case Step::Ping: return "ping";
    case Step::RamType: return "RAM type";
    case Step::Block: return "block";
    case Step::Run: return "run";
    case Step::Report: return "report";
    case Step::Config: return "config";
    case Step::EndTransfer: return "end transfer";
    case Step::Unknown: break;
  }
  return "unknown";
}

std::vector<OpStep> ClassifyOps(const std::vector<LoggedOp>& log) {
  std::vector<OpStep> steps;
  Boot boot = Boot::Asic;
  uint32_t loaderLeft = 0;
  uint32_t payloadLeft = 0;
  bool inPayload = false;
  uint32_t blocks = 0;
  uint32_t runs = 0;
  OpStep context;  // what a read answers
  for (const LoggedOp& op : log) {
    OpStep s;
    if (op.kind == OpKind::Open) {
      s.step = Step::Open;
    } else if (boot != Boot::Done) {
      switch (boot) {
        case Boot::Asic:
          s.step = Step::AsicId;
          boot = Boot::FlashCommand;
          break;
        case Boot::FlashCommand:
          s.step = Step::FlashCommand;
          boot = Boot::SizeCommand;
          break;
        case Boot::SizeCommand:
          s.step = Step::SizeCommand;
          loaderLeft = op.head.size() == 4 ? LoadLE32(op.head.data()) : 0;
          boot = Boot::Loader;
          break;
        case Boot::Loader:
          s.step = Step::Loader;
          loaderLeft -= op.length < loaderLeft ? op.length : loaderLeft;
          if (loaderLeft == 0) boot = Boot::Done;
          break;
        case Boot::Done:
          break;
      }
    } else if (op.kind == OpKind::Read) {
      s = context;
    } else if (inPayload) {
      s = {Step::Block, blocks - 1};
      payloadLeft -= op.length < payloadLeft ? op.length : payloadLeft;
      inPayload = payloadLeft != 0;
      context = s;
    } else if (op.head.size() == FRAME_SIZE) {
      const Frame frame = UnpackFrame(op.head.data());
      if (frame.magic == DATA_MAGIC) {
        s = {Step::Block, blocks++};
        payloadLeft = frame.param2;
        // Even an empty payload is one write of 0 bytes.
        inPayload = true;
      } else if (frame.magic == COMMAND_MAGIC) {
        switch (frame.code) {
          case CMD_PING: s.step = Step::Ping; break;
          case CMD_SET_RAM_TYPE: s.step = Step::RamType; break;
          case CMD_GET_CRC: s = {Step::Block, blocks - 1}; break;
          case CMD_RUN: s = {Step::Run, ++runs}; break;
          case CMD_CONFIG_A:
          case CMD_CONFIG_B: s.step = Step::Config; break;
          case CMD_END_TRANSFER: s.step = Step::EndTransfer; break;
          default: break;
        }
      }
      context = s.step == Step::Run ? OpStep{Step::Report, s.index} : s;
    }
    steps.push_back(s);
  }
  return steps;
}

std::string ReportStepLine(uint32_t index) {
  if (index == 1) return texts::kInvalidReturnValue;
  return index == 2 ? texts::kMessageHandlerFailedBang : texts::kMessageHandlerFailed;
}

std::vector<std::string> FailureTail(const OpStep& at, OpKind op, const RunPaths& paths) {
  const std::string bootLine = Format(texts::kDownloadFileToDeviceFailed, ShownPath(paths.boot).c_str());
  const bool write = op == OpKind::Write;
  switch (at.step) {
    case Step::Open:
    case Step::AsicId: return {texts::kAsicIdFailed, bootLine};
    case Step::FlashCommand: return {texts::kFlashCommandFailed, bootLine};
    case Step::SizeCommand: return {texts::kSizeCommandFailed, bootLine};
    case Step::Loader: return {texts::kBootCodeSendFailed, bootLine};
    case Step::Ping: return {write ? texts::kWriteFailed : texts::kReadFailed, texts::kBootCodeNotRunning, bootLine};
    case Step::RamType: return {texts::kRamTypeFailed, texts::kInitDdrFailed};
    case Step::Block:
      return {write ? texts::kWriteFailed : texts::kReadFailed,
              Format(texts::kDownloadTheFileFailed, ShownPath(at.index == 0 ? paths.programmer : paths.image).c_str())};
    case Step::Run: {
      const char* programmer = paths.programmer.c_str();
      if (at.index == 1) return {texts::kRunFailed, Format(texts::kRunOutFileFailed, ShownPath(programmer).c_str())};
      if (at.index == 2) return {texts::kRunFailed, Format(texts::kFlashingFileFailed, ShownPath(programmer).c_str())};
      return {texts::kRunFailed, Format(texts::kFlashingRecordFailed, ShownPath(programmer).c_str())};
    }
    case Step::Report: return {texts::kReadUsbFailed, ReportStepLine(at.index)};
    case Step::Config: return {texts::kConfigFailed};
    case Step::EndTransfer: return {};
    case Step::Unknown: break;
  }
  return {"(a transfer the model does not know)"};
}

size_t FirstOpFailingAtCut(const std::vector<LoggedOp>& log, uint64_t cut) {
  bool gone = false;
  for (size_t i = 0; i < log.size(); ++i) {
    const LoggedOp& op = log[i];
    if (op.kind == OpKind::Open) {
      gone = cut == 0;
      continue;
    }
    if (gone) return i;
    if (op.kind == OpKind::Write) {
      const uint64_t end = op.offset + op.length;
      if (end > cut) return i;
      gone = end == cut;
    }
  }
  return log.size();
}

size_t FirstWriteAfter(const std::vector<LoggedOp>& log, size_t index) {
  for (size_t i = index + 1; i < log.size(); ++i)
    if (log[i].kind == OpKind::Write) return i;
  return log.size();
}

size_t FirstOpOf(const std::vector<OpStep>& steps, Step step, uint32_t index) {
  const bool indexed = step == Step::Block || step == Step::Run || step == Step::Report;
  for (size_t i = 0; i < steps.size(); ++i)
    if (steps[i].step == step && (!indexed || steps[i].index == index)) return i;
  return steps.size();
}

}  // namespace morvak::testing
