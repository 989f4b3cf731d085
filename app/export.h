#pragma once
// The readings as other programs take them: a snapshot of the numbers
// (taken under UPDATE after each reading) and its two forms, the
// Prometheus text exposition format (0.0.4) and JSON. Plain functions of
// their inputs; texts come out in UTF-8.

#include <windows.h>

#include <string>

#include "sensors/sensortypes.h"

const int kExportRows = kTempCount + kFanCount + kVoltCount;
const int kExportTextSize = 32;

enum ExportKind { kExportTemp, kExportFan, kExportDuty, kExportVolt };

struct ExportValue {
    int kind;                      // ExportKind
    int item;                      // within its kind: temp0, fan1, pwm1, in8
    char label[kExportTextSize];   // the row's label as the settings hold it (code page of the system)
    double value;
    int alarm;                     // the row's alarm holds
};

struct ExportCore {
    int core;
    double celsius;
    int alarm;
};

struct ExportSnapshot {
    // The shown rows that have a value now: temperatures, fans, each fan's
    // duty, voltages.
    int valueCount;
    ExportValue values[kExportRows + kFanCount];
    // Shown rows, with or without a value, for their alarm state.
    int alarmCount;
    ExportValue alarms[kExportRows];
    int coreCount;
    ExportCore cores[kCoreSlots];
    ULONGLONG lastRead;  // tick of the last reading that read the chip; 0: none yet
    unsigned long long readings;
    unsigned long long failed;  // readings that read nothing
    char version[kExportTextSize];
    const char* architecture;
    char chip[kExportTextSize];
};

// The input names of the kinds: temp, fan, pwm, in (with the item: "temp0").
const char* ExportInputName(int kind);

// now: the tick the age of the last reading is taken at.
std::string FormatMetrics(const ExportSnapshot& snapshot, ULONGLONG now);
std::string FormatJson(const ExportSnapshot& snapshot, ULONGLONG now);

// A text of the system's code page in UTF-8.
std::string ToUtf8(const char* text);
