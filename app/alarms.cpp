#include "app/alarms.h"

#include <cstdio>
#include <cstdlib>

#include "app/rows.h"
#include "foundation/userio.h"

namespace {

const int kLineSize = 96;
const double kLargestBound = 1e6;
const int kRoundTripDigits = 17;  // enough for any double
const int kMaxRun = 1 << 20;  // readings out of range are counted up to here

bool IsSet(const AlarmBound* bound)
{
    return bound && bound->set;
}

// +1 when the alarm starts with this reading, -1 when it ends, 0 otherwise.
int Step(AlarmRow& row, bool out)
{
    if (!out) {
        const bool held = row.holding != 0;
        row = AlarmRow{};
        return held ? -1 : 0;
    }
    if (row.run < kMaxRun)
        ++row.run;
    if (row.holding || row.run < App().alarm.count)
        return 0;
    row.holding = 1;
    return 1;
}

void Note(int source, int change, const char* label, const char* value, const char* unit)
{
    WatchState& w = App().watch;
    if (App().debug) {
        char line[kLineSize];
        std::snprintf(line, sizeof line, "%s: %-8s %s%s", change > 0 ? "ALARM ON " : "ALARM OFF", label, value,
                      unit);
        DebugLine(line);
    }
    if (change > 0 && w.startedCount < static_cast<int>(sizeof w.started / sizeof w.started[0])) {
        w.started[w.startedCount].source = source;
        lstrcpynA(w.started[w.startedCount].label, label, kTextSize);
        lstrcpynA(w.started[w.startedCount].value, value, kReadingTextSize);
        ++w.startedCount;
    }
}

bool CoreValid(const CoreTable& cores, int i)
{
    return static_cast<unsigned>(i) < cores.count && cores.core[i].valid;
}

void EvaluateRow(int row)
{
    AppState& a = App();
    const Row r = RowAt(row);
    const char* value = a.current.text[r.slot];
    const bool out = a.alarm.enable && *RowShown(a, row) &&
                     OutOfRange(value, r.group == kFanRows, RowLowBound(a, row), RowHighBound(a, row));
    const int change = Step(a.watch.row[row], out);
    if (change)
        Note(row, change, RowLabel(a, row), value, RowUnit(a, row));
}

void EvaluateCore(const CoreTable& cores, int i)
{
    AppState& a = App();
    const bool out = a.alarm.enable && a.coreTemp.enable && a.alarm.coreMax.set && CoreValid(cores, i) &&
                     cores.core[i].temp > a.alarm.coreMax.value;
    const int change = Step(a.watch.core[i], out);
    if (!change)
        return;
    char label[16], value[16];
    std::snprintf(label, sizeof label, "CORE %02d", i);
    std::snprintf(value, sizeof value, "%d", cores.core[i].temp);
    Note(kRowCount + i, change, label, value, a.units.temp);
}

}  // namespace

AlarmBound ParseBound(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || !(value >= -kLargestBound && value <= kLargestBound))  // NaN fails too
        return AlarmBound{0, 0.0};
    return AlarmBound{1, value};
}

// Volts as "%lf" and other whole bounds as whole numbers, as ever; a bound
// those would round is written with as many digits as it needs.
void FormatBound(const AlarmBound& bound, bool volts, char* text, size_t size)
{
    if (!bound.set) {
        std::snprintf(text, size, "%s", "");
        return;
    }
    std::snprintf(text, size, volts ? "%lf" : "%.0f", bound.value);
    for (int digits = 1; digits <= kRoundTripDigits && std::strtod(text, nullptr) != bound.value; ++digits)
        std::snprintf(text, size, "%.*g", digits, bound.value);
}

bool OutOfRange(const char* value, bool stoppedIsLow, const AlarmBound* low, const AlarmBound* high)
{
    if (!IsSet(low) && !IsSet(high))
        return false;
    if (!value[0])
        return stoppedIsLow && IsSet(low);
    const double v = std::strtod(value, nullptr);
    return (IsSet(high) && v > high->value) || (IsSet(low) && v < low->value);
}

void EvaluateAlarms(const CoreTable& cores)
{
    App().watch.cores = cores;
    for (int row = 0; row < kRowCount; ++row)
        EvaluateRow(row);
    for (int i = 0; i < kCoreSlots; ++i)
        EvaluateCore(cores, i);
}

bool RowAlarm(int row)
{
    return row >= 0 && row < kRowCount && App().watch.row[row].holding;
}

bool CoreAlarm(int core)
{
    return core >= 0 && core < kCoreSlots && App().watch.core[core].holding;
}

bool AnyAlarm()
{
    for (int row = 0; row < kRowCount; ++row)
        if (RowAlarm(row))
            return true;
    for (int core = 0; core < kCoreSlots; ++core)
        if (CoreAlarm(core))
            return true;
    return false;
}
