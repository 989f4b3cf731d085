#pragma once
// INIFILE: binds a profile-file path and reads or writes single keys through
// the private-profile calls, one overload per value type, each with a fixed
// text form. It never holds the file open. Every member is exported.

#include <windows.h>

#include "foundation/cstr.h"

class VK_EXPORT INIFILE {
public:
    INIFILE();
    INIFILE(const INIFILE& other);
    virtual ~INIFILE();
    INIFILE& operator=(const INIFILE& other);

    int Open(const char* path);
    int OpenLocal(const char* name);
    void Close();
    int Create(const char* section);

    int Read(const char* section, const char* key, unsigned char def, unsigned char* out);
    int Read(const char* section, const char* key, short def, short* out);
    int Read(const char* section, const char* key, unsigned short def, unsigned short* out);
    int Read(const char* section, const char* key, int def, int* out);
    int Read(const char* section, const char* key, unsigned int def, unsigned int* out);
    int Read(const char* section, const char* key, long def, long* out);
    int Read(const char* section, const char* key, unsigned long def, unsigned long* out);
    int Read(const char* section, const char* key, float def, float* out);
    int Read(const char* section, const char* key, double def, double* out);
    int Read(const char* section, const char* key, const char* def, char* buffer, unsigned int size);
    int Read(const char* section, const char* key, COLORREF* colour);
    int Read(const char* section, const char* key, LOGFONTA* font);
    int Read(const char* section, const char* key, RECT* rect);

    int Write(const char* section, const char* key, const char* format, unsigned long value);
    int Write(const char* section, const char* key, unsigned char value);
    int Write(const char* section, const char* key, short value);
    int Write(const char* section, const char* key, unsigned short value);
    int Write(const char* section, const char* key, int value);
    int Write(const char* section, const char* key, unsigned int value);
    int Write(const char* section, const char* key, long value);
    int Write(const char* section, const char* key, unsigned long value);
    int Write(const char* section, const char* key, float value);
    int Write(const char* section, const char* key, double value);
    int Write(const char* section, const char* key, const char* text);
    int Write(const char* section, const char* key, const COLORREF* colour);
    int Write(const char* section, const char* key, const LOGFONTA* font);
    int Write(const char* section, const char* key, const RECT* rect);

private:
    bool Bound() const;
    // The integer read shared by every integral overload.
    UINT ReadInteger(const char* section, const char* key, int def) const;
    // Reads the value as text; returns the number of characters read.
    DWORD ReadText(const char* section, const char* key, char* buffer, DWORD size) const;
    int WriteText(const char* section, const char* key, const char* text);

    CSTR fileName;
};
