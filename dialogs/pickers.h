#pragma once
// Choosers shared by the main window and the settings pages.

#include <windows.h>

// Filters: description / pattern pairs, each item NUL-terminated, the list
// ended by a further NUL.
extern const char kSettingsFilter[];
extern const char kThemeFilter[];
extern const char kLayoutFilter[];
extern const char kSettingsChooserTitle[];
extern const char kThemeChooserTitle[];
extern const char kLayoutChooserTitle[];

// Opens in the directory of the current path with its file name filled in;
// on success the chosen full path (at most 1023 characters) replaces path.
bool ChooseFileName(HWND owner, const char* title, const char* filter, char* path, bool open);
