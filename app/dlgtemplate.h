#pragma once
// Checks that a dialog template (standard or extended form) lies wholly
// within its resource, so that a damaged layout file cannot make the dialog
// manager read past it. The main window takes no menu and no window class
// of its own: a template that names either is refused too.

#include <windows.h>

#include <cstddef>

bool DialogTemplateFits(const void* data, size_t size);

// Whether the resource of the given type and number in a module mapped as
// data, and every directory and entry the platform's lookup of it reads,
// lie in readable memory. The lookup itself follows the file's offsets
// wherever they point: a damaged file is refused before it is asked.
bool ResourceReadable(HMODULE module, WORD type, WORD id);
