#include "RunRecord.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "JsonLine.h"
#include "RegularFile.h"
#include "ModuleDirectory.h"
#include "ProfileFile.h"
#include "RunConfig.h"
#include "Sha256.h"

namespace morvak {

std::string FormatRunRecord(const RunRecord& r) {
  CJsonLine line;
  line.Add("time", FormatUtcTime(r.started))
      .AddOrNull("port", r.port)
      .AddOrNull("asic_id", r.asicIdHex)
      .Add("image", r.imagePath)
      .AddOrNull("image_sha256", r.imageSha256)
      .Add("image_type", r.rawImage ? "raw" : "img")
      .Add("flash_type", r.flashType == FLASH_TYPE_NAND ? "NAND" : "OneNAND")
      .Add("erase_reserved", r.eraseReserved)
      .Add("crc_check", r.crcEnable)
      .Add("result", r.succeeded ? "succeeded" : "failed")
      .Add("last_line", r.lastLine)
      .AddFixed("elapsed_seconds", r.elapsedSeconds, 3);
  return line.Text();
}

bool AppendRunRecord(const std::string& path, const RunRecord& record, std::string& error) {
  const std::string text = FormatRunRecord(record) + "\n";
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot open the run record " + ShownPath(path) + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "cannot write the run record " + ShownPath(path) + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    error = "cannot write the run record " + ShownPath(path) + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::string AsicIdHex(const CFlashRun& run) {
  for (uint8_t byte : run.m_asicId)
    if (byte != 0) return HexOf(run.m_asicId, sizeof run.m_asicId);
  return {};
}

RunRecord MakeRunRecord(const CFlashRun& run, const RunEnding& ending, std::string imageSha256) {
  RunRecord r;
  r.started = ending.started;
  r.port = ending.port;
  r.asicIdHex = AsicIdHex(run);
  // Records are read later and elsewhere: a relative path is made whole.
  std::error_code ec;
  const std::filesystem::path whole = std::filesystem::absolute(run.RunImagePath(), ec);
  r.imagePath = ec || run.RunImagePath().empty() ? run.RunImagePath() : whole.lexically_normal().string();
  r.imageSha256 = std::move(imageSha256);
  r.flashType = run.m_nFlashType;
  r.rawImage = run.m_bRawImage != 0;
  r.eraseReserved = run.m_bEraseReserved != 0;
  r.crcEnable = run.m_bCrcEnable != 0;
  r.succeeded = ending.succeeded;
  r.lastLine = ending.lastLine;
  const double seconds = std::chrono::duration<double>(ending.ended - ending.started).count();
  r.elapsedSeconds = seconds > 0 ? seconds : 0;
  return r;
}

std::string ConfiguredRecordFile(const std::string& moduleDirectory) {
  const CProfileFile profile = CProfileFile::Load(ModuleRelativePath(moduleDirectory, kConfigFileName));
  const RunConfig config = ReadRunConfig(profile, FLASH_TYPE_NAND);
  if (config.recordFile.empty() || config.recordFile.rfind('/', 0) == 0) return config.recordFile;
  return moduleDirectory + config.recordFile;
}

bool RecordRunIfConfigured(const CFlashRun& run, const RunEnding& ending, std::string& error) {
  const std::string path = ConfiguredRecordFile(run.m_strModuleDirectory);
  if (path.empty()) return true;
  return AppendRunRecord(path, MakeRunRecord(run, ending, run.ImageSha256()), error);
}

}  // namespace morvak
