#pragma once
// What the program does with each reading besides showing it: the beep and
// the command of alarms that just started (app/alarms.h, app/command.h) and
// the readings log (app/readingslog.h).

#include <windows.h>

// After a new reading, on the window's thread with no lock held: the beep
// and the command of alarms that just started, the log line (none for a
// reading that read nothing), and the messages these may need.
void ActOnReading(HWND window, bool read);
// Settings loaded or applied: logging goes on after a failed write, and
// alarms count afresh.
void ResumeLogging();
