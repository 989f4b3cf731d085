#pragma once
// The decoders behind the image loader (display/imageload.h): Windows
// bitmaps checked before the platform's loader sees them, and PNG through
// libpng. Each gives a bitmap or none.

#include <windows.h>

#include <cstddef>

// An existing file, opened for reading: others may read it meanwhile, but
// not write, rename or delete it.
HANDLE OpenForReading(const char* fileName);

// A skin, preview or mask from a Windows bitmap file, or none for a broken
// one. With asSection, a plain true-colour file stays in its own format, in
// the process's own memory; every other file becomes a device-dependent
// bitmap in the screen's format.
HBITMAP LoadBitmapImage(const char* fileName, bool asSection);
// A Windows bitmap file held in memory, made as LoadBitmapImage makes it
// from the file.
HBITMAP BitmapFromBytes(const unsigned char* file, size_t size);

// A PNG file or PNG bytes as a bottom-up DIB section. Library errors, short
// files and oversized images end the decode without a bitmap.
HBITMAP LoadPngFile(const char* fileName);
HBITMAP PngFromBytes(const unsigned char* bytes, size_t size);
