#include "RunRecord.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "JsonLine.h"
#include "RegularFile.h"

namespace morvak {

std::string FormatErrorCode(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", code);
  return text;
}

std::string FormatRunRecord(const RunRecord& r) {
  JsonLine line;
  line.Add("time", FormatUtcTime(r.started))
      .AddOrNull("port", r.port)
      .AddOrNull("asic_id", r.asicIdHex)
      .Add("image", r.imagePath)
      .AddOrNull("image_sha256", r.imageSha256)
      .Add("image_type", r.rawImage ? "raw" : "img")
      .Add("flash_type", r.oneNand ? "OneNAND" : "NAND")
      .Add("erase_reserved", r.eraseReserved)
      .Add("crc_check", r.crcEnable)
      .Add("result", OutcomeWord(r.outcome))
      .AddOrNull("stage", r.stage)
      .AddOrNull("error_code", r.errorCode ? FormatErrorCode(*r.errorCode) : std::string())
      .AddOrNull("reason", r.reason)
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

}  // namespace morvak
