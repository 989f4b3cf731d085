#pragma once
// Checks that a dialog template (standard or extended form) lies wholly
// within its resource, so that a damaged layout file cannot make the dialog
// manager read past it.

#include <cstddef>

bool DialogTemplateFits(const void* data, size_t size);
