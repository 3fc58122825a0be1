#pragma once
// The console's own texts (beside the run's and the link's), each defined once.

#include <cstdio>
#include <string>

namespace morvak::cli::clitexts {

// The hint under the device list when a matching device denies access.
inline constexpr const char* kUdevHint =
    "To give the logged-in user access: sudo morvak-cli udev-rule --install "
    "(it writes /etc/udev/rules.d/70-morvak.rules and reloads udev)";

// A handset's progress line before the first byte is sent to it.
inline constexpr const char* kWaitingForHandset = "waiting for the handset";

// Ctrl-C: the first is "Stop flashing", the second ends every pending read so
// that every run ends with its lines and records, a third quits at once.
inline constexpr const char* kStoppingAll =
    "Stopping: every run ends at its next write (Ctrl-C again ends the runs waiting for a handset's answer).\n";
inline constexpr const char* kStoppingOne =
    "Stopping: the run ends at its next write (Ctrl-C again ends it if it waits for the handset's answer).\n";
inline constexpr const char* kStoppingStation =
    "Stopping: no new run starts; the runs going on end as they will (Ctrl-C again stops them).\n";
inline constexpr const char* kEndingReads =
    "Ending every run now; records and the summary follow (Ctrl-C again, 2 s or more from now, quits at once).\n";

// Exit statuses of morvak-cli.
inline constexpr int kExitSucceeded = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitRecords = 74;        // EX_IOERR: a run record could not be written
inline constexpr int kExitConfiguration = 78;  // EX_CONFIG
// A session ended by a signal: 128 + the signal, as a shell reports a program
// the signal killed: 129 SIGHUP, 130 SIGINT (Ctrl-C), 131 SIGQUIT, 143 SIGTERM,
// and 141 (SIGPIPE) when the output could no longer be written.
inline constexpr int kExitOnSignal = 128;

}  // namespace morvak::cli::clitexts

namespace morvak::cli {

// "morvak-cli: TEXT" on `err`: how the console says what went wrong outside a run.
inline void PrintProblem(std::FILE* err, const std::string& text) {
  std::fprintf(err, "morvak-cli: %s\n", text.c_str());
  std::fflush(err);
}

}  // namespace morvak::cli
