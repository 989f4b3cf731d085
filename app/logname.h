#pragma once
// The readings log's file names: which names the log may write, the name a
// pattern makes for a date, which names a pattern made, and which days are
// old enough to go. Plain functions of their inputs.

#include <windows.h>

#include <cstddef>

#include "app/appstate.h"

// A log name the program writes: it ends in ".CSV" or ".TSV". Others are
// left alone without a word (the settings page says why).
bool LogNameAllowed(const char* name);
// A name that cannot reach anything but a plain file on this machine: no
// stream (a colon past the drive), no device name (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9 in any case, with any extension) in any part, no network
// or device path (two separators at the start).
bool LogPathSafe(const char* path);
// The length of the folder part of a path: up to and with its last
// separator (\ or /, the former never the trail byte of a double-byte
// character) or its drive colon; 0 when it names no folder.
size_t FolderLength(const char* path);
// The pattern's %Y, %m and %d filled in for a date; a relative pattern is
// taken beside the settings file. False when the result does not fit.
bool ExpandLogName(const char* pattern, const char* settingsPath, const SYSTEMTIME& date, char name[kPathSize]);
// Whether a file name is one the pattern makes (its date fields as digits,
// perhaps with _n before the extension), and the date it holds.
bool MatchesPattern(const char* pattern, const char* name, SYSTEMTIME* date);
// A file of that date is at least so many days older than today.
bool OldEnough(const SYSTEMTIME& date, const SYSTEMTIME& today, int days);
