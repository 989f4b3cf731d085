#pragma once
// The readings log: one line per reading (or every few) of the shown rows
// and the cores, one file per day, and days older than Keep deleted.

#include <windows.h>

#include <string>

#include "app/appstate.h"

// The ranges of [Log] Every and Keep, and the separator word.
const int kMaxLogEvery = 3600;
const int kDefaultKeepDays = 30;
const int kMaxKeepDays = 36500;
extern const char kTabSeparator[];  // "TAB"; anything else is a comma

// A log name the program writes: it ends in ".CSV" or ".TSV".
bool LogNameAllowed(const char* name);
// The pattern's %Y, %m and %d filled in for a date; a relative pattern is
// taken beside the settings file. False when the result does not fit.
bool ExpandLogName(const char* pattern, const char* settingsPath, const SYSTEMTIME& date, char name[kPathSize]);
// Whether a file name is one the pattern makes (its date fields as digits,
// perhaps with _n before the extension), and the date it holds.
bool MatchesPattern(const char* pattern, const char* name, SYSTEMTIME* date);
// A file of that date is at least so many days older than today.
bool OldEnough(const SYSTEMTIME& date, const SYSTEMTIME& today, int days);

// One line to write, composed under UPDATE.
struct LogLine {
    bool wanted;
    bool restart;  // settings were loaded or applied: the file is chosen again
    std::string header;
    std::string line;
    char pattern[kPathSize];
    SYSTEMTIME date;  // of the line, and so of the file it goes to
};
// Under UPDATE after a reading: the line due now, if any.
LogLine ComposeLog();
// On the window's thread: appends the line, choosing the file again for a
// new day, name or header; false when it cannot be written.
bool WriteLog(const LogLine& log);
