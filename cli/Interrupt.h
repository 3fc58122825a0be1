#pragma once
// Ctrl-C on the console: the first acts as "Stop flashing", the second ends
// every pending read (the runs then end with their lines, records and
// summary), a third ends the program at once (exit status 130).

namespace morvak::cli {

void InstallInterruptHandler();
int StopRequests();
// Waits for Enter on stdin, or until a stop is requested.
void WaitForEnter();

}  // namespace morvak::cli
