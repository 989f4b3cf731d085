#pragma once
// The settings file and the theme file: moving values between them and the
// application state. With withConfig set the settings file is handled first,
// then the theme file it names; otherwise the theme file only.

#include <windows.h>

void LoadSettings(int withConfig);

// What SaveSettings could not write (bits), 0 when everything was written.
// The values stay in memory either way.
enum SaveFailure { kSettingsFileNotSaved = 1, kThemeFileNotSaved = 2 };
int SaveSettings(int withConfig);
// Tells the user which file could not be saved, with an error message owned
// by owner for each; nothing when failures is 0.
void ReportSaveFailures(HWND owner, int failures);
