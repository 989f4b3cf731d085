#include "support/regionref.h"

HRGN PerPixelRegion(HDC dc, int width, int height, DWORD limitMs)
{
    const DWORD start = GetTickCount();
    HRGN region = CreateRectRgn(0, 0, width + 1, height + 1);
    for (int y = 0; y < height; ++y) {
        if (limitMs != INFINITE && GetTickCount() - start > limitMs) {
            DeleteObject(region);
            return nullptr;
        }
        for (int x = 0; x < width; ++x) {
            if (GetPixel(dc, x, y) != 0)
                continue;
            HRGN pixel = CreateRectRgn(x, y, x + 1, y + 1);
            CombineRgn(region, region, pixel, RGN_DIFF);
            DeleteObject(pixel);
        }
    }
    return region;
}
