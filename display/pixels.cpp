#include "display/pixels.h"

#include <algorithm>
#include <cstdlib>

PixelTarget::PixelTarget(DWORD* pixels, int w, int h, const RECT& area) : bits(pixels), width(w), clip()
{
    const RECT surface = {0, 0, w, h};
    if (!pixels || !IntersectRect(&clip, &area, &surface))
        SetRectEmpty(&clip);
}

void PixelTarget::Line(POINT a, POINT b, DWORD pixel) const
{
    if (std::max(a.x, b.x) < clip.left || std::min(a.x, b.x) >= clip.right || std::max(a.y, b.y) < clip.top ||
        std::min(a.y, b.y) >= clip.bottom)
        return;
    const int dx = b.x - a.x, dy = b.y - a.y;
    if (dx == 0) {  // most of a dense line: clipped once
        const int top = std::max<int>(dy > 0 ? a.y : b.y + 1, clip.top);
        const int bottom = std::min<int>(dy > 0 ? b.y : a.y + 1, clip.bottom);
        for (int y = top; y < bottom; ++y)
            bits[static_cast<size_t>(y) * width + a.x] = pixel;
        return;
    }
    // Bresenham's: one pixel for each step along the longer axis; on a tie
    // GDI takes the step along the shorter one only where it goes up or left.
    const bool xMajor = std::abs(dx) > std::abs(dy);
    const int major = xMajor ? std::abs(dx) : std::abs(dy), minor = xMajor ? std::abs(dy) : std::abs(dx);
    const int bias = (xMajor ? dy : dx) < 0;
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    int x = a.x, y = a.y, error = 2 * minor - major;
    for (int i = 0; i < major; ++i) {
        Put(x, y, pixel);
        const bool side = error + bias > 0;
        error += side ? 2 * (minor - major) : 2 * minor;
        if (xMajor)
            x += sx, y += side ? sy : 0;
        else
            y += sy, x += side ? sx : 0;
    }
}

DWORD PixelOf(COLORREF colour)
{
    return static_cast<DWORD>(GetRValue(colour)) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
}
