#pragma once
// What ends a session of runs on the console. Ctrl-C (SIGINT): the first acts
// as "Stop flashing", the second ends every pending read (the runs then end
// with their lines, records and summary); a third ends the program at once
// (exit status 130), but only when it comes 2 seconds or more after the
// second: presses before that are ignored, so that a few hurried presses never
// lose a record. SIGTERM, SIGHUP and SIGQUIT act as the second Ctrl-C at once.
// SIGPIPE is ignored: an output that can no longer be written is told by its
// writes, and ends the session through EndSession.

namespace morvak::cli {

void InstallInterruptHandler();
// 0, 1 (stop) or 2 (also end every pending read).
int StopRequests();
// The signal that ended the session: the one that brought the stop requests
// to 2 (or EndSession's), else SIGINT after a single Ctrl-C; 0: none.
int EndingSignal();
// Ends the session as `signal` would have (outside a signal handler).
void EndSession(int signal);
// Waits for Enter on stdin, or until a stop is requested.
void WaitForEnter();

}  // namespace morvak::cli
