#pragma once
// Status lines of the window itself, each defined once.

namespace morvak::texts {

// A dropped file whose name is longer than the drop buffer holds.
inline constexpr const char* kDroppedNameTooLong =
    "The dropped file name is longer than %u bytes and was not taken:%s";

// The configuration names a run record file that could not be written; the
// placeholder is the reason, which names the file.
inline constexpr const char* kRunRecordNotWritten =
    "The run was not recorded: %s. Check RecordFile= in file/LURRA.ini and that its folder is writable.";

// Asked before the window closes while a run is going on: Yes stops the run
// and closes, No leaves both as they are.
inline constexpr const char* kStopRunAndClose = "A handset is being flashed. Stop the run and close?";
// Asked when "Stop flashing" is pressed from the keyboard during a run; a click stops at once.
inline constexpr const char* kStopRunByKey = "A handset is being flashed. Stop the run and leave it half-flashed?";

}  // namespace morvak::texts
