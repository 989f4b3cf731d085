#pragma once
// Lines put straight into a 32-bit surface's pixels (top row first), for
// drawings of many thousand points, where a GDI call for each costs more
// than the drawing: the pixels GDI's one-pixel solid pen would give.

#include <windows.h>

#include <cstddef>

struct PixelTarget {
    DWORD* bits;  // GdiFlush before, when GDI drew there
    int width;    // pixels a row
    RECT clip;    // nothing is drawn outside it; within the surface

    void Put(int x, int y, DWORD pixel) const
    {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            bits[static_cast<size_t>(y) * width + x] = pixel;
    }
    // From a up to b, b itself left out, as LineTo draws it.
    void Line(POINT a, POINT b, DWORD pixel) const;
};

// A colour as such a surface holds it.
DWORD PixelOf(COLORREF colour);
