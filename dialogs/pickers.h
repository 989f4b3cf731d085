#pragma once
// Choosers shared by the main window and the settings pages: files, fonts and
// colours through the platform's common dialogs, and the two operations that
// bring a colour swatch or a font sample up to date after a choice.

#include <windows.h>

class WINBRUSH;
class WINFONT;

// Filters: description / pattern pairs, each item NUL-terminated, the list
// ended by a further NUL.
extern const char kSettingsFilter[];
extern const char kThemeFilter[];
extern const char kLayoutFilter[];
extern const char kSkinFilter[];
extern const char kMaskFilter[];
extern const char kProgramFilter[];
extern const char kLogFilter[];
extern const char kSettingsChooserTitle[];
extern const char kThemeChooserTitle[];
extern const char kLayoutChooserTitle[];
extern const char kSkinChooserTitle[];
extern const char kMaskChooserTitle[];
extern const char kProgramChooserTitle[];
extern const char kLogChooserTitle[];

// Opens in the directory of the current path with its file name filled in;
// on success the chosen full path (at most 1023 characters) replaces path.
bool ChooseFileName(HWND owner, const char* title, const char* filter, char* path, bool open);
// Runs the colour chooser; a new colour is stored, gets a new brush and the
// swatch is repainted. False only when that brush cannot be created.
bool PickColor(COLORREF* colour, WINBRUSH* brush, HWND owner, int swatchId);
// Runs the font chooser on a copy; a choice is stored, the font object made
// from it, and the sample shows its face name in it. False only when the
// font cannot be created.
bool PickFont(LOGFONTA* font, WINFONT* object, HWND owner, int sampleId);
