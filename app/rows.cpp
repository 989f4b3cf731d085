#include "app/rows.h"

const RowGroupInfo kRowGroups[kRowGroupCount] = {
    {0, kTempCount},
    {kTempCount, kFanCount},
    {kTempCount + kFanCount, kVoltCount},
};
static_assert(kTempCount + kFanCount + kVoltCount == kRowCount, "every row in one group");

Row RowAt(int row)
{
    int g = kRowGroupCount - 1;
    while (g > 0 && row < kRowGroups[g].first)
        --g;
    const RowGroup group = static_cast<RowGroup>(g);
    const int item = row - kRowGroups[g].first;
    switch (group) {
    case kTempRows: return Row{group, item, kTempSlot + item, -1};
    case kFanRows: return Row{group, item, kFanSlot + item, kPwmSlot + item};
    default: return Row{group, item, kVoltSlot + item, -1};
    }
}

int* RowShown(AppState& app, int row)
{
    const Row r = RowAt(row);
    switch (r.group) {
    case kTempRows: return &app.show.temp[r.item];
    case kFanRows: return &app.show.fan[r.item];
    default: return &app.show.in[r.item];
    }
}

char* RowLabel(AppState& app, int row)
{
    const Row r = RowAt(row);
    switch (r.group) {
    case kTempRows: return app.labels.temp[r.item];
    case kFanRows: return app.labels.fan[r.item];
    default: return app.labels.in[r.item];
    }
}

const char* RowLabel(const AppState& app, int row)
{
    return RowLabel(const_cast<AppState&>(app), row);
}

char* RowUnit(AppState& app, int row)
{
    switch (RowAt(row).group) {
    case kTempRows: return app.units.temp;
    case kFanRows: return app.units.fan;
    default: return app.units.in;
    }
}

const char* RowUnit(const AppState& app, int row)
{
    return RowUnit(const_cast<AppState&>(app), row);
}

char* GroupTitle(AppState& app, RowGroup group)
{
    switch (group) {
    case kTempRows: return app.labels.tempTitle;
    case kFanRows: return app.labels.fanTitle;
    default: return app.labels.inTitle;
    }
}

const char* GroupTitle(const AppState& app, RowGroup group)
{
    return GroupTitle(const_cast<AppState&>(app), group);
}

AlarmBound* RowLowBound(AppState& app, int row)
{
    const Row r = RowAt(row);
    switch (r.group) {
    case kTempRows: return nullptr;
    case kFanRows: return &app.alarm.fanMin[r.item];
    default: return &app.alarm.inMin[r.item];
    }
}

AlarmBound* RowHighBound(AppState& app, int row)
{
    const Row r = RowAt(row);
    switch (r.group) {
    case kTempRows: return &app.alarm.tempMax[r.item];
    case kFanRows: return nullptr;
    default: return &app.alarm.inMax[r.item];
    }
}
