#pragma once
// The window's icons in the notification area ([Tray]): one per reading
// Rows names, added when the window opens, drawn again after a reading only
// where the text or colour changed, added again when the shell restarts,
// removed when the window goes. With [Tray] Enable off nothing here touches
// the shell.

#include <windows.h>

#include "sensors/sensortypes.h"

// The icons' message to the window: lParam is the mouse message.
const UINT WM_TRAY_NOTIFY = WM_APP + 0x20;

// Once the window shows its first reading.
void OpenTray(HWND window);
// After a new reading, under UPDATE: what the icons and tooltip are to show.
void TakeTrayReadings(HWND window, const CoreTable& cores);
// Then outside UPDATE, so that a shell that hangs holds no lock: the icons
// whose text, colour or size changed are drawn again and handed over.
void UpdateTray(HWND window);
// When the window goes (re-created or ending): no icon stays behind.
void CloseTray(HWND window);
// The display or its settings changed: with the next reading the icons are
// drawn again at the small-icon size if it changed.
void OnTrayDisplayChange(HWND window);

// A click shows the window (restored when minimised or hidden) in front; a
// right click opens the window's menu; the pointer's moves over an icon
// (index) keep the tooltips up to date.
INT_PTR OnTrayNotify(HWND window, WPARAM index, LPARAM mouse);
// The shell's broadcast after it restarted, which forgot every icon.
bool IsTaskbarCreated(UINT message);
INT_PTR OnTaskbarCreated(HWND window);
// With [Tray] HideOnMinimize: a minimised window leaves the taskbar while
// one of its icons can bring it back.
void HideToTray(HWND window);
