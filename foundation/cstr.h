#pragma once
// CSTR: the program's own heap string for 8-bit text. The buffer is always
// exactly as large as the text, every change reallocates, and an empty string
// owns no buffer. Every member is exported from the executable.

#include "foundation/export.h"

class VK_EXPORT CSTR {
public:
    CSTR(const char* text = nullptr);
    CSTR(int value);
    CSTR(const CSTR& other);
    virtual ~CSTR();

    CSTR& operator=(const CSTR& other);
    CSTR& operator=(const char* text);
    CSTR& operator=(int value);
    CSTR& operator+=(const CSTR& other);
    CSTR& operator+=(const char* text);
    bool operator==(const CSTR& other) const;
    bool operator==(const char* text) const;

    const char* Append(const char* text);
    const char* Insert(const char* text, unsigned int position);
    void Remove();
    bool Compare(const char* text, unsigned int count) const;
    unsigned int Length() const;
    const char* String(unsigned int index = 0) const;

    const char* Upper();
    const char* Lower();
    const char* Convert(bool upper);

    long Bit() const;
    long Oct() const;
    long Dec() const;
    long Hex() const;
    long Convert(int radix) const;
    // The same for a string that is not const, where the bool overload would
    // otherwise make Convert(16) ambiguous.
    long Convert(int radix);

    const char* Trim(const char* set = nullptr);
    const char* TrimLeft(const char* set = nullptr);
    const char* TrimRight(const char* set = nullptr);

    void RegisterErrorTrap(void (*handler)());

private:
    static void ErrorTrap();
    bool IsTrim(char ch, const char* set) const;
    // Replaces the text by the three pieces laid end to end in one new buffer.
    void Rebuild(const char* a, unsigned int na, const char* b, unsigned int nb,
                 const char* c, unsigned int nc);

    unsigned int length;
    char* text;
    void (*errorHandler)();
};
