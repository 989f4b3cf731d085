#pragma once
// Image files are recognised by their first bytes, never by their names: a
// Windows bitmap goes to the platform's loader, a PNG through libpng into a
// bottom-up DIB section, anything else to the OLE picture loader (JPEG, GIF).

#include <windows.h>

#include <png.h>

class WINIMG;

// Images larger than this on either side are refused, whatever the file says.
const unsigned int kMaxImageSide = 16384;

// True when the file's first length bytes equal the signature's.
bool FileHasSignature(const unsigned char* signature, unsigned int length, const char* fileName);

