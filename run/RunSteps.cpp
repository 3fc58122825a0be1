// The first three run steps: the image check, the programmer, the boot.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "ByteBuffer.h"
#include "FlashRun.h"
#include "Format.h"
#include "RegularFile.h"
#include "RunConfig.h"
#include "RunTexts.h"
#include "StdioFile.h"

namespace morvak {
namespace {

RunStage StageOf(BootStep step) {
  switch (step) {
    case BootStep::Waiting: return RunStage::WaitingForHandset;
    case BootStep::AsicId: return RunStage::AsicId;
    case BootStep::Loader: break;
  }
  return RunStage::Loader;
}

// The file name after the last separator of `path` ('/' or '\\').
std::string_view FileNameOf(std::string_view path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// The programmer's name as the program's folder has it, told by the path
// Start built: the worker does not read m_nFlashType, which the window's
// control may write while the run goes on.
const char* ProgrammerNameOf(const char* path) {
  const char* oneNand = ProgrammerFileName(FLASH_TYPE_ONENAND);
  return FileNameOf(path) == FileNameOf(oneNand) ? oneNand : ProgrammerFileName(FLASH_TYPE_NAND);
}

}  // namespace

void FlashRun::ReportLoadError(const CFileLoader& loader, const char* path) {
  // The step's own line follows; this one says why the file was not opened.
  if (loader.m_bNotRegularFile) PostStatus(Format(texts::kNotRegularFile, ShownPath(path).c_str()));
  switch (loader.GetError()) {
    case LOAD_ERR_OPEN:
      return PostStatus(Format(texts::kFopenFailed, ShownPath(path).c_str()));
    case LOAD_ERR_READ:
      return PostStatus(Format(texts::kFreadFailed, ShownPath(path).c_str()));
    case LOAD_ERR_SEEK:
      return PostStatus(Format(texts::kFseekFailed, ShownPath(path).c_str()));
    case LOAD_ERR_GETPOS:
      return PostStatus(Format(texts::kFgetposFailed, ShownPath(path).c_str()));
    default:  // an empty file leaves no code
      return PostStatus(Format(texts::kFileIsEmpty, ShownPath(path).c_str()));
  }
}

int FlashRun::CheckImageFile() {
  // The dialog's loader starts every run as a newly built one.
  m_imageLoader = CFileLoader();
  m_imageLoader.SetFileType(FILE_TYPE_PLAIN);
  const std::string& path = m_strRunImagePath;
  if (path.empty() || path.size() > DOWNLOAD_PATH_SIZE - 1) {
    PostStatus(Format(texts::kFileNameTooLong, ShownPath(path).c_str()));
    EndWith(FailureKind::ImagePathTooLong);
    return 0;
  }
  std::memcpy(m_imageFile.path, path.c_str(), path.size() + 1);
  m_imageFile.size = m_imageLoader.GetSize(m_imageFile.path);
  if (m_imageFile.size == 0 || m_imageFile.size == 0xFFFFFFFFu) {
    ReportLoadError(m_imageLoader, m_imageFile.path);
    EndWith(FailureKind::ImageUnreadable);
    return 0;
  }
  if (m_imageFile.size >= FILE_SIZE_LIMIT) {
    PostStatus(Format(texts::kInvalidFileSize, ShownPath(m_imageFile.path).c_str()));
    EndWith(FailureKind::ImageTooLarge);
    return 0;
  }
  // A file renamed over the path, or written, since Start is not the image
  // whose sizes Start took; FlashImage checks again when it opens it.
  FileIdentity now;
  if (!IdentityOfPath(m_imageFile.path, now) || now != m_imageIdentity) {
    PostStatus(Format(texts::kImageChanged, ShownPath(m_imageFile.path).c_str()));
    EndWith(FailureKind::ImageChanged);
    return 0;
  }
  return 1;
}

int FlashRun::LoadProgrammer() {
  EnterStage(RunStage::Programmer);
  const char* name = ProgrammerNameOf(m_programFile.path);
  CFileLoader loader;
  loader.SetFileType(FILE_TYPE_PLAIN);
  m_programFile.size = loader.GetSize(m_programFile.path);
  if (m_programFile.size == 0 || m_programFile.size == 0xFFFFFFFFu) {
    ReportLoadError(loader, m_programFile.path);
    EndWith(loader.GetError() == LOAD_ERR_OPEN ? FailureKind::FileMissing : FailureKind::FileUnusable, name);
    return 0;
  }
  if (m_programFile.size >= FILE_SIZE_LIMIT) {
    PostStatus(Format(texts::kInvalidFileSize, ShownPath(m_programFile.path).c_str()));
    EndWith(FailureKind::FileUnusable, name);
    return 0;
  }
  m_programBuffer = AllocateBytes(m_programFile.size);
  m_programFile.data = m_programBuffer.get();
  if (m_programFile.data == nullptr) {
    PostStatus(Format(texts::kRamSpaceEmpty, ShownPath(m_programFile.path).c_str()));
    EndWith(FailureKind::OutOfMemory);
    return 0;
  }
  if (loader.Load(m_programFile.data, m_programFile.path) == 0) {
    PostStatus(Format(texts::kFreadFileFailed, ShownPath(m_programFile.path).c_str()));
    EndWith(FailureKind::FileUnusable, name);
    ReleaseProgrammer();
    return 0;
  }
  return 1;
}

void FlashRun::ReleaseProgrammer() {
  m_programBuffer.reset();
  m_programFile.data = nullptr;
}

int FlashRun::PrepareTarget() {
  EnterStage(RunStage::Loader);
  const char* path = m_bootFile.path;
  StdioFile file;
  if (const FileOpenResult opened = OpenRegularFile(path, file); opened != FileOpenResult::kOpened) {
    if (opened == FileOpenResult::kNotRegular) PostStatus(Format(texts::kNotRegularFile, ShownPath(path).c_str()));
    PostStatus(Format(texts::kFopenFailed, ShownPath(path).c_str()));
    EndWith(FailureKind::FileMissing, kBootFileName);
    return 0;
  }
  off_t end = -1;
  if (fseeko(file.get(), 0, SEEK_END) == 0) end = ftello(file.get());
  // A loader of 4 GiB or more is no loader: it must not pass as its low 32 bits.
  if (end <= 0 || static_cast<uint64_t>(end) > 0xFFFFFFFFu) {
    PostStatus(Format(texts::kInvalidFile, ShownPath(path).c_str()));
    EndWith(FailureKind::FileUnusable, kBootFileName);
    return 0;
  }
  const uint32_t length = static_cast<uint32_t>(end);
  std::unique_ptr<uint8_t[]> loader = AllocateBytes(length);
  if (!loader) {
    PostStatus(Format(texts::kMallocFailedPath, ShownPath(path).c_str()));
    EndWith(FailureKind::OutOfMemory);
    return 0;
  }
  // A loader that cannot be read whole is not sent half-read.
  if (fseeko(file.get(), 0, SEEK_SET) != 0 || std::fread(loader.get(), 1, length, file.get()) != length) {
    PostStatus(Format(texts::kFreadFailed, ShownPath(path).c_str()));
    EndWith(FailureKind::FileUnusable, kBootFileName);
    return 0;
  }
  file.reset();
  const int booted = m_link.BootTarget(loader.get(), length, m_asicId);
  loader.reset();
  if (booted == 0) {
    PostStatus(Format(texts::kDownloadFileToDeviceFailed, ShownPath(path).c_str()));
    EnterStage(StageOf(m_link.m_bootStep));
    EndAtLink();
    return 0;
  }
  // The loader runs in RAM only: a unit turned away here keeps its flash as it was.
  if (std::string line; m_unitCheck && !m_unitCheck(HexOf(m_asicId, sizeof m_asicId), line)) {
    PostStatus(line);
    return 0;
  }
  EnterStage(RunStage::RamType);
  PostStatus(texts::kConfiguringSdram);
  if (m_link.SetRamType() == 0) {
    PostStatus(texts::kInitDdrFailed);
    EndAtLink();
    return 0;
  }
  return 1;
}

}  // namespace morvak
