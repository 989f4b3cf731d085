#pragma once
// The window region of the bitmap mask: built from a black-and-white mask
// bitmap on a worker thread and cached beside the mask in a ".RGN" file that
// holds the region's data exactly as the platform reports it.

#include <windows.h>

#include <vector>

#include "app/appstate.h"
#include "foundation/gdiwrap.h"

// What ApplyWindowShape hands to the worker; the worker copies it before it
// signals done, so the block may live on the caller's stack.
struct RegionJob {
    HANDLE done;
    HWND window;
    LONG left, top, right, bottom;
    char maskFile[kPathSize];
    char regionFile[kPathSize];
};

DWORD WINAPI RegionWorker(LPVOID job);

// Loads the mask, builds the region of its stretched pixels, caches it in the
// region file and gives it to the window. True when the window accepted it.
bool BuildBitmapRegion(const RECT& rect, HWND window, const char* maskFile, const char* regionFile);

// The mask bitmap file stretched black-on-white onto a screen-compatible
// surface of width x height. Windows bitmap files only.
bool StretchMaskFile(const char* maskFile, int width, int height, WINMEMDC* surface);

// Every pixel of a width x height surface that is not pure black, plus the
// column x = width and the row y = height of the starting rectangle, as the
// rectangles of the platform's band form (top to bottom, left to right).
std::vector<RECT> MaskRectangles(const DWORD* pixels, int width, int height);
// The region of the surface's pixels (a screen-compatible bitmap selected
// into dc), or none.
HRGN MaskRegion(HDC dc, HBITMAP bitmap, int width, int height);
// One region from rectangles in band form, built in small pieces joined in a
// balanced tree: the platform joins the rectangles of one call one at a time.
HRGN RegionFromRectangles(const std::vector<RECT>& rects);

// The region a file holds, or none when it is missing, empty, short,
// malformed or larger than maxBytes.
HRGN LoadRegionFile(const char* fileName, ULONGLONG maxBytes);
// The most bytes a region of a window of this size can take.
ULONGLONG RegionFileLimit(int width, int height);
// maskFile + ".RGN" into regionFile (kPathSize); false when it does not fit.
bool RegionFileName(const char* maskFile, char* regionFile);
