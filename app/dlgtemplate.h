#pragma once
// Checks that a dialog template (standard or extended form) lies wholly
// within its resource, so that a damaged layout file cannot make the dialog
// manager read past it. The main window takes no menu and no window class
// of its own: a template that names either is refused too.

#include <cstddef>

bool DialogTemplateFits(const void* data, size_t size);
