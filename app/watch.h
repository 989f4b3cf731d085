#pragma once
// What the program does with each reading besides showing it: alarms when a
// value passes its bound for some readings in a row, and the readings log,
// a file of one line per reading (or every few) and one file per day.

#include <windows.h>

#include <cstddef>

#include "app/appstate.h"

// The ranges of the alarms' and the log's numbers, and the separator word.
const int kDefaultAlarmCount = 2;
const int kMinAlarmCount = 1;
const int kMaxAlarmCount = 60;
const int kMaxLogEvery = 3600;
const int kDefaultKeepDays = 30;
const int kMaxKeepDays = 36500;
extern const char kTabSeparator[];  // "TAB"; anything else is a comma

// A bound as the settings file holds it: empty (or no number) is off.
AlarmBound ParseBound(const char* text);
// Volts with "%lf", other bounds as whole numbers; off is empty.
void FormatBound(const AlarmBound& bound, bool volts, char* text, size_t size);

// After a new reading, under UPDATE, once its texts are formatted: counts
// the readings out of range and starts and ends alarms (with their
// diagnostic lines).
void EvaluateAlarms(const CoreTable& cores);
// The row's alarm holds (rows as the panel counts them, 0-15).
bool RowAlarm(int row);
bool CoreAlarm(int core);
bool AnyAlarm();

// After a new reading, on the window's thread with no lock held: the beep
// and the command of alarms that just started, the log line, and the
// messages these may need.
void ActOnReading(HWND window);
// Settings loaded or applied: logging goes on after a failed write, and
// alarms count afresh.
void ResumeLogging();

// The user confirmed running this command (the dialog's OK or Apply with it
// entered, or Yes when asked): recorded for this user on this machine.
void ConfirmCommand(const char* command);
// A log name the program writes: it ends in ".CSV" or ".TSV".
bool LogNameAllowed(const char* name);

// Seams for tests: starting a process and the alarm sound. Null restores
// the real calls.
using ProcessStarter = bool (*)(char* commandLine);
using SoundPlayer = void (*)(UINT type);
void SetWatchCalls(ProcessStarter starter, SoundPlayer sound);
// The local time the log's lines and file names take.
using ClockReader = void(WINAPI*)(SYSTEMTIME* now);
void SetWatchClock(ClockReader clock);
