#pragma once

// The keys of the settings file and the theme file: where each value lives
// in the application state, its default, and whether a save writes it.

#include <windows.h>

#include <cstddef>

#include "app/appstate.h"

// A text key takes at most limit - 1 characters from the file.
const unsigned int kPathLimit = kPathSize;

const unsigned int kDefaultTimer = 5;
const unsigned int kMaxTimer = 60;
const int kBoundTextSize = 64;

enum class KeyKind { Int, Unsigned, Double, Text, Colour, Font, Bound };

// Where a key's value lives in the application state.
union MemberRef {
    MemberRef(int* (*f)(AppState&)) : asInt(f) {}
    MemberRef(unsigned int* (*f)(AppState&)) : asUnsigned(f) {}
    MemberRef(double* (*f)(AppState&)) : asDouble(f) {}
    MemberRef(char* (*f)(AppState&)) : asText(f) {}
    MemberRef(COLORREF* (*f)(AppState&)) : asColour(f) {}
    MemberRef(LOGFONTA* (*f)(AppState&)) : asFont(f) {}
    MemberRef(AlarmBound* (*f)(AppState&)) : asBound(f) {}

    int* (*asInt)(AppState&);
    unsigned int* (*asUnsigned)(AppState&);
    double* (*asDouble)(AppState&);
    char* (*asText)(AppState&);
    COLORREF* (*asColour)(AppState&);
    LOGFONTA* (*asFont)(AppState&);
    AlarmBound* (*asBound)(AppState&);
};

// Whether a save writes a key. Keys of later additions are written only
// when they differ from their defaults (and taken out of the file when they
// are back at them), so that a file saved with them at their defaults is the
// file the program saved before it had them.
enum Saving { kSaved, kNotSaved, kSavedWhenSet };

struct SettingKey {
    const char* section;
    const char* key;
    KeyKind kind;
    Saving saving;  // kNotSaved: only ever set by editing the file
    int intDefault;
    double doubleDefault;
    const char* textDefault;
    unsigned int textLimit;
    MemberRef member;
};


// A file's keys, in reading and writing order.
struct KeyTable {
    const SettingKey* keys;
    size_t count;

    const SettingKey* begin() const { return keys; }
    const SettingKey* end() const { return keys + count; }
};

KeyTable SettingsFileKeys();
KeyTable ThemeFileKeys();
