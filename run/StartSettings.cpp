// What "Start flashing" does that is not a control: the configuration, the
// paths, and the image checks that choose the size pair.
#include <cstdio>
#include <cstring>
#include <memory>

#include "FlashRun.h"
#include "Format.h"
#include "ImageFormat.h"
#include "ModuleDirectory.h"
#include "ProfileFile.h"
#include "RunConfig.h"
#include "RegularFile.h"
#include "RunTexts.h"
#include "StdioFile.h"

namespace morvak {
namespace {

// Copies a path into a 256-byte field; false when it does not fit.
bool SetPath(char (&field)[DOWNLOAD_PATH_SIZE], const std::string& path) {
  if (path.size() >= DOWNLOAD_PATH_SIZE) return false;
  std::memcpy(field, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

// The line that refuses a configuration file, or empty when it was read (or
// is missing: every key then takes its default).
std::string ConfigurationProblem(ProfileLoadResult result, int errorNumber, const std::string& path) {
  const std::string shown = ShownPath(path);
  switch (result) {
    case ProfileLoadResult::kLoaded:
    case ProfileLoadResult::kMissing:
      return {};
    case ProfileLoadResult::kNotRegular:
      return Format(texts::kConfigNotRegular, shown.c_str());
    case ProfileLoadResult::kTooLarge:
      return Format(texts::kConfigTooLarge, shown.c_str(), static_cast<unsigned>(PROFILE_FILE_LIMIT / 1024));
    case ProfileLoadResult::kUnreadable:
      break;
  }
  return Format(texts::kConfigUnreadable, shown.c_str(), std::strerror(errorNumber));
}

bool FlashRun::ApplyStartSettings(const RunSettings& settings, std::string& line) {
  line.clear();
  m_endPoint = RunEndPoint{};
  m_bConfigRefused = false;
  m_strModuleDirectory = settings.moduleDirectory;
  m_strImagePath = settings.imagePath;
  m_nFlashType = settings.flashType;
  m_replyTimeoutOverride = settings.replyTimeout;
  if (settings.waitTimeout) m_link.m_waitTimeout = *settings.waitTimeout;
  m_bDigestImage = settings.digestImage;
  if (m_strImagePath.empty()) return false;
  m_link.m_bCancelWait.store(0);
  m_link.m_device.m_bAbort.store(0);

  // The three paths share one directory; refuse rather than cut any of them.
  m_programFile.loadAddress = PROGRAMMER_LOAD_ADDRESS;
  const std::string configPath = ModuleRelativePath(m_strModuleDirectory, kConfigFileName);
  if (configPath.size() >= DOWNLOAD_PATH_SIZE ||
      !SetPath(m_programFile.path, ModuleRelativePath(m_strModuleDirectory, ProgrammerFileName(m_nFlashType))) ||
      !SetPath(m_bootFile.path, ModuleRelativePath(m_strModuleDirectory, kBootFileName))) {
    line = Format(texts::kDirectoryTooLong, kModuleDirectoryLimit, ShownPath(m_strModuleDirectory).c_str());
    m_endPoint.failure = FailureKind::ProgramPathTooLong;
    return false;
  }

  m_strConfigPath = configPath;
  ProfileFile profile;
  int errorNumber = 0;
  const ProfileLoadResult loaded = ProfileFile::LoadChecked(configPath, profile, &errorNumber);
  line = ConfigurationProblem(loaded, errorNumber, configPath);
  const RunConfig config = ReadRunConfig(profile, m_nFlashType);
  if (line.empty() && !config.badReplyTimeout.empty())
    line = Format(texts::kConfigBadNumber, kReplyTimeoutKey, ShownPath(config.badReplyTimeout).c_str(), kParamsSection,
                  ShownPath(configPath).c_str(), kReplyTimeoutKey);
  if (!line.empty()) {
    m_bConfigRefused = true;
    m_endPoint.failure = FailureKind::BadConfiguration;
    return false;
  }
  m_bCrcEnable = static_cast<int>(config.crcEnable);
  m_bEraseReserved = settings.eraseReserved ? 1 : 0;
  m_bRecordConfigured = !config.recordFile.empty();
  m_link.m_device.SetReplyTimeout(
      m_replyTimeoutOverride.value_or(std::chrono::seconds(config.replyTimeoutSeconds)));

  const size_t dot = m_strImagePath.rfind('.');
  if (dot == std::string::npos) {
    line = texts::kInvalidDownloadFile;
    m_endPoint.failure = FailureKind::ImageFormat;
    return false;
  }
  const char* path = m_strImagePath.c_str();
  StdioFile file;
  switch (OpenRegularFile(path, file, &m_imageIdentity)) {
    case FileOpenResult::kOpened:
      break;
    case FileOpenResult::kNotRegular:
      line = Format(texts::kNotRegularFile, ShownPath(path).c_str());
      m_endPoint.failure = FailureKind::ImageUnreadable;
      return false;
    case FileOpenResult::kCannotOpen:
      line = Format(texts::kOpenFileFailed, ShownPath(path).c_str());
      m_endPoint.failure = FailureKind::ImageUnreadable;
      return false;
  }

  if (IsRawImagePath(m_strImagePath)) {
    m_bRawImage = 1;
    // A file of 4 GiB or more must not pass as its low 32 bits: it counts as
    // too large, takes the larger pair here, and the run refuses its size.
    uint64_t length = 0;
    if (fseeko(file.get(), 0, SEEK_END) == 0) {
      const off_t end = ftello(file.get());
      length = end > 0 ? static_cast<uint64_t>(end) : 0;
    }
    file.reset();
    const uint32_t length32 = length > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(length);
    const bool withEboot = length32 > config.withoutEboot.rawFileSize;
    const SizePair& pair = withEboot ? config.withEboot : config.withoutEboot;
    m_nRawFileSize = pair.rawFileSize;
    m_nBinaryRegionSize = pair.binaryRegionSize;
    // Nothing in a raw image gives a reserved size: send a defined 0 rather
    // than whatever the last .img left.
    m_nReservedSize = 0;
    m_nPayloadSize = m_nRawFileSize;
  } else {
    m_bRawImage = 0;
    uint8_t bytes[IMAGE_HEADER_SIZE];
    if (fseeko(file.get(), static_cast<off_t>(config.withoutEboot.rawFileSize), SEEK_SET) != 0 ||
        std::fread(bytes, 1, sizeof bytes, file.get()) != sizeof bytes) {
      line = Format(texts::kFreadFileFailed, ShownPath(path).c_str());
      m_endPoint.failure = FailureKind::ImageFormat;  // no header where this configuration puts it
      return false;
    }
    file.reset();
    ImageHeader header;
    UnpackImageHeader(header, bytes);
    const SizePair& pair = HasImageSignature(header) ? config.withoutEboot : config.withEboot;
    m_nRawFileSize = pair.rawFileSize;
    m_nBinaryRegionSize = pair.binaryRegionSize;
    const int32_t offset = static_cast<int32_t>(pair.rawFileSize);
    if (CountImageRecords(offset) == 0 || FindReservedSize(offset) == 0) {
      line = texts::kErrorFileFormat;
      m_endPoint.failure = FailureKind::ImageFormat;
      return false;
    }
  }
  m_strRunImagePath = m_strImagePath;
  return true;
}

int FlashRun::CountImageRecords(int32_t offset) {
  uint64_t recordBytes = 0;
  const int counted = CountImageRecordsIn(m_strImagePath, offset, m_nRecordCount, &recordBytes);
  m_nPayloadSize = m_nRawFileSize + recordBytes;
  return counted;
}

int FlashRun::FindReservedSize(int32_t offset) {
  return FindReservedSizeIn(m_strImagePath, offset, m_nReservedSize);
}

}  // namespace morvak
