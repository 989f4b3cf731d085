#pragma once
// Alarms: a value past its bound for some readings in a row starts an alarm
// of its row (or core); a reading back in range ends it.

#include <cstddef>

#include "app/appstate.h"

// The range of [Alarm] Count.
const int kDefaultAlarmCount = 2;
const int kMinAlarmCount = 1;
const int kMaxAlarmCount = 60;
// The range of [Alarm] Repeat, in minutes.
const int kDefaultAlarmRepeat = 10;
const int kMaxAlarmRepeat = 1440;

// A bound as the settings file holds it: empty (or no number) is off.
AlarmBound ParseBound(const char* text);
// Volts with "%lf", other bounds as whole numbers, either with more digits
// where those would round the bound; off is empty.
void FormatBound(const AlarmBound& bound, bool volts, char* text, size_t size);

// A row's shown value against its bounds (null or unset: none). A row with
// no value is out of range only when a stopped fan counts and a lower bound
// is set.
bool OutOfRange(const char* value, bool stoppedIsLow, const AlarmBound* low, const AlarmBound* high);

// After a new reading, under UPDATE, once its texts are formatted: counts
// the readings out of range and starts and ends alarms (with their
// diagnostic lines); the alarms just started wait in the watch state.
void EvaluateAlarms(const CoreTable& cores);
// The row's alarm holds (rows as the panel counts them, 0-15).
bool RowAlarm(int row);
bool CoreAlarm(int core);
bool AnyAlarm();
