#pragma once
// What the history window plots, taken apart from where it came from: the
// window's ring over a span, or a day of the readings log read back. Each
// series is one row (or a fan's duty, or a core) with a value per sample
// time, NaN where the sample has none.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "app/history.h"

enum PlotPane { kPaneTemps, kPaneFans, kPaneVolts };
const int kPaneCount = 3;

struct PlotSeries {
    std::string name;
    int pane;
    bool duty;  // a percentage, on its own 0-100 scale
    int decimals;
    bool hasLow, hasHigh;  // alarm bounds
    double low, high;
    std::vector<float> values;  // one per time of the data
};

struct PlotData {
    std::vector<HistoryTime> times;  // ascending
    std::vector<PlotSeries> series;
    HistoryTime from = 0, to = 0;  // the span shown
    HistoryTime longestStep = 0;   // samples further apart are not joined
};

// Lowest, average and highest of the values that are there (NaN and infinities are none).
struct SpanStats {
    bool any;
    double low, mean, high;
};
SpanStats SummariseSpan(const float* values, size_t count);

// The shown rows and the cores from the window's ring, over the last
// `minutes` before its newest sample (before now while it is empty).
// Under UPDATE.
void TakeLiveHistory(const History& history, int minutes, PlotData* data);

enum class LogRead { kShown, kNotALog, kUnreadable };
// A readings log of this program, any day's, CSV or TSV: the header names
// the columns, a line that does not fit it is left out, and the span is the
// day of its first line. Anything else is not a log, and data is left as
// it was.
LogRead ReadReadingsLog(const char* path, PlotData* data);
LogRead ParseReadingsLog(const std::string& text, PlotData* data);
