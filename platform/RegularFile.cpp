#include "RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace morvak {
namespace {

FileIdentity IdentityFrom(const struct stat& st) {
  FileIdentity id;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  id.modifiedSeconds = st.st_mtim.tv_sec;
  id.modifiedNanoseconds = st.st_mtim.tv_nsec;
  id.changedSeconds = st.st_ctim.tv_sec;
  id.changedNanoseconds = st.st_ctim.tv_nsec;
  return id;
}

}  // namespace

FileOpenResult OpenRegularFileDescriptor(const char* path, int& fd, FileIdentity* identity) {
  fd = -1;
  if (path == nullptr || *path == '\0') return FileOpenResult::kCannotOpen;
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  int opened = -1;
  do {
    opened = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (opened < 0 && errno == EINTR);
  if (opened < 0) return errno == EISDIR ? FileOpenResult::kNotRegular : FileOpenResult::kCannotOpen;
  struct stat st {};
  if (::fstat(opened, &st) != 0) {
    ::close(opened);
    return FileOpenResult::kCannotOpen;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(opened);
    return FileOpenResult::kNotRegular;
  }
  // Reads of a regular file never wait anyway; clear the flag so the
  // descriptor behaves as any other.
  const int flags = ::fcntl(opened, F_GETFL);
  if (flags >= 0) ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK);
  if (identity != nullptr) *identity = IdentityFrom(st);
  fd = opened;
  return FileOpenResult::kOpened;
}

FileOpenResult OpenRegularFile(const char* path, StdioFile& file, FileIdentity* identity) {
  file.reset();
  int fd = -1;
  const FileOpenResult result = OpenRegularFileDescriptor(path, fd, identity);
  if (result != FileOpenResult::kOpened) return result;
  std::FILE* stream = ::fdopen(fd, "rb");
  if (stream == nullptr) {
    ::close(fd);
    return FileOpenResult::kCannotOpen;
  }
  file.reset(stream);
  return FileOpenResult::kOpened;
}

bool IdentityOf(int fd, FileIdentity& identity) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  identity = IdentityFrom(st);
  return true;
}

bool IdentityOf(std::FILE* file, FileIdentity& identity) {
  return file != nullptr && IdentityOf(::fileno(file), identity);
}

bool IdentityOfPath(const char* path, FileIdentity& identity) {
  struct stat st {};
  if (path == nullptr || ::stat(path, &st) != 0) return false;
  identity = IdentityFrom(st);
  return true;
}

std::string ShownPath(const std::string& path) {
  std::string shown;
  shown.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      shown += escape;
    }
  }
  return shown;
}

}  // namespace morvak
