#include "RecordOfRun.h"

#include <filesystem>

#include "ModuleDirectory.h"
#include "ProfileFile.h"
#include "RunConfig.h"
#include "RunStage.h"
#include "Sha256.h"

namespace morvak {

std::string AsicIdHex(const FlashRun& run) {
  for (uint8_t byte : run.m_asicId)
    if (byte != 0) return HexOf(run.m_asicId, sizeof run.m_asicId);
  return {};
}

RunOutcome OutcomeOf(const FlashRun& run, bool succeeded) {
  if (succeeded) return RunOutcome::Succeeded;
  return run.StopRequested() ? RunOutcome::Stopped : RunOutcome::Failed;
}

RunEndDescription DescribeEnd(const FlashRun& run, RunOutcome outcome) {
  RunEndDescription d;
  if (outcome == RunOutcome::Succeeded) return d;
  const RunEndPoint end = run.EndPoint();
  d.stage = StageName(end);
  d.errorCode = end.errorCode;
  d.reason = outcome == RunOutcome::Stopped ? StoppedReason() : FailureReason(end);
  return d;
}

RunRecord MakeRunRecord(const FlashRun& run, const RunEnding& ending, std::string imageSha256) {
  RunRecord r;
  r.started = ending.started;
  r.port = ending.port;
  r.asicIdHex = AsicIdHex(run);
  // Records are read later and elsewhere: a relative path is made whole.
  std::error_code ec;
  const std::filesystem::path whole = std::filesystem::absolute(run.RunImagePath(), ec);
  r.imagePath = ec || run.RunImagePath().empty() ? run.RunImagePath() : whole.lexically_normal().string();
  r.imageSha256 = std::move(imageSha256);
  r.oneNand = run.m_nFlashType != FLASH_TYPE_NAND;
  r.rawImage = run.m_bRawImage != 0;
  r.eraseReserved = run.m_bEraseReserved != 0;
  r.crcEnable = run.m_bCrcEnable != 0;
  r.outcome = ending.outcome;
  RunEndDescription why = DescribeEnd(run, ending.outcome);
  r.stage = std::move(why.stage);
  r.errorCode = why.errorCode;
  r.reason = std::move(why.reason);
  r.lastLine = ending.lastLine;
  const double seconds = std::chrono::duration<double>(ending.ended - ending.started).count();
  r.elapsedSeconds = seconds > 0 ? seconds : 0;
  return r;
}

std::string ConfiguredRecordFile(const std::string& moduleDirectory) {
  const ProfileFile profile = ProfileFile::Load(ModuleRelativePath(moduleDirectory, kConfigFileName));
  const RunConfig config = ReadRunConfig(profile, FLASH_TYPE_NAND);
  if (config.recordFile.empty() || config.recordFile.rfind('/', 0) == 0) return config.recordFile;
  return moduleDirectory + config.recordFile;
}

bool RecordRunIfConfigured(const FlashRun& run, const RunEnding& ending, std::string& error) {
  const std::string path = ConfiguredRecordFile(run.m_strModuleDirectory);
  if (path.empty()) return true;
  return AppendRunRecord(path, MakeRunRecord(run, ending, run.ImageSha256()), error);
}

}  // namespace morvak
