#pragma once
// The readings log: one line per reading (or every few) of the shown rows
// and the cores, one file per day, and days older than Keep deleted (only
// files this program made). File names: app/logname.h.

#include <windows.h>

#include <string>

#include "app/appstate.h"

// The ranges of [Log] Every and Keep, and the separator word.
const int kMaxLogEvery = 3600;
const int kDefaultKeepDays = 30;
const int kMaxKeepDays = 36500;
extern const char kTabSeparator[];  // "TAB"; anything else is a comma

// One line to write, composed under UPDATE.
struct LogLine {
    bool wanted;
    bool restart;  // settings were loaded or applied: the file is chosen again
    bool open;     // the log writes now (lines that wait for a locked file too)
    std::string header;
    std::string line;
    char pattern[kPathSize];
    SYSTEMTIME date;  // of the line, and so of the file it goes to
};
// Under UPDATE after a reading: the line due now, if any; none for a
// reading that read nothing, which does not count towards Every either.
LogLine ComposeLog(bool read);
// On the window's thread: appends the line, choosing the file again for a
// new day, name or header. A file another program holds locked keeps its
// lines waiting, in order, until it is free. False when a line cannot be
// written for any other reason, or the name is not a plain file here.
bool WriteLog(const LogLine& log);
// Writes the lines that wait for a locked file, oldest first; false on a
// failure that is not a lock.
bool FlushPendingLog();
// One field of a line: quoted (quotes doubled) where it holds the
// separator, a quote or a line break; a text that is not a number but
// starts like a formula (=, +, -, @) gets an apostrophe first, so a
// spreadsheet shows it as text.
std::string LogField(const std::string& text, char separator);
