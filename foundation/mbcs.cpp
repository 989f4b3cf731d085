#include "foundation/mbcs.h"

#include <windows.h>

#include <cstring>

// How many bytes of text fit into limit bytes as whole characters.
static size_t WholeCharacterBytes(const char* text, size_t limit)
{
    size_t n = 0;
    while (n < limit && text[n]) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[n]))) {
            // A lead byte whose trail byte lies beyond the limit, or is missing, goes.
            if (n + 1 >= limit || !text[n + 1])
                break;
            n += 2;
        } else {
            ++n;
        }
    }
    return n;
}

void CopyWholeCharacters(char* destination, const char* text, size_t limit)
{
    const size_t n = WholeCharacterBytes(text, limit);
    std::memmove(destination, text, n);
    destination[n] = '\0';
}

const char* LastBackslash(const char* path)
{
    const char* last = nullptr;
    for (const char* p = path; *p; ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1])
            ++p;  // the trail byte is part of this character
        else if (*p == '\\')
            last = p;
    }
    return last;
}
