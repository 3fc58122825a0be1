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
#include "RunTexts.h"
#include "WindowMessages.h"

namespace morvak {

int CFlashRun::FlashImage() {
  const std::time_t started = std::time(nullptr);
  const char* programPath = m_programFile.path;
  const char* imagePath = m_imageFile.path;
  std::string text;
  int result = 0;
  PostStatus(Format(texts::kDownloadingOutFile, programPath));
  m_imageFile.data = nullptr;
  std::FILE* file = nullptr;
  const auto elapsed = [started] { return FormatElapsed(static_cast<long long>(std::time(nullptr) - started)); };

  do {
    if (m_link.Download(m_programFile.data, m_programFile.loadAddress, m_programFile.size, DATA_PROGRAM,
                        m_bCrcEnable) == 0) {
      text = Format(texts::kDownloadTheFileFailed, programPath);
      break;
    }
    if (m_link.RunProgram() == 0) {
      text = Format(texts::kRunOutFileFailed, programPath);
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
    file = std::fopen(imagePath, "rb");
    if (file == nullptr) {
      text = texts::kFopenImgFailed;
      break;
    }
    // No block of an image the run accepts reaches FILE_SIZE_LIMIT. A longer
    // one (a raw part configured beyond it) cannot be read whole, and gets no
    // buffer of that size first.
    if (m_nRawFileSize >= FILE_SIZE_LIMIT) {
      text = Format(texts::kFreadFailed, imagePath);
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
    if (std::fread(m_imageFile.data, 1, m_nRawFileSize, file) != m_nRawFileSize) {
      text = Format(texts::kFreadFailed, imagePath);
      break;
    }
    if (m_link.Download(m_imageFile.data, 0, m_nRawFileSize, DATA_RAW, m_bCrcEnable) == 0) {
      text = Format(texts::kDownloadTheFileFailed, imagePath);
      break;
    }
    if (m_link.RunProgram() == 0) {
      text = Format(texts::kFlashingFileFailed, programPath);
      break;
    }
    if (m_link.WaitReport() == 0) {
      text = texts::kMessageHandlerFailedBang;
      break;
    }
    if (m_bRawImage != 0) {
      m_link.EndTransfer();
      text = std::string(texts::kRawSucceeded) + elapsed();
      result = 1;
      break;
    }

    uint8_t bytes[IMAGE_RECORD_SIZE];
    if (std::fseek(file, IMAGE_HEADER_SIZE, SEEK_CUR) != 0 || std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) {
      text = Format(texts::kFreadFileFailed, imagePath);
      break;
    }
    PostWindowMessage(WM_PROGRESS_RANGE, m_nRecordCount, 0);
    uint32_t counter = 0;
    for (;;) {
      const ImageRecord record = UnpackImageRecord(bytes);
      if (record.IsTerminator()) {
        m_link.EndTransfer();
        text = std::string(texts::kImgSucceeded) + elapsed();
        result = 1;
        break;
      }
      if (record.length != 0) {
        // A record header from a file changed since Start may claim any
        // length; one no accepted image can hold is not allocated for.
        if (record.length >= FILE_SIZE_LIMIT) {
          text = Format(texts::kFreadFailed, imagePath);
          break;
        }
        if (record.length > capacity) {
          delete[] m_imageFile.data;
          m_imageFile.data = new (std::nothrow) uint8_t[record.length];
          if (m_imageFile.data == nullptr) {
            text = Format(texts::kMallocFailedPath, imagePath);
            break;
          }
        }
        if (std::fread(m_imageFile.data, 1, record.length, file) != record.length) {
          text = Format(texts::kFreadFailed, imagePath);
          break;
        }
        if (m_link.Download(m_imageFile.data, record.address, record.length, DATA_RECORD, m_bCrcEnable) == 0) {
          text = Format(texts::kDownloadTheFileFailed, imagePath);
          break;
        }
        if (m_link.RunProgram() == 0) {
          text = Format(texts::kFlashingRecordFailed, programPath);
          break;
        }
        if (m_link.WaitReport() == 0) {
          text = texts::kMessageHandlerFailed;
          break;
        }
      }
      if (std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) {
        text = Format(texts::kFreadFailed, imagePath);
        break;
      }
      ++counter;
      PostWindowMessage(WM_PROGRESS_POS, counter, 0);
    }
  } while (false);

  delete[] m_imageFile.data;
  m_imageFile.data = nullptr;
  if (file != nullptr) std::fclose(file);
  PostStatus(text);
  PostWindowMessage(WM_PROGRESS_POS, 0, 0);
  return result;
}

}  // namespace morvak
