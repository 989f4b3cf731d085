#include "display/pixels.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Along x, the step to the lesser minor coordinate is taken on a tie where
// the line goes up; along y, where it goes left (and straight down).
int TieBias(bool xMajor, int dx, int dy)
{
    return xMajor ? dy <= 0 : (dy > 0 && dx <= 0) || (dy <= 0 && dx < 0);
}

}  // namespace

void PixelTarget::Line(POINT a, POINT b, DWORD pixel) const
{
    const int dx = b.x - a.x, dy = b.y - a.y;
    if (dx == 0) {  // most of a dense line: clipped once
        if (a.x < clip.left || a.x >= clip.right)
            return;
        const int top = std::max<int>(dy > 0 ? a.y : b.y + 1, clip.top);
        const int bottom = std::min<int>(dy > 0 ? b.y : a.y + 1, clip.bottom);
        for (int y = top; y < bottom; ++y)
            bits[static_cast<size_t>(y) * width + a.x] = pixel;
        return;
    }
    // Bresenham's: one pixel for each step along the longer axis.
    const bool xMajor = std::abs(dx) > std::abs(dy);
    const int major = xMajor ? std::abs(dx) : std::abs(dy), minor = xMajor ? std::abs(dy) : std::abs(dx);
    const int bias = TieBias(xMajor, dx, dy);
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
