#pragma once
// A line formatted like printf into a buffer of its own size: cut where it
// does not fit (Size - 1 characters at most), never overflowed, always
// ended. The program's printf-like helpers pass their arguments on to it.

#include <cstdarg>
#include <cstddef>
#include <cstdio>

template <size_t Size>
class FixedLine {
public:
    FixedLine(const char* format, va_list args) { std::vsnprintf(text, Size, format, args); }
    const char* Text() const { return text; }

private:
    char text[Size];
};
