#include "display/skin.h"

#include "app/appstate.h"

namespace {

const BYTE kOpaque = 255;  // the layered style serves the colour keys, not translucency

void StretchSkin(SkinState& s)
{
    HDC dc = s.surface.dc.Get();
    SetStretchBltMode(dc, s.image.info.bmBitsPixel > 2 ? HALFTONE : BLACKONWHITE);
    SetBrushOrgEx(dc, s.x, s.y, nullptr);
    StretchBlt(dc, s.x, s.y, s.width, s.height, s.image.dc.Get(), 0, 0, s.image.info.bmWidth,
               s.image.info.bmHeight, SRCCOPY);
}

void EnsureLayered(HWND window)
{
    LONG_PTR ex = GetWindowLongPtrA(window, GWL_EXSTYLE);
    if (!(ex & WS_EX_LAYERED))
        SetWindowLongPtrA(window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
}

void ApplyColorKey(HWND window, COLORREF key)
{
    if (!window)
        return;
    EnsureLayered(window);
    SetLayeredWindowAttributes(window, key, kOpaque, LWA_COLORKEY | LWA_ALPHA);
}

void ApplyRoundRegion(HWND window)
{
    AppState& app = App();
    const RECT& c = app.skinState.client;
    HRGN region = CreateRoundRectRgn(c.left, c.top, c.right + 1, c.bottom + 1, app.mask.width,
                                     app.mask.height);
    if (region && SetWindowRgn(window, region, TRUE))
        return;  // the window owns the region now
    if (region)
        DeleteObject(region);
    app.mask.mode = MASK_NONE;
}

COLORREF AutomaticKey()
{
    AppState& app = App();
    if (app.skin.enable)
        return GetPixel(app.skinState.surface.dc.Get(), 0, 0);
    return app.colors.slot[kColorBack].colour;
}

}  // namespace

bool BuildSkin(HWND window)
{
    AppState& app = App();
    SkinState& s = app.skinState;
    GetClientRect(window, &s.client);
    s.x = s.client.left;
    s.y = s.client.top;
    s.width = s.client.right - s.client.left;
    s.height = s.client.bottom - s.client.top;
    if (!s.backBuffer.CreateSurface(window, s.width, s.height))
        return false;
    s.loaded = 0;
    if (s.image.LoadImageFile(app.skin.fileName) && s.surface.CreateSurface(window, s.width, s.height)) {
        StretchSkin(s);
        s.loaded = 1;
        return true;
    }
    app.skin.enable = 0;
    return true;
}

void ApplyWindowShape(HWND window, HWND /*disableWindow*/)
{
    AppState& app = App();
    SetWindowRgn(window, nullptr, TRUE);
    if (window) {
        EnsureLayered(window);
        SetLayeredWindowAttributes(window, 0, kOpaque, LWA_ALPHA);
    }
    switch (app.mask.mode) {
    case MASK_ROUND:
        ApplyRoundRegion(window);
        break;
    case MASK_AUTO:
        ApplyColorKey(window, AutomaticKey());
        break;
    case MASK_COLOR:
        ApplyColorKey(window, app.mask.color);
        break;
    default:
        SetWindowRgn(window, nullptr, TRUE);
        break;
    }
}
