#include "app/historydata.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "app/appstate.h"
#include "app/rows.h"
#include "foundation/owner.h"

namespace {

const float kNone = std::numeric_limits<float>::quiet_NaN();
const HistoryTime kTicksPerDay = 86400 * kTicksPerSecond;
// Samples more than this many intervals apart leave a gap between them.
const HistoryTime kJoinedSteps = 5;
const LONGLONG kMaxLogBytes = 64 << 20;  // far more than a day at one reading a second
// The time, every row, each fan's duty and every core: a header with more
// columns is no log of this program.
const size_t kMostColumns = 1 + kRowCount + kFanCount + kCoreSlots;
const char kDefaultTempUnit[] = "\xB0" "C";
const char kLoggedTempUnit[] = "C";  // the log writes the default unit so
const char kFormulaStarts[] = "=+-@";

HistoryTime Ticks(const FILETIME& f)
{
    return (static_cast<HistoryTime>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
}

HistoryTime LocalNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME f;
    SystemTimeToFileTime(&now, &f);
    return Ticks(f);
}

// Where a column of the log or a source of the ring goes: a row's reading
// or duty, or a core.
struct Column {
    int row = -1;  // -1: a core or a column no row claims
    bool duty = false;
    int core = -1;
};

const char* LoggedUnit(const char* unit)
{
    return std::strcmp(unit, kDefaultTempUnit) == 0 ? kLoggedTempUnit : unit;
}

PlotSeries SeriesFor(const Column& c)
{
    AppState& app = App();
    PlotSeries s = {};
    if (c.core >= 0) {
        char name[16];
        std::snprintf(name, sizeof name, "CORE %02d", c.core);
        s.name = name;
        s.pane = kPaneTemps;
        s.hasHigh = app.alarm.coreMax.set != 0;
        s.high = app.alarm.coreMax.value;
        return s;
    }
    const RowGroup group = RowAt(c.row).group;
    s.name = RowLabel(app, c.row);
    s.pane = group == kTempRows ? kPaneTemps : group == kFanRows ? kPaneFans : kPaneVolts;
    s.duty = c.duty;
    s.decimals = group == kVoltRows ? 2 : 0;
    if (c.duty)
        return s;
    const AlarmBound* low = RowLowBound(app, c.row);
    const AlarmBound* high = RowHighBound(app, c.row);
    s.hasLow = low && low->set;
    s.low = low ? low->value : 0;
    s.hasHigh = high && high->set;
    s.high = high ? high->value : 0;
    return s;
}

// The shown rows in the log's order: temperatures, fans, duties, voltages.
std::vector<Column> ShownColumns()
{
    AppState& app = App();
    std::vector<Column> columns;
    const struct { RowGroup group; bool duty; } kOrder[] = {
        {kTempRows, false}, {kFanRows, false}, {kFanRows, true}, {kVoltRows, false}};
    for (const auto& o : kOrder) {
        const RowGroupInfo& g = kRowGroups[o.group];
        for (int row = g.first; row < g.first + g.count; ++row)
            if (*RowShown(app, row) == 1)
                columns.push_back(Column{row, o.duty, -1});
    }
    return columns;
}

// --- The log read back -------------------------------------------------

// At most most + 1 fields: a line with more fits no header, and the rest
// of it is not split.
std::vector<std::string> SplitFields(const std::string& line, char separator, size_t most)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (quoted && ch == '"' && i + 1 < line.size() && line[i + 1] == '"')
            fields.back() += line[++i];
        else if (ch == '"')
            quoted = !quoted;
        else if (ch == separator && !quoted && fields.size() > most)
            break;
        else if (ch == separator && !quoted)
            fields.emplace_back();
        else
            fields.back() += ch;
    }
    return fields;
}

// "LABEL (UNIT)" as the log heads a row; the apostrophe that keeps a
// spreadsheet from taking a label for a formula is not part of it.
bool SplitHeading(const std::string& field, std::string* label, std::string* unit)
{
    const size_t open = field.rfind(" (");
    if (open == std::string::npos || field.empty() || field.back() != ')')
        return false;
    *label = field.substr(0, open);
    *unit = field.substr(open + 2, field.size() - open - 3);
    if (label->size() > 1 && (*label)[0] == '\'' && std::strchr(kFormulaStarts, (*label)[1]))
        label->erase(0, 1);
    return true;
}

// The row a heading names with today's labels, else the pane its unit
// points to.
bool ColumnOf(const std::string& field, Column* column, PlotSeries* series)
{
    unsigned core = 0;
    char rest = 0;
    if (field.size() == 7 && std::sscanf(field.c_str(), "CORE %2u%c", &core, &rest) == 1) {
        *column = Column{-1, false, static_cast<int>(core)};
        *series = SeriesFor(*column);
        return true;
    }
    std::string label, unit;
    if (!SplitHeading(field, &label, &unit))
        return false;
    AppState& app = App();
    for (const Column& c : ShownColumns()) {
        const char* rowUnit = LoggedUnit(c.duty ? app.units.pwm : RowUnit(app, c.row));
        if (label == RowLabel(app, c.row) && unit == rowUnit) {
            *column = c;
            *series = SeriesFor(c);
            return true;
        }
    }
    *series = PlotSeries{};
    series->name = label;
    if (unit == kLoggedTempUnit || unit == LoggedUnit(app.units.temp)) {
        series->pane = kPaneTemps;
    } else if (unit == app.units.fan) {
        series->pane = kPaneFans;
    } else if (unit == app.units.pwm) {
        series->pane = kPaneFans;
        series->duty = true;
    } else {
        series->pane = kPaneVolts;
        series->decimals = 2;
    }
    return true;
}

bool ParseTime(const std::string& field, HistoryTime* time)
{
    SYSTEMTIME t = {};
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (field.size() != 19 || std::sscanf(field.c_str(), "%4u-%2u-%2u %2u:%2u:%2u", &y, &mo, &d, &h, &mi, &s) != 6)
        return false;
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(mo);
    t.wDay = static_cast<WORD>(d);
    t.wHour = static_cast<WORD>(h);
    t.wMinute = static_cast<WORD>(mi);
    t.wSecond = static_cast<WORD>(s);
    FILETIME f;
    if (!SystemTimeToFileTime(&t, &f))
        return false;
    *time = Ticks(f);
    return true;
}

float FieldValue(const std::string& field)
{
    char* end = nullptr;
    const double v = std::strtod(field.c_str(), &end);
    // Past the range of a float is no reading either (and NaN fails the test).
    return !field.empty() && end == field.c_str() + field.size() && std::fabs(v) <= FLT_MAX ? static_cast<float>(v)
                                                                                            : kNone;
}

bool NextLine(const std::string& text, size_t* at, std::string* line)
{
    if (*at >= text.size())
        return false;
    size_t end = text.find('\n', *at);
    if (end == std::string::npos)
        end = text.size();
    *line = text.substr(*at, end - *at);
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    *at = end + 1;
    return true;
}

// The most common step between samples stands for the interval they were
// taken at.
HistoryTime LongestStep(const std::vector<HistoryTime>& times)
{
    std::vector<HistoryTime> steps;
    for (size_t i = 1; i < times.size(); ++i)
        if (times[i] > times[i - 1])
            steps.push_back(times[i] - times[i - 1]);
    if (steps.empty())
        return kTicksPerSecond * kJoinedSteps;
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return steps[steps.size() / 2] * kJoinedSteps;
}

}  // namespace

SpanStats SummariseSpan(const float* values, size_t count)
{
    SpanStats stats = {false, 0, 0, 0};
    double sum = 0;
    size_t taken = 0;
    for (size_t i = 0; i < count; ++i) {
        const double v = values[i];
        if (!std::isfinite(v))
            continue;
        stats.low = taken ? std::min(stats.low, v) : v;
        stats.high = taken ? std::max(stats.high, v) : v;
        sum += v;
        ++taken;
    }
    stats.any = taken > 0;
    stats.mean = taken ? sum / static_cast<double>(taken) : 0;
    return stats;
}

void TakeLiveHistory(const History& history, int minutes, PlotData* data)
{
    std::vector<Column> columns = ShownColumns();
    for (int c = 0; c < history.Cores(); ++c)
        columns.push_back(Column{-1, false, c});
    const int count = history.Count();
    data->to = count ? history.Time(count - 1) : LocalNow();
    const HistoryTime span = static_cast<HistoryTime>(std::max(minutes, 1)) * 60 * kTicksPerSecond;
    data->from = data->to > span ? data->to - span : 0;
    data->longestStep = std::max(App().timer, 1u) * kTicksPerSecond * kJoinedSteps;
    const int first = history.FirstAtOrAfter(data->from);
    data->times.clear();
    for (int i = first; i < count; ++i)
        data->times.push_back(history.Time(i));
    data->series.resize(columns.size());
    for (size_t s = 0; s < columns.size(); ++s) {
        const Column& c = columns[s];
        std::vector<float> values;
        values.swap(data->series[s].values);  // keeps the room between repaints
        data->series[s] = SeriesFor(c);
        values.clear();
        const int source = c.core >= 0 ? kCoreSource + c.core : c.duty ? RowAt(c.row).dutySlot : RowAt(c.row).slot;
        for (int i = first; i < count; ++i) {
            double v = 0;
            values.push_back(history.Value(i, source, &v) ? static_cast<float>(v) : kNone);
        }
        data->series[s].values.swap(values);
    }
}

LogRead ParseReadingsLog(const std::string& text, PlotData* data)
{
    size_t at = 0;
    std::string line;
    if (!NextLine(text, &at, &line))
        return LogRead::kNotALog;
    const char separator = line.find('\t') != std::string::npos ? '\t' : ',';
    const std::vector<std::string> heads = SplitFields(line, separator, kMostColumns);
    if (heads.size() < 2 || heads.size() > kMostColumns || heads[0] != "Time")
        return LogRead::kNotALog;
    PlotData read;
    read.series.resize(heads.size() - 1);
    for (size_t h = 1; h < heads.size(); ++h) {
        Column column;
        if (!ColumnOf(heads[h], &column, &read.series[h - 1]))
            return LogRead::kNotALog;
    }
    while (NextLine(text, &at, &line)) {
        const std::vector<std::string> fields = SplitFields(line, separator, heads.size());
        HistoryTime time = 0;
        if (fields.size() != heads.size() || !ParseTime(fields[0], &time))
            continue;
        if (read.times.empty()) {
            read.from = time - time % kTicksPerDay;
            read.to = read.from + kTicksPerDay;
        }
        if (time < read.from || time >= read.to || (!read.times.empty() && time < read.times.back()))
            continue;  // another day, or the clock was put back
        read.times.push_back(time);
        for (size_t h = 1; h < fields.size(); ++h)
            read.series[h - 1].values.push_back(FieldValue(fields[h]));
    }
    if (read.times.empty())
        return LogRead::kNotALog;
    read.longestStep = LongestStep(read.times);
    *data = std::move(read);
    return LogRead::kShown;
}

LogRead ReadReadingsLog(const char* path, PlotData* data)
{
    // The program may be writing today's file meanwhile.
    FileOwner file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size))
        return LogRead::kUnreadable;
    if (size.QuadPart > kMaxLogBytes)
        return LogRead::kNotALog;
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    // A file within the limit may still not fit the memory left.
    try {
        std::string text(bytes, '\0');
        DWORD got = 0;
        if (bytes && (!ReadFile(file.Get(), &text[0], bytes, &got, nullptr) || got != bytes))
            return LogRead::kUnreadable;
        file.Reset();
        return ParseReadingsLog(text, data);
    } catch (const std::bad_alloc&) {
        return LogRead::kUnreadable;
    }
}
