#pragma once
// Draws what the history window plots: three panes stacked (temperatures
// with the cores, fans with their duties, voltages), each with its value
// scale, its rows' lines and alarm bounds, and a legend of each row's
// lowest, average and highest value over the span; clock times under the
// last. Colours are the theme's.

#include <windows.h>

#include <cstddef>

#include "app/historydata.h"

class WINMEMDC;

struct PlotGeometry {
    RECT pane[kPaneCount];  // the whole pane
    RECT plot[kPaneCount];  // where its lines go
    RECT axis;              // the clock times
};
PlotGeometry PlotLayout(const RECT& area);

// Fills area of a pixel surface with the plot; draws nothing on a surface
// without pixels.
void DrawHistoryPlot(const WINMEMDC& surface, const RECT& area, const PlotData& data);

// The sample nearest the pointer in the pane it is over: its clock time and
// each row's value there. False when the pointer is over no plot or the
// span holds no sample.
bool PlotReadout(const RECT& area, const PlotData& data, POINT at, char* text, size_t size);

// Clock-time ticks: the step (in minutes) for a span so that labels keep
// at least minSpacing pixels apart over width pixels.
int TickMinutes(HistoryTime span, int width, int minSpacing);
