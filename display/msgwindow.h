#pragma once
// The message window: a modal notice with an icon and up to four lines, shown
// while long work runs on another thread. It has no buttons; the display
// window ends it when the work reports back.

#include <windows.h>

// Shows the window modally, owned by owner, with the lines of a null-ended
// array (the first four are shown). Returns the result it was ended with, 0 at
// once when a message window is open already, -1 when it cannot be created.
INT_PTR ShowMessageWindow(HWND owner, HINSTANCE module, const char* const* lines);
// Announces work whose end will end a message window about to be shown;
// drops whatever an earlier end left behind.
void ExpectMessageWindowEnd();
// Ends the open message window with result. When the announced work
// finished before the window got that far, the window ends with result as
// soon as it opens.
void EndMessageWindow(INT_PTR result);
// The window while it is open, else null.
HWND MessageWindow();
