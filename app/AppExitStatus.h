#pragma once
// Exit statuses of morvak, the window program.

namespace morvak {

// The window was shown and closed, or help or the version was printed.
inline constexpr int kAppExitSucceeded = 0;
// The command line, or the virtual handset it asks for, cannot be used.
inline constexpr int kAppExitUsage = 2;

}  // namespace morvak
