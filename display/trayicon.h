#pragma once
// What one notification-area icon shows: its reading in at most three
// characters (a decimal point, drawn narrow, not counted), and the picture
// of that text: a 32-bit icon with an alpha channel, the digits
// anti-aliased in grey levels and ringed with a contrasting outline so that
// they read on light and dark taskbars alike.

#include <windows.h>

#include "app/tray.h"
#include "sensors/sensortypes.h"

enum class TrayUnit { Degrees, Percent, Rpm, Volts };

// Degrees and percent whole; rpm as is below 1000, then "1.2k" and from
// 10000 "12k"; volts with one decimal below 10, whole from there; "--"
// without a value. Numbers too large for three characters stop at the
// largest that fits.
void TrayIconText(TrayUnit unit, bool has, double value, char (&text)[kTrayTextSize]);

// A source's reading now: the icon's text and colour (the alarm colour
// while its row, or for the hottest core any core, alarms), and a line
// for the tooltip with its label, its value as the panel shows it and
// its unit.
struct TrayReading {
    char text[kTrayTextSize];
    COLORREF colour;
    char line[64];
};
TrayReading ReadTraySource(const TraySource& source, const CoreTable& cores);

// The icon of a text in a colour, size pixels square; null when the
// system refuses the objects.
HICON BuildTrayIcon(const char* text, COLORREF colour, int size);
// The fonts recent texts were fitted with are fitted again: the system's
// fonts or their smoothing may have changed.
void ForgetFittedFonts();
