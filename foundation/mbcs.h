#pragma once
// Cutting texts of the ANSI code page (Shift-JIS on the target systems)
// without splitting a double-byte character in two.

#include <cstddef>

// Copies the whole characters of text that fit into limit bytes, then a
// terminator, into destination (which holds limit + 1 bytes).
void CopyWholeCharacters(char* destination, const char* text, size_t limit);
