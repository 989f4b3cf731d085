#pragma once
// The notification area's settings and what a window keeps of its icons
// there. [Tray] Rows names the readings that get an icon, in order:
// panel row numbers (temperatures 0-2, fans 3-6, voltages 7-15), "d" and a
// fan row for that fan's duty, "c" for the hottest core.

#include <windows.h>

#include "foundation/gdiwrap.h"

const int kTrayRowsSize = 32;
const int kMaxTrayIcons = 8;
// An icon's text: three characters, a decimal point and a terminator fit.
const int kTrayTextSize = 8;

// [Tray]
struct TraySettings {
    int enable;
    char rows[kTrayRowsSize];
    int hideOnMinimize;
};

enum TrayKind { kTrayReading, kTrayDuty, kTrayHottestCore };

struct TraySource {
    TrayKind kind;
    int row;  // the panel row of a reading or duty
};

// The sources a Rows text names, at most max of them; entries that name
// nothing (a number out of range, a duty of a row that is no fan, stray
// characters) are skipped. Returns how many were taken.
int ParseTrayRows(const char* text, TraySource* sources, int max);

struct TrayIconRecord {
    TraySource source{};
    char text[kTrayTextSize]{};      // what the picture shows
    COLORREF colour{};
    char nextText[kTrayTextSize]{};  // what the last reading brought
    COLORREF nextColour{};
    Owner<IconTraits> icon;  // the picture the shell was last given
    bool added{};            // the shell holds the icon
    bool tipStale{};         // the shell's tooltip is older than the tray's
};

// The icons of the window that shows them; the window's thread alone
// touches it.
struct TrayState {
    HWND window{};
    UINT taskbarCreated{};  // the shell's broadcast after a restart; 0 while off
    DWORD dataSize{};       // of the notify record the shell understands
    int iconSize{};         // the pictures' width and height
    bool sizeKnown{};       // iconSize was asked for since the display last changed
    char tip[128]{};        // the tooltip every icon shows
    bool hovered{};         // the pointer went over an icon at hoverAt
    DWORD hoverAt{};        // GetTickCount then
    int count{};
    TrayIconRecord icon[kMaxTrayIcons];
};
