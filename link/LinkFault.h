#pragma once
// Why the target link's last failed call failed, kept beside the lines that
// failure showed, so that the run can say where it ended and why.
namespace morvak {

enum class LinkFault {
  None,
  NoHandset,        // no handset appeared within the wait for one
  Stopped,          // the operator's stop ended the wait or refused a write
  NoAnswer,         // a read passed the reply time-out without a byte
  Disconnected,     // a read or write failed otherwise: the handset went away or the channel broke
  Refused,          // the handset answered with another frame than the one due
  CrcMismatch,      // a block's checksum was wrong at every attempt
  ProgrammerError,  // the running program reported an error code
};

// How far the last BootTarget got: the wait for the handset, the read of its
// ASIC ID, then the second-stage loader (its commands, bytes and ping).
enum class BootStep { Waiting, AsicId, Loader };

}  // namespace morvak
