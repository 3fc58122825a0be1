#pragma once
// Opening files that a run reads: only regular files (after following links)
// are opened, and opening never blocks, so a FIFO, a device node or a
// directory put where an image or a target program belongs is refused at
// once instead of holding the caller. The identity of a file tells whether
// the bytes behind a path are still the ones that were checked.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "StdioFile.h"

namespace morvak {

enum class FileOpenResult {
  kOpened,
  kCannotOpen,  // missing, no permission, ...
  kNotRegular,  // a FIFO, a directory, a device node, a socket
};

// What changes whenever a file is replaced or written: the device and inode
// it lives on, its size, its modification time to the nanosecond, and its
// inode's change time, which the kernel sets on every write and every change
// of the modification time and which no writer can set back, so that a file
// written in place and given its old modification time again (touch -r)
// still differs.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  uint64_t size = 0;
  int64_t modifiedSeconds = 0;
  int64_t modifiedNanoseconds = 0;
  int64_t changedSeconds = 0;
  int64_t changedNanoseconds = 0;

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Opens `path` for binary reading. `file` is set only with kOpened;
// `identity`, when given, is then the identity of the opened file.
FileOpenResult OpenRegularFile(const char* path, StdioFile& file, FileIdentity* identity = nullptr);
// The same for a descriptor (O_RDONLY | O_CLOEXEC); `fd` is -1 unless kOpened.
FileOpenResult OpenRegularFileDescriptor(const char* path, int& fd, FileIdentity* identity = nullptr);

// The identity of an open file; false when it cannot be taken.
bool IdentityOf(int fd, FileIdentity& identity);
bool IdentityOf(std::FILE* file, FileIdentity& identity);
// The identity of the file `path` names now, following links.
bool IdentityOfPath(const char* path, FileIdentity& identity);

// A path as a status line shows it: control characters (a line feed in a
// file name, say) are written as escapes (\n, \r, \t, \xHH), so that no file
// name can make a line look like another, or like two.
std::string ShownPath(const std::string& path);

}  // namespace morvak
