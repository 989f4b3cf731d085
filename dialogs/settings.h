#pragma once
// The settings dialog: a tabbed frame (template 210) on a thread of its own,
// modal and owned by the display window, whose pages edit the live settings.
// OK and Apply store every page and rebuild the display's drawing objects,
// skin and shape; OK also saves both files and closes; Cancel closes.

#include <windows.h>

// While the dialog is open: has the display window created anew once it
// closes, and answers true. False when no dialog is open.
bool RecreateWhenSettingsClose();

// Opens the dialog on a new thread; does nothing while it is open.
void OpenSettingsDialog(HWND display, HINSTANCE module);
// The frame while the dialog is open, else null (for tests).
HWND SettingsDialog();
// Whether a dialog was requested and its thread has not ended yet.
bool SettingsDialogOpen();
// Page i of the open dialog, else null (for tests).
HWND SettingsPageWindow(int index);

