#pragma once
// What happens after a reading: the blocks and core table are copied and
// formatted, written to the debugger when asked, counted by the alarms,
// drawn (or, minimised, put in the title) and the core tooltip's text
// built, all under UPDATE; the alarms' actions and the log follow with no
// lock held.

#include <windows.h>

// The last reading shown again (hover, blink, a restored window).
void UpdateDisplay(HWND window);
// A new reading (ID_UPDATE): shown as UpdateDisplay shows it, alarms
// counted, then acted on and logged.
void TakeReading(HWND window);

// The minimised window's title: "!" while an alarm holds, then every
// temperature the panel shows, with the title unit.
void BuildMinimizedTitle(HWND window);
