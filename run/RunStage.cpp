#include "RunStage.h"

#include <algorithm>

#include "DownloadFile.h"
#include "FlashRun.h"
#include "Format.h"
#include "RunConfig.h"
#include "RunStageTexts.h"

namespace morvak {
namespace {

constexpr unsigned kLimitMiB = FILE_SIZE_LIMIT / (1024u * 1024u);

std::string ConfigName() { return FolderName(kConfigFileName); }

std::string ErrorCodeText(const RunEndPoint& end) {
  return Format(texts::kErrorCodeFormat, end.errorCode.value_or(0));
}

// A refusal is worded by what was refused: the loader's ping, the RAM type,
// the configuration words, or an answer of a block exchange.
std::string RefusedReason(RunStage stage) {
  switch (stage) {
    case RunStage::Loader: return Format(texts::kReasonLoaderNotRunning, FolderName(kBootFileName).c_str());
    case RunStage::RamType: return Format(texts::kReasonRamTypeRefused, FolderName(kBootFileName).c_str());
    case RunStage::Configuration: return Format(texts::kReasonConfigurationRefused, ConfigName().c_str());
    default: return texts::kReasonRefused;
  }
}

}  // namespace

std::string FolderName(const char* name) {
  std::string shown(name);
  std::replace(shown.begin(), shown.end(), '\\', '/');
  return shown;
}

std::string StageName(const RunEndPoint& end) {
  switch (end.stage) {
    case RunStage::Start: return texts::kStageStart;
    case RunStage::WaitingForHandset: return texts::kStageWaitingForHandset;
    case RunStage::AsicId: return texts::kStageAsicId;
    case RunStage::Loader: return texts::kStageLoader;
    case RunStage::RamType: return texts::kStageRamType;
    case RunStage::Programmer: return texts::kStageProgrammer;
    case RunStage::Configuration: return texts::kStageConfiguration;
    case RunStage::RawPart: return texts::kStageRawPart;
    case RunStage::Record: return Format(texts::kStageRecordFormat, static_cast<unsigned>(end.record));
    case RunStage::Finish: break;
  }
  return texts::kStageFinish;
}

std::string StoppedReason() { return texts::kReasonStopped; }

std::string FailureReason(const RunEndPoint& end) {
  switch (end.failure) {
    case FailureKind::None: return {};
    case FailureKind::Stopped: return StoppedReason();
    case FailureKind::NoHandset: return texts::kReasonNoHandset;
    case FailureKind::NoAnswer:
    case FailureKind::Disconnected:
      // The ROM's ID is the handset's first word: without it the handset was
      // not in its boot mode, whatever the read's end.
      if (end.stage == RunStage::AsicId) return texts::kReasonNoAsicId;
      return end.failure == FailureKind::NoAnswer ? texts::kReasonNoAnswer : texts::kReasonDisconnected;
    case FailureKind::Refused: return RefusedReason(end.stage);
    case FailureKind::CrcMismatch: return texts::kReasonCrcMismatch;
    case FailureKind::ProgrammerError:
      return Format(end.stage == RunStage::Programmer ? texts::kReasonProgrammerStartError
                                                      : texts::kReasonProgrammerWriteError,
                    ErrorCodeText(end).c_str());
    case FailureKind::ImageChanged: return texts::kReasonImageChanged;
    case FailureKind::ImageUnreadable: return texts::kReasonImageUnreadable;
    case FailureKind::ImageTooShort:
      return Format(texts::kReasonImageTooShort, ConfigName().c_str(), ConfigName().c_str());
    case FailureKind::ImageTooLarge: return Format(texts::kReasonImageTooLarge, kLimitMiB);
    case FailureKind::ImageFormat: return Format(texts::kReasonImageFormat, ConfigName().c_str());
    case FailureKind::ImagePathTooLong:
      return Format(texts::kReasonImagePathTooLong, static_cast<unsigned>(DOWNLOAD_PATH_SIZE - 1));
    case FailureKind::ProgramPathTooLong: return texts::kReasonProgramPathTooLong;
    case FailureKind::FileMissing: return Format(texts::kReasonFileMissing, end.file.c_str());
    case FailureKind::FileUnusable: return Format(texts::kReasonFileUnusable, end.file.c_str());
    case FailureKind::BadConfiguration:
      if (end.stage == RunStage::RawPart) return Format(texts::kReasonRawPartTooLarge, kLimitMiB, ConfigName().c_str());
      return Format(texts::kReasonBadConfiguration, ConfigName().c_str());
    case FailureKind::OutOfMemory: break;
  }
  return texts::kReasonOutOfMemory;
}

FailureKind FailureOf(LinkFault fault) {
  switch (fault) {
    case LinkFault::None: return FailureKind::None;
    case LinkFault::NoHandset: return FailureKind::NoHandset;
    case LinkFault::Stopped: return FailureKind::Stopped;
    case LinkFault::NoAnswer: return FailureKind::NoAnswer;
    case LinkFault::Disconnected: return FailureKind::Disconnected;
    case LinkFault::Refused: return FailureKind::Refused;
    case LinkFault::CrcMismatch: return FailureKind::CrcMismatch;
    case LinkFault::ProgrammerError: break;
  }
  return FailureKind::ProgrammerError;
}

}  // namespace morvak
