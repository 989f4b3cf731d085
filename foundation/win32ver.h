#pragma once
// WIN32VER: string values of an executable file's version resource, such as
// "FileDescription", "FileVersion" and "LegalCopyright". It never fails
// loudly: Load reports by its result, a failed query gives a marker text.

#include <windows.h>

class WIN32VER {
public:
    WIN32VER();
    virtual ~WIN32VER();
    WIN32VER(const WIN32VER&) = delete;
    WIN32VER& operator=(const WIN32VER&) = delete;

    // 1 when the file has a version resource with exactly one translation.
    int Load(const char* path);
    // The value in the loaded translation's string table; "(error)" when
    // the lookup fails (no such value, nothing loaded), "(null)" when the
    // value is empty. Valid until the next Load or the object's end.
    const char* QueryString(const char* name) const;

    WORD Language() const { return language; }
    WORD CodePage() const { return codePage; }

private:
    void Free();

    void* data;     // the whole version resource
    WORD language;  // the translation: language id, then code page
    WORD codePage;
    char* fileName;  // the path given to the last Load
};
