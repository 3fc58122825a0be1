#include "RunRecord.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "JsonLine.h"
#include "RegularFile.h"

namespace morvak {
namespace {

constexpr int kLockTries = 2000;
constexpr useconds_t kLockPauseMicroseconds = 1000;

constexpr const char* kCannotOpen = "cannot open the run record ";
constexpr const char* kCannotWrite = "cannot write the run record ";
constexpr const char* kNotRegular = "not a regular file; name a regular file, or one that is not there yet, "
                                    "as the record file";
constexpr const char* kShortWrite = " bytes of the record were written (the disk is full, or the file at its "
                                    "size limit); the file ends inside it, and the next record starts on a line "
                                    "of its own";
constexpr const char* kNotSaved = "it could not be saved to the disk: ";

std::string Problem(const char* lead, const std::string& path, const std::string& reason) {
  return lead + ShownPath(path) + ": " + reason;
}

// The refusal of a file that is not a regular one, saying what it is when
// `mode` tells (0: not known).
std::string NotRegular(const std::string& path, mode_t mode) {
  const char* kind = S_ISFIFO(mode) ? "a FIFO, "
                     : S_ISDIR(mode) ? "a directory, "
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device, "
                     : S_ISSOCK(mode) ? "a socket, "
                                      : "";
  return Problem(kCannotWrite, path, std::string("it is ") + kind + kNotRegular);
}

// Opens the record file for appending, made when missing; -1 with the reason
// otherwise. The path is looked at first, so that a FIFO (which would wait
// for a reader, or fail with ENXIO) or a device is refused without being
// opened at all; the opened file is looked at again, since the path may
// have been replaced between the two.
int OpenRecordFile(const std::string& path, struct stat& st, std::string& error) {
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = NotRegular(path, st.st_mode);
    return -1;
  }
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // A FIFO without a reader or a directory put in place after the look.
    error = errno == ENXIO || errno == EISDIR ? NotRegular(path, 0) : Problem(kCannotOpen, path, std::strerror(errno));
    return -1;
  }
  if (::fstat(fd, &st) != 0) {
    error = Problem(kCannotOpen, path, std::strerror(errno));
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    error = NotRegular(path, st.st_mode);
    ::close(fd);
    return -1;
  }
  return fd;
}

// Whether the file `written` (the record file, as opened) ends inside a line,
// torn by a full disk or a crash. The record's descriptor is write-only, so
// the last byte is read through one of its own, of the same file; a file that
// cannot be read is taken to end with a whole line.
bool EndsInsideALine(const std::string& path, const struct stat& written) {
  if (written.st_size <= 0) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool torn = false;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == written.st_dev && st.st_ino == written.st_ino &&
      st.st_size > 0) {
    char last = '\n';
    ssize_t n = -1;
    do {
      n = ::pread(fd, &last, 1, st.st_size - 1);
    } while (n < 0 && errno == EINTR);
    torn = n == 1 && last != '\n';
  }
  ::close(fd);
  return torn;
}

// Takes the file's lock for the look at its last byte and the write: the
// size of a file another writer is appending to may show before its bytes
// do, and a writer of ours would take that for a torn line. Waits a bounded
// time for a holder (the others hold it for one write only); without the
// lock the look is still made, and at worst adds a blank line, which the
// reader passes over.
void LockForAppend(int fd) {
  for (int tries = 0; tries < kLockTries; ++tries) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR)) return;
    ::usleep(kLockPauseMicroseconds);
  }
}

}  // namespace

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

bool CheckRecordTarget(const std::string& path, std::string& error) {
  struct stat st {};
  const int fd = OpenRecordFile(path, st, error);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool AppendRunRecord(const std::string& path, const RunRecord& record, std::string& error) {
  struct stat st {};
  const int fd = OpenRecordFile(path, st, error);
  if (fd < 0) return false;
  LockForAppend(fd);
  const std::string text = (EndsInsideALine(path, st) ? "\n" : "") + FormatRunRecord(record) + "\n";
  // One write: with O_APPEND the kernel places it whole at the end, so no
  // other writer's record lands inside it. A second write for a short one
  // would not be placed after the first, so a short write is reported.
  ssize_t written = -1;
  do {
    written = ::write(fd, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0 || static_cast<size_t>(written) != text.size()) {
    error = written < 0 ? Problem(kCannotWrite, path, std::strerror(errno))
                        : Problem(kCannotWrite, path,
                                  "only " + std::to_string(written) + " of " + std::to_string(text.size()) +
                                      kShortWrite);
    ::close(fd);
    return false;
  }
  ::flock(fd, LOCK_UN);  // the write is placed; syncing it needs no lock
  int synced = -1;
  do {
    synced = ::fsync(fd);
  } while (synced != 0 && errno == EINTR);
  if (synced != 0) {
    error = Problem(kCannotWrite, path, kNotSaved + std::string(std::strerror(errno)));
    ::close(fd);
    return false;
  }
  if (::close(fd) != 0) {
    error = Problem(kCannotWrite, path, std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace morvak
