#pragma once
// The panel's rows, worked out in one place. Row numbers run in display
// order: the temperatures 0-2, the fans 3-6, the voltages 7-15 (kRowCount,
// app/appstate.h). For a row: its group and its item in the group, the
// slots of its reading (and of a fan's duty) in the sensor block and its
// texts, and what the settings keep for it: label, unit, display switch
// and alarm bounds.

#include "app/appstate.h"

enum RowGroup { kTempRows, kFanRows, kVoltRows };
const int kRowGroupCount = 3;

struct RowGroupInfo {
    int first;  // its first row
    int count;
};
extern const RowGroupInfo kRowGroups[kRowGroupCount];

struct Row {
    RowGroup group;
    int item;      // within its group
    int slot;      // of its reading
    int dutySlot;  // of a fan's duty; -1 for the other rows
};

Row RowAt(int row);

// What the settings keep for a row; the pages write through the same.
int* RowShown(AppState& app, int row);
char* RowLabel(AppState& app, int row);
const char* RowLabel(const AppState& app, int row);
// The unit of the row's reading.
char* RowUnit(AppState& app, int row);
const char* RowUnit(const AppState& app, int row);
// The group's title.
char* GroupTitle(AppState& app, RowGroup group);
const char* GroupTitle(const AppState& app, RowGroup group);
// The alarm bounds a row has: below (fans, voltages) and above
// (temperatures, voltages); null where it has none.
AlarmBound* RowLowBound(AppState& app, int row);
AlarmBound* RowHighBound(AppState& app, int row);
