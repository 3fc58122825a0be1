// The last run step: the programmer, the configuration, then the image block
// by block, each block followed by the command that has it written and a wait
// for the programmer's reports.
#include <cstdio>
#include <ctime>
#include <memory>

#include "ByteBuffer.h"
#include "FlashRun.h"
#include "Format.h"
#include "Frame.h"
#include "ImageFormat.h"
#include "RegularFile.h"
#include "RunTexts.h"
#include "StdioFile.h"

namespace morvak {

// What the image step's parts share. The step ends with the one outcome line
// in `text`; `result` is 1 once the image was sent whole.
struct FlashRun::ImageSend {
  explicit ImageSend(bool wantsDigest) : digesting(wantsDigest) {}

  // Reads from the image; the digest covers every byte read, in file order.
  size_t Read(uint8_t* into, size_t length) {
    const size_t got = std::fread(into, 1, length, file);
    if (digesting) digest.Update(into, got);
    return got;
  }
  // Start checked one file; the run sends bytes of that file only, and says
  // so when the path names another one or the file was written meanwhile.
  bool Unchanged(const FileIdentity& checked) const {
    FileIdentity now;
    return IdentityOf(file, now) && now == checked;
  }
  std::string Elapsed() const { return FormatElapsed(static_cast<long long>(std::time(nullptr) - started)); }

  const std::time_t started = std::time(nullptr);
  const bool digesting;
  Sha256Hasher digest;
  StdioFile image;
  std::FILE* file = nullptr;  // the image, once it is open
  bool identityLost = false;  // the open image is not the file Start checked
  // The working buffer, at least `capacity` bytes long; m_imageFile.data
  // points into it while the step runs.
  std::unique_ptr<uint8_t[]> buffer;
  uint32_t capacity = 0;
  std::string text;
  int result = 0;
};

int FlashRun::FlashImage() {
  ImageSend send(DigestWanted());
  PostStatus(Format(texts::kDownloadingOutFile, ShownPath(m_programFile.path).c_str()));
  m_imageFile.data = nullptr;
  if (SendProgrammer(send) && OpenImage(send) && SendRawPart(send)) {
    if (m_bRawImage != 0)
      FinishSending(send, texts::kRawSucceeded);
    else
      SendRecords(send);
  }

  send.buffer.reset();
  m_imageFile.data = nullptr;
  PostStatus(send.text);
  m_events.OnProgressPosition(0);
  // After the step's last message: the operator sees the outcome line while
  // the rest of the image is read for the record.
  if (send.digesting && send.file != nullptr) {
    if (send.identityLost)
      m_bImageDigestDone = true;  // not the image Start checked: no digest
    else
      FinishImageDigest(send.file, &send.digest);
  }
  return send.result;
}

bool FlashRun::SendProgrammer(ImageSend& send) {
  EnterStage(RunStage::Programmer);
  const char* programPath = m_programFile.path;
  if (m_link.Download(m_programFile.data, m_programFile.loadAddress, m_programFile.size, DATA_PROGRAM,
                      m_bCrcEnable) == 0) {
    send.text = Format(texts::kDownloadTheFileFailed, ShownPath(programPath).c_str());
    EndAtLink();
    return false;
  }
  if (m_link.RunProgram() == 0) {
    send.text = Format(texts::kRunOutFileFailed, ShownPath(programPath).c_str());
    EndAtLink();
    return false;
  }
  if (m_link.WaitReport() == 0) {
    send.text = texts::kInvalidReturnValue;
    EndAtLink();
    return false;
  }
  EnterStage(RunStage::Configuration);
  if (m_link.SendConfig(m_nRawFileSize, m_nBinaryRegionSize, m_nReservedSize,
                        static_cast<uint32_t>(m_bEraseReserved)) == 0) {
    send.text = texts::kConfigFailed;
    EndAtLink();
    return false;
  }
  return true;
}

bool FlashRun::OpenImage(ImageSend& send) {
  EnterStage(RunStage::RawPart);
  const char* imagePath = m_imageFile.path;
  if (const FileOpenResult opened = OpenRegularFile(imagePath, send.image); opened != FileOpenResult::kOpened) {
    if (opened == FileOpenResult::kNotRegular) PostStatus(Format(texts::kNotRegularFile, ShownPath(imagePath).c_str()));
    send.text = texts::kFopenImgFailed;
    EndWith(FailureKind::ImageUnreadable);
    return false;
  }
  send.file = send.image.get();
  if (!send.Unchanged(m_imageIdentity)) {
    send.identityLost = true;
    send.text = Format(texts::kImageChanged, ShownPath(imagePath).c_str());
    EndWith(FailureKind::ImageChanged);
    return false;
  }
  return true;
}

bool FlashRun::SendRawPart(ImageSend& send) {
  const char* imagePath = m_imageFile.path;
  // No block of an image the run accepts reaches FILE_SIZE_LIMIT. A longer
  // one (a raw part configured beyond it) cannot be read whole, and gets no
  // buffer of that size first.
  if (m_nRawFileSize >= FILE_SIZE_LIMIT) {
    send.text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
    EndWith(FailureKind::BadConfiguration);
    return false;
  }
  // One working buffer for every block; only a record longer than its first
  // size gets a buffer of its own length in its place.
  send.capacity = m_nRawFileSize > IMAGE_BUFFER_MIN ? m_nRawFileSize : IMAGE_BUFFER_MIN;
  send.buffer = AllocateBytes(send.capacity);
  m_imageFile.data = send.buffer.get();
  if (m_imageFile.data == nullptr) {
    send.text = texts::kMallocFailed;
    EndWith(FailureKind::OutOfMemory);
    return false;
  }
  return SendBlock(send, 0, m_nRawFileSize, DATA_RAW);
}

void FlashRun::SendRecords(ImageSend& send) {
  const char* imagePath = m_imageFile.path;
  // The header is read rather than skipped, so that the digest sees it.
  uint8_t header[IMAGE_HEADER_SIZE];
  uint8_t bytes[IMAGE_RECORD_SIZE];
  EnterStage(RunStage::Record, 1);
  if (send.Read(header, sizeof header) != sizeof header || send.Read(bytes, sizeof bytes) != sizeof bytes) {
    send.text = Format(texts::kFreadFileFailed, ShownPath(imagePath).c_str());
    EndWith(FailureKind::ImageUnreadable);
    return;
  }
  m_events.OnProgressRange(m_nRecordCount);
  for (uint32_t counter = 0;;) {
    const ImageRecord record = UnpackImageRecord(bytes);
    if (record.IsTerminator()) return FinishSending(send, texts::kImgSucceeded);
    if (record.length != 0 && !SendRecord(send, record.address, record.length)) return;
    EnterStage(RunStage::Record, counter + 2);  // the header read next is the next record's
    if (send.Read(bytes, sizeof bytes) != sizeof bytes) {
      send.text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
      EndWith(FailureKind::ImageUnreadable);
      return;
    }
    ++counter;
    m_events.OnProgressPosition(counter);
  }
}

bool FlashRun::SendRecord(ImageSend& send, uint32_t address, uint32_t length) {
  const char* imagePath = m_imageFile.path;
  // A record header from a file changed since Start may claim any length; one
  // no accepted image can hold is not allocated for.
  if (length >= FILE_SIZE_LIMIT) {
    send.text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
    EndWith(FailureKind::ImageChanged);  // Start's scan accepted no such record
    return false;
  }
  if (length > send.capacity) {
    // The buffer's block has been sent; it is freed before the longer one is
    // asked for, so that the run never holds both.
    send.buffer.reset();
    send.buffer = AllocateBytes(length);
    m_imageFile.data = send.buffer.get();
    if (m_imageFile.data == nullptr) {
      send.text = Format(texts::kMallocFailedPath, ShownPath(imagePath).c_str());
      EndWith(FailureKind::OutOfMemory);
      return false;
    }
  }
  return SendBlock(send, address, length, DATA_RECORD);
}

bool FlashRun::SendBlock(ImageSend& send, uint32_t address, uint32_t length, uint32_t kind) {
  const bool record = kind == DATA_RECORD;
  const char* imagePath = m_imageFile.path;
  if (send.Read(m_imageFile.data, length) != length) {
    send.text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
    // The raw part's length is the configuration's; Start's scan vouched for
    // the records' lengths, so a record that ends early is a changed image.
    if (std::ferror(send.file) != 0)
      EndWith(FailureKind::ImageUnreadable);
    else
      EndWith(record ? FailureKind::ImageChanged : FailureKind::ImageTooShort);
    return false;
  }
  if (m_link.Download(m_imageFile.data, address, length, kind, m_bCrcEnable) == 0) {
    send.text = Format(texts::kDownloadTheFileFailed, ShownPath(imagePath).c_str());
    EndAtLink();
    return false;
  }
  if (m_link.RunProgram() == 0) {
    send.text = Format(record ? texts::kFlashingRecordFailed : texts::kFlashingFileFailed,
                       ShownPath(m_programFile.path).c_str());
    EndAtLink();
    return false;
  }
  if (m_link.WaitReport() == 0) {
    send.text = record ? texts::kMessageHandlerFailed : texts::kMessageHandlerFailedBang;
    EndAtLink();
    return false;
  }
  return true;
}

void FlashRun::FinishSending(ImageSend& send, const char* succeeded) {
  EnterStage(RunStage::Finish);
  if (!send.Unchanged(m_imageIdentity)) {
    send.text = Format(texts::kImageChanged, ShownPath(m_imageFile.path).c_str());
    EndWith(FailureKind::ImageChanged);
    return;
  }
  m_link.EndTransfer();
  send.text = std::string(succeeded) + send.Elapsed();
  send.result = 1;
}

}  // namespace morvak
