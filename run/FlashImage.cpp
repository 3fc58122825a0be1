// The last run step: the programmer, the configuration, then the image block
// by block, each block followed by the command that has it written and a wait
// for the programmer's reports.
#include <cstdio>
#include <ctime>
#include <new>

#include "FlashRun.h"
#include "Format.h"
#include "Frame.h"
#include "ImageFormat.h"
#include "RegularFile.h"
#include "RunTexts.h"
#include "StdioFile.h"

namespace morvak {

int CFlashRun::FlashImage() {
  const std::time_t started = std::time(nullptr);
  const char* programPath = m_programFile.path;
  const char* imagePath = m_imageFile.path;
  std::string text;
  int result = 0;
  PostStatus(Format(texts::kDownloadingOutFile, ShownPath(programPath).c_str()));
  m_imageFile.data = nullptr;
  StdioFile image;
  std::FILE* file = nullptr;
  // The digest covers every byte read from the image, in file order.
  const bool digesting = DigestWanted();
  CSha256 digest;
  const auto read = [&file, &digest, digesting](uint8_t* into, size_t length) {
    const size_t got = std::fread(into, 1, length, file);
    if (digesting) digest.Update(into, got);
    return got;
  };
  // Start checked one file; the run sends bytes of that file only, and says
  // so when the path names another one or the file was written meanwhile.
  const auto unchanged = [this, &file] {
    FileIdentity now;
    return IdentityOf(file, now) && now == m_imageIdentity;
  };
  bool identityLost = false;
  const auto elapsed = [started] { return FormatElapsed(static_cast<long long>(std::time(nullptr) - started)); };

  do {
    if (m_link.Download(m_programFile.data, m_programFile.loadAddress, m_programFile.size, DATA_PROGRAM,
                        m_bCrcEnable) == 0) {
      text = Format(texts::kDownloadTheFileFailed, ShownPath(programPath).c_str());
      break;
    }
    if (m_link.RunProgram() == 0) {
      text = Format(texts::kRunOutFileFailed, ShownPath(programPath).c_str());
      break;
    }
    if (m_link.WaitReport() == 0) {
      text = texts::kInvalidReturnValue;
      break;
    }
    if (m_link.SendConfig(m_nRawFileSize, m_nBinaryRegionSize, m_nReservedSize,
                          static_cast<uint32_t>(m_bEraseReserved)) == 0) {
      text = texts::kConfigFailed;
      break;
    }
    if (const FileOpenResult opened = OpenRegularFile(imagePath, image); opened != FileOpenResult::kOpened) {
      if (opened == FileOpenResult::kNotRegular) PostStatus(Format(texts::kNotRegularFile, ShownPath(imagePath).c_str()));
      text = texts::kFopenImgFailed;
      break;
    }
    file = image.get();
    if (!unchanged()) {
      identityLost = true;
      text = Format(texts::kImageChanged, ShownPath(imagePath).c_str());
      break;
    }
    // No block of an image the run accepts reaches FILE_SIZE_LIMIT. A longer
    // one (a raw part configured beyond it) cannot be read whole, and gets no
    // buffer of that size first.
    if (m_nRawFileSize >= FILE_SIZE_LIMIT) {
      text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
      break;
    }
    // One working buffer for every block; only a record longer than its first
    // size gets a buffer of its own length in its place.
    const uint32_t capacity = m_nRawFileSize > IMAGE_BUFFER_MIN ? m_nRawFileSize : IMAGE_BUFFER_MIN;
    m_imageFile.data = new (std::nothrow) uint8_t[capacity];
    if (m_imageFile.data == nullptr) {
      text = texts::kMallocFailed;
      break;
    }
    if (read(m_imageFile.data, m_nRawFileSize) != m_nRawFileSize) {
      text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
      break;
    }
    if (m_link.Download(m_imageFile.data, 0, m_nRawFileSize, DATA_RAW, m_bCrcEnable) == 0) {
      text = Format(texts::kDownloadTheFileFailed, ShownPath(imagePath).c_str());
      break;
    }
    if (m_link.RunProgram() == 0) {
      text = Format(texts::kFlashingFileFailed, ShownPath(programPath).c_str());
      break;
    }
    if (m_link.WaitReport() == 0) {
      text = texts::kMessageHandlerFailedBang;
      break;
    }
    if (m_bRawImage != 0) {
      if (!unchanged()) {
        text = Format(texts::kImageChanged, ShownPath(imagePath).c_str());
        break;
      }
      m_link.EndTransfer();
      text = std::string(texts::kRawSucceeded) + elapsed();
      result = 1;
      break;
    }

    // The header is read rather than skipped, so that the digest sees it.
    uint8_t header[IMAGE_HEADER_SIZE];
    uint8_t bytes[IMAGE_RECORD_SIZE];
    if (read(header, sizeof header) != sizeof header || read(bytes, sizeof bytes) != sizeof bytes) {
      text = Format(texts::kFreadFileFailed, ShownPath(imagePath).c_str());
      break;
    }
    m_events.OnProgressRange(m_nRecordCount);
    uint32_t counter = 0;
    for (;;) {
      const ImageRecord record = UnpackImageRecord(bytes);
      if (record.IsTerminator()) {
        if (!unchanged()) {
          text = Format(texts::kImageChanged, ShownPath(imagePath).c_str());
          break;
        }
        m_link.EndTransfer();
        text = std::string(texts::kImgSucceeded) + elapsed();
        result = 1;
        break;
      }
      if (record.length != 0) {
        // A record header from a file changed since Start may claim any
        // length; one no accepted image can hold is not allocated for.
        if (record.length >= FILE_SIZE_LIMIT) {
          text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
          break;
        }
        if (record.length > capacity) {
          delete[] m_imageFile.data;
          m_imageFile.data = new (std::nothrow) uint8_t[record.length];
          if (m_imageFile.data == nullptr) {
            text = Format(texts::kMallocFailedPath, ShownPath(imagePath).c_str());
            break;
          }
        }
        if (read(m_imageFile.data, record.length) != record.length) {
          text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
          break;
        }
        if (m_link.Download(m_imageFile.data, record.address, record.length, DATA_RECORD, m_bCrcEnable) == 0) {
          text = Format(texts::kDownloadTheFileFailed, ShownPath(imagePath).c_str());
          break;
        }
        if (m_link.RunProgram() == 0) {
          text = Format(texts::kFlashingRecordFailed, ShownPath(programPath).c_str());
          break;
        }
        if (m_link.WaitReport() == 0) {
          text = texts::kMessageHandlerFailed;
          break;
        }
      }
      if (read(bytes, sizeof bytes) != sizeof bytes) {
        text = Format(texts::kFreadFailed, ShownPath(imagePath).c_str());
        break;
      }
      ++counter;
      m_events.OnProgressPosition(counter);
    }
  } while (false);

  delete[] m_imageFile.data;
  m_imageFile.data = nullptr;
  PostStatus(text);
  m_events.OnProgressPosition(0);
  // After the step's last message: the operator sees the outcome line while
  // the rest of the image is read for the record.
  if (digesting && file != nullptr) {
    if (identityLost)
      m_bImageDigestDone = true;  // not the image Start checked: no digest
    else
      FinishImageDigest(file, &digest);
  }
  return result;
}

}  // namespace morvak
