#pragma once
// The bitmap mask's region as first designed, kept as the reference for the
// one-pass method: the starting rectangle (width + 1) x (height + 1) minus
// one 1 x 1 region for every pure black pixel that GetPixel reads.

#include <windows.h>

// The region of the stretched mask in dc, or null when building it takes
// longer than limitMs.
HRGN PerPixelRegion(HDC dc, int width, int height, DWORD limitMs = INFINITE);
