#pragma once
// Lines put straight into a 32-bit surface's pixels (top row first), for
// drawings of many thousand segments, where GDI's clipping and drawing of
// each costs more than the drawing: the pixels GDI's one-pixel solid pen
// would give, for coordinates within +-2^27 (the range GDI takes).

#include <windows.h>

#include <cstddef>

class PixelTarget {
public:
    // bits: width x height pixels (GdiFlush first where GDI drew there);
    // nothing is drawn outside clip, nor outside the surface.
    PixelTarget(DWORD* bits, int width, int height, const RECT& clip);

    void Put(int x, int y, DWORD pixel) const
    {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            bits[static_cast<size_t>(y) * width + x] = pixel;
    }
    // From a up to b, b itself left out, as LineTo draws it.
    void Line(POINT a, POINT b, DWORD pixel) const;

private:
    DWORD* bits;
    int width;
    RECT clip;  // within the surface
};

// A colour as such a surface holds it.
DWORD PixelOf(COLORREF colour);
