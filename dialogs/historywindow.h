#pragma once
// The history window: the shown rows' recent readings (or a day of the
// readings log) as graphs over a chosen span. Modeless, resizable, one at a
// time, owned by the display window; its place is kept for the theme file.

#include <windows.h>

// Opens the window, or brings the open one forward.
void OpenHistoryWindow(HWND owner, HINSTANCE module);
// The window while it is open, else null.
HWND HistoryWindow();
// A new reading is in the ring: the live graphs take it at the next paint,
// which it asks for once the plot has moved by a pixel column since the
// last drawing (every reading over short spans, every few over long ones)
// while the window can be seen.
// With now, it is drawn again at once (the ring started over).
void FollowHistoryWindow(bool now = false);
// Closes the window with the display window that owns it.
void CloseHistoryWindow();
// Shows a readings log in the open window; false (with a message to the
// user) when it is no log of the program, and the window shows what it did.
bool ShowLogInHistoryWindow(const char* path);
