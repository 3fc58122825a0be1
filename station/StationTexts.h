#pragma once
// The station's own texts, said on a port's line.
namespace morvak::texts {

// A port whose handset failed, until the handset is unplugged.
inline constexpr const char* kUnplugFailed = "failed: unplug the handset (it is not flashed again while it stays)";
// A run stopped by the operator, until the handset is unplugged.
inline constexpr const char* kUnplugStopped = "stopped: unplug the handset (it is not flashed again while it stays)";
// A unit that passed in this session turned away (its ASIC ID, when and where it passed).
inline constexpr const char* kPassedBefore =
    "unit %s passed at %s on %s in this session: it is not flashed again; unplug it";
// The unit of the last run here, seen again before the port was empty (it re-enumerated).
inline constexpr const char* kSameUnitAgain = "unit %s has had its run on this port: unplug it to flash it again";
// Once a record could not be written, after the line that says why.
inline constexpr const char* kNoRecordNoRun =
    "no further handset is flashed: a run whose record cannot be written must not run (free space or mend the record "
    "file, then start again)";
// A watching session's wait for handsets ran out (its seconds).
inline constexpr const char* kNoHandsetFor = "no handset for %s s: the session ends";

}  // namespace morvak::texts
