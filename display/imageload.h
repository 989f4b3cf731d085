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

// A PNG file as a DIB section, or none. Library errors, short files and
// oversized images all end the load without a bitmap and release everything.
HBITMAP LoadPngFile(const char* fileName);
// The decode of an opened reader; releases the library's structures.
HBITMAP PngToDib(png_structp decoder, png_infop image, png_infop end);
// libpng's read function over the file handle kept as the decoder's I/O pointer.
void PngReadCallback(png_structp decoder, png_bytep buffer, png_size_t count);
// libpng's row transform that widens 2-bit pixels to 4 bits, in place.
void ExpandTwoBitRow(png_structp decoder, png_row_infop row, png_bytep data);

// The bitmap of a picture the OLE loader decodes; the picture object, which
// owns that bitmap, is kept in the image.
HBITMAP LoadPictureFile(WINIMG* image, const char* fileName);
