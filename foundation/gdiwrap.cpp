#include "foundation/gdiwrap.h"

#include <cstring>
#include <memory>
#include <new>

WINFONT::WINFONT() : lf()
{
    lf.lfWeight = FW_NORMAL;
    lstrcpyA(lf.lfFaceName, "System");
}

WINFONT::~WINFONT()
{
    Release();
}

int WINFONT::Create(const LOGFONTA& description)
{
    lf = description;
    font.Reset();
    font.Reset(CreateFontIndirectA(&lf));
    return font.Valid() ? 1 : 0;
}

void WINFONT::Release()
{
    font.Reset();
}

WINBRUSH::~WINBRUSH()
{
    Release();
}

int WINBRUSH::Create(COLORREF colour)
{
    brush.Reset();
    brush.Reset(CreateSolidBrush(colour));
    return brush.Valid() ? 1 : 0;
}

void WINBRUSH::Release()
{
    brush.Reset();
}

WINBMP::WINBMP() : info() {}

WINBMP::~WINBMP()
{
    Release();
}

void WINBMP::Release()
{
    dc.Reset();
    bitmap.Reset();
    info = BITMAP();
}

void WINBMP::SelectLoaded()
{
    SelectObject(dc.Get(), bitmap.Get());
    info = BITMAP();
    GetObjectA(bitmap.Get(), sizeof info, &info);
}

bool WINBMP::Adopt(HBITMAP loaded)
{
    bitmap.Reset(loaded);
    if (!bitmap.Valid())
        return false;
    SelectLoaded();
    return true;
}

WINIMG::~WINIMG()
{
    Release();
}

void WINIMG::Release()
{
    dc.Reset();
    if (picture.Valid()) {
        // The picture owns the bitmap: it goes with the picture, never on its own.
        bitmap.Detach();
        picture.Reset();
    }
    bitmap.Reset();
    info = BITMAP();
}

bool WINIMGFILE::Read(const char* fileName)
{
    // The largest pixels the bitmap loader takes; no picture file is larger.
    const LONGLONG kLargestFile = 0x7FFFFFFF;
    Release();
    FileOwner file(CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length = {};
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &length) || length.QuadPart <= 0 ||
        length.QuadPart > kLargestFile)
        return false;
    const DWORD bytes = static_cast<DWORD>(length.QuadPart);
    GlobalOwner read(GlobalAlloc(GMEM_MOVEABLE, bytes));
    void* data = read.Valid() ? GlobalLock(read.Get()) : nullptr;
    if (!data)
        return false;
    DWORD got = 0;
    const bool whole = ReadFile(file.Get(), data, bytes, &got, nullptr) && got == bytes;
    GlobalUnlock(read.Get());
    if (!whole)
        return false;
    block.Reset(read.Detach());
    size = bytes;
    return true;
}

void WINIMGFILE::Release()
{
    block.Reset();
    size = 0;
}

WINMEMDC::WINMEMDC() : width(0), height(0) {}

WINMEMDC::~WINMEMDC()
{
    Release();
}

BITMAPINFO TopDownBitmapInfo(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

HRGN RegionOfRects(const RECT* rects, int count)
{
    if (count <= 0)
        return nullptr;
    const size_t size = sizeof(RGNDATAHEADER) + count * sizeof(RECT);
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[size]);
    if (!bytes)
        return nullptr;
    RGNDATA* data = reinterpret_cast<RGNDATA*>(bytes.get());
    std::memset(&data->rdh, 0, sizeof data->rdh);
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    RECT* kept = reinterpret_cast<RECT*>(data->Buffer);
    DWORD n = 0;
    for (int i = 0; i < count; ++i)
        if (!IsRectEmpty(&rects[i])) {
            kept[n++] = rects[i];
            UnionRect(&data->rdh.rcBound, &data->rdh.rcBound, &rects[i]);
        }
    if (n == 0)
        return nullptr;
    data->rdh.nCount = n;
    data->rdh.nRgnSize = n * sizeof(RECT);
    return ExtCreateRegion(nullptr, static_cast<DWORD>(sizeof(RGNDATAHEADER) + n * sizeof(RECT)), data);
}

bool WINMEMDC::CreateSurface(HWND window, int w, int h)
{
    Release();
    HDC windowDc = GetDC(window);
    if (!windowDc)
        return false;
    dc.Reset(CreateCompatibleDC(windowDc));
    bitmap.Reset(CreateCompatibleBitmap(windowDc, w, h));
    bool ok = dc.Valid() && bitmap.Valid();
    if (ok) {
        SelectObject(dc.Get(), bitmap.Get());
        width = w;
        height = h;
    }
    ReleaseDC(window, windowDc);
    return ok;
}

bool WINMEMDC::CreatePixelSurface(HWND window, int w, int h)
{
    Release();
    HDC windowDc = GetDC(window);
    if (!windowDc)
        return false;
    const bool ok = CreatePixelSurfaceLike(windowDc, w, h);
    ReleaseDC(window, windowDc);
    return ok;
}

bool WINMEMDC::CreatePixelSurfaceLike(HDC like, int w, int h)
{
    Release();
    const BITMAPINFO info = TopDownBitmapInfo(w, h);
    void* pixels = nullptr;
    dc.Reset(CreateCompatibleDC(like));
    bitmap.Reset(CreateDIBSection(like, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    const bool ok = dc.Valid() && bitmap.Valid() && pixels;
    if (ok) {
        SelectObject(dc.Get(), bitmap.Get());
        width = w;
        height = h;
        bits = static_cast<DWORD*>(pixels);
    }
    return ok;
}

void WINMEMDC::Release()
{
    dc.Reset();
    bitmap.Reset();
    bits = nullptr;
}

HICON LoadSizedIcon(HINSTANCE module, int id, int metricX, int metricY)
{
    return static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY),
                                         LR_DEFAULTCOLOR));
}

CTOOLTIP::CTOOLTIP() : instance(nullptr), titleIcon(0), active(0), tool() {}

CTOOLTIP::~CTOOLTIP()
{
    Destroy();
}

int CTOOLTIP::CreateTip(DWORD style, const RECT& rect, HINSTANCE module, HWND owner, UINT flags)
{
    if (window.Valid())
        return 0;
    window.Reset(CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, style,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                                 nullptr, module, nullptr));
    if (!window.Valid())
        return 0;
    tool = TOOLINFOA();
    tool.cbSize = TTTOOLINFOA_V2_SIZE;  // the first layout that carries lParam
    tool.uFlags = flags;
    tool.hwnd = owner;
    tool.uId = 0;
    tool.rect = rect;
    tool.hinst = module;
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(window.Get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    instance = module;
    titleSent = false;
    coloursSent = false;
    return 1;
}

void CTOOLTIP::SetTitle(const char* title, INT_PTR icon)
{
    if (!window.Valid() || !title || std::strlen(title) >= kTitleLimit)
        return;
    if (icon != -1 || titleIcon == 0)
        titleIcon = icon;
    if (titleSent && titleIcon == sentIcon && std::strcmp(title, sentTitle) == 0)
        return;
    SendMessageA(window.Get(), TTM_SETTITLEA, static_cast<WPARAM>(titleIcon),
                 reinterpret_cast<LPARAM>(title));
    titleSent = true;
    sentIcon = titleIcon;
    lstrcpynA(sentTitle, title, kTitleLimit);
}

void CTOOLTIP::AdoptTitleIcon(HICON icon)
{
    ownedIcon.Reset(icon);
    titleIcon = reinterpret_cast<INT_PTR>(icon);
}

void CTOOLTIP::SetColours(COLORREF text, COLORREF back)
{
    if (!window.Valid() || (coloursSent && text == textColour && back == backColour))
        return;
    SendMessageA(window.Get(), TTM_SETTIPTEXTCOLOR, text, 0);
    SendMessageA(window.Get(), TTM_SETTIPBKCOLOR, back, 0);
    coloursSent = true;
    textColour = text;
    backColour = back;
}

void CTOOLTIP::Destroy()
{
    if (window.Valid()) {
        SendMessageA(window.Get(), TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        window.Reset();
    }
    ownedIcon.Reset();
    instance = nullptr;
    titleIcon = 0;
    active = 0;
    titleSent = false;
    coloursSent = false;
}

void DisplayColorSet::CopyValuesFrom(const DisplayColorSet& other)
{
    shadowOffset = other.shadowOffset;
    for (int i = 0; i < kColorElements; ++i) {
        slot[i].colour = other.slot[i].colour;
        slot[i].shadow = other.slot[i].shadow;
        slot[i].shadowColour = other.slot[i].shadowColour;
    }
}

int DisplayColorSet::CreateBrushes()
{
    for (ColorSlot& s : slot)
        if (!s.brush.Create(s.colour))
            return 0;
    for (ColorSlot& s : slot)
        if (!s.shadowBrush.Create(s.shadowColour))
            return 0;
    return 1;
}

void DisplayColorSet::ReleaseBrushes()
{
    for (ColorSlot& s : slot)
        s.brush.Release();
    for (ColorSlot& s : slot)
        s.shadowBrush.Release();
}

void DisplayFontSet::CopyValuesFrom(const DisplayFontSet& other)
{
    for (int i = 0; i < kFontElements; ++i)
        slot[i].configured = other.slot[i].configured;
}

int DisplayFontSet::CreateFonts()
{
    for (FontSlot& s : slot)
        if (!s.font.Create(s.configured))
            return 0;
    return 1;
}

void DisplayFontSet::ReleaseFonts()
{
    for (FontSlot& s : slot)
        s.font.Release();
}
