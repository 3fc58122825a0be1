#pragma once
// Status lines of the window itself, each defined once.

namespace morvak::texts {

// A dropped file whose name is longer than the drop buffer holds.
inline constexpr const char* kDroppedNameTooLong =
    "The dropped file name is longer than %u bytes and was not taken:%s";

}  // namespace morvak::texts
