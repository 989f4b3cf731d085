#pragma once
// Cutting texts of the ANSI code page (Shift-JIS on the target systems)
// without splitting a double-byte character in two.

#include <cstddef>

// Copies the whole characters of text that fit into limit bytes, then a
// terminator, into destination (which holds limit + 1 bytes).
void CopyWholeCharacters(char* destination, const char* text, size_t limit);
// The last backslash of path that is a character of its own, not the trail
// byte of a double-byte character (as in "表", 0x95 0x5C); null when none.
const char* LastBackslash(const char* path);
