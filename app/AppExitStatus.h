#pragma once
// Exit statuses of morvak, the window program.

namespace morvak {

// The window was shown and closed, or help or the version was printed.
inline constexpr int kAppExitSucceeded = 0;
// The command line, or the virtual handset it asks for, cannot be used.
inline constexpr int kAppExitUsage = 2;
// Ended by a signal, once the runs have ended and been recorded: 128 + the
// signal, as a shell reports a program the signal killed: 143 SIGTERM,
// 129 SIGHUP, 130 SIGINT.
inline constexpr int kAppExitOnSignal = 128;

}  // namespace morvak
