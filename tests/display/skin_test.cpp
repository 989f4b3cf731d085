#include <cstring>
#include <string>
#include <vector>

#include "display/commands.h"
#include "display/imageload.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "display/skin.h"
#include "support/display_fixture.h"

namespace {

const COLORREF kSkinColour = RGB(200, 40, 90);
const COLORREF kCornerColour = RGB(10, 220, 30);

// Every byte of a surface, 32 bits a pixel, top row first.
std::vector<unsigned char> SurfacePixels(const WINMEMDC& surface)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), surface.width, -surface.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<unsigned char> out(static_cast<size_t>(surface.width) * surface.height * 4);
    if (GetDIBits(surface.dc.Get(), surface.bitmap.Get(), 0, surface.height, out.data(), &info,
                  DIB_RGB_COLORS) != surface.height)
        out.clear();
    return out;
}

// A 24-bit Windows bitmap of one colour, with another colour in its top-left pixel.
void WriteBitmap(const std::string& path, int width, int height, COLORREF fill, COLORREF corner)
{
    WriteBitmapFile(path, width, height,
                    [&](int x, int y) { return (x == 0 && y == 0) ? corner : fill; });
}

class SkinTest : public DisplayTest {
protected:
    void UseSkin(const std::string& path)
    {
        lstrcpynA(App().skin.fileName, path.c_str(), kPathSize);
        App().skin.enable = 1;
    }
    COLORREF BackBufferPixel(int x, int y)
    {
        return GetPixel(App().skinState.backBuffer.dc.Get(), x, y);
    }
    // A point of the panel that no text or frame covers.
    POINT Background()
    {
        const RECT& c = App().skinState.client;
        return POINT{c.right - 2, c.bottom - 2};
    }
};

TEST_F(SkinTest, BitmapSkinIsStretchedBehindThePanels)
{
    std::string path = dir.File("skin.bmp");
    WriteBitmap(path, 8, 6, kSkinColour, kCornerColour);
    UseSkin(path);
    ASSERT_TRUE(Open());
    EXPECT_EQ(1, App().skinState.loaded);
    EXPECT_EQ(1, App().skin.enable);
    POINT p = Background();
    EXPECT_EQ(kSkinColour, BackBufferPixel(p.x, p.y));

    SendMessageA(window, WM_COMMAND, ID_SKIN, 0);  // off: the background colour again
    EXPECT_EQ(0, App().skin.enable);
    EXPECT_EQ(App().colors.slot[kColorBack].colour, BackBufferPixel(p.x, p.y));
}

TEST_F(SkinTest, UndecodableOrMissingSkinsTurnTheSkinOff)
{
    std::string fake = dir.File("fake.bmp");
    WriteWholeFile(fake, "not an image at all");
    UseSkin(fake);
    ASSERT_TRUE(Open());
    EXPECT_EQ(0, App().skinState.loaded);
    EXPECT_EQ(0, App().skin.enable);
    EXPECT_TRUE(io.Messages().empty());
    DestroyWindow(window);

    UseSkin(dir.File("absent.bmp"));
    window = CreateMainWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(0, App().skin.enable);
}

TEST_F(SkinTest, ADroppedBitmapBecomesTheSkinAndIsSwitchedOn)
{
    ASSERT_TRUE(Open());
    EXPECT_EQ(0, App().skin.enable);
    std::string path = dir.File("DROPPED.BMP");
    WriteBitmap(path, 4, 4, kSkinColour, kSkinColour);
    EXPECT_EQ(1, Proc(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(path)), 0));
    EXPECT_EQ(1, App().skinState.loaded);
    EXPECT_EQ(1, App().skin.enable);
    POINT p = Background();
    EXPECT_EQ(kSkinColour, BackBufferPixel(p.x, p.y));
}

// The window's skin surface exists only while the skin is shown, and is made
// from the picture read at the build when the skin is switched on, whatever
// became of its file since.
TEST_F(SkinTest, TheStretchedSkinIsKeptOnlyWhileShown)
{
    std::string path = dir.File("skin.bmp");
    WriteBitmap(path, 8, 6, kSkinColour, kCornerColour);
    UseSkin(path);
    App().skin.enable = 0;
    ASSERT_TRUE(Open());
    const SkinState& s = App().skinState;
    EXPECT_EQ(1, s.loaded);  // loaded, so the menu offers it, but not kept
    EXPECT_FALSE(s.surface.dc.Valid());
    const POINT p = Background();

    SendMessageA(window, WM_COMMAND, ID_SKIN, 0);
    EXPECT_TRUE(s.surface.dc.Valid());
    EXPECT_EQ(kSkinColour, BackBufferPixel(p.x, p.y));
    SendMessageA(window, WM_COMMAND, ID_SKIN, 0);
    EXPECT_FALSE(s.surface.dc.Valid());

    WriteBitmap(path, 8, 6, kCornerColour, kCornerColour);  // changed before it is switched on again
    for (int gone = 0; gone < 2; ++gone) {
        SendMessageA(window, WM_COMMAND, ID_SKIN, 0);
        EXPECT_EQ(1, App().skin.enable) << gone;
        EXPECT_EQ(kSkinColour, BackBufferPixel(p.x, p.y)) << gone;
        SendMessageA(window, WM_COMMAND, ID_SKIN, 0);
        DeleteFileA(path.c_str());  // then gone
    }
}

// True-colour bitmaps are held in their own format; stretched, they must give
// the pixels of the screen-format bitmap they used to become.
TEST_F(SkinTest, TrueColourBitmapsStretchToTheScreenFormatsPixels)
{
    std::string path = dir.File("pattern.bmp");
    WriteBitmapFile(path, 37, 23, [](int x, int y) { return RGB(x * 7, y * 11, (x * y) & 0xFF); });
    WINIMG image;
    ASSERT_TRUE(image.LoadImageFile(path.c_str()));
    EXPECT_EQ(24, image.info.bmBitsPixel);  // its own format, not the screen's
    BitmapOwner screenFormat(static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    MemoryDcOwner screenDc(CreateCompatibleDC(nullptr));
    SelectObject(screenDc.Get(), screenFormat.Get());
    const SIZE kSizes[] = {{37, 23}, {80, 50}, {20, 11}};
    for (const SIZE& size : kSizes) {
        std::vector<std::vector<unsigned char>> got;
        for (HDC source : {image.dc.Get(), screenDc.Get()}) {
            WINMEMDC surface;
            ASSERT_TRUE(surface.CreateSurface(nullptr, size.cx, size.cy));
            SetStretchBltMode(surface.dc.Get(), HALFTONE);
            StretchBlt(surface.dc.Get(), 0, 0, size.cx, size.cy, source, 0, 0, 37, 23, SRCCOPY);
            got.push_back(SurfacePixels(surface));
        }
        ASSERT_FALSE(got[1].empty());
        EXPECT_NE(0, got[1][size.cx * 4 * (size.cy / 2) + 4 * (size.cx / 2) + 1]);  // green: the row
        EXPECT_EQ(got[0], got[1]) << size.cx << " x " << size.cy;
    }
}

TEST_F(SkinTest, SignaturesDecideNotNames)
{
    std::string bitmapNamedPng = dir.File("really_a_bitmap.png");
    WriteBitmap(bitmapNamedPng, 2, 2, kSkinColour, kSkinColour);
    const unsigned char bm[] = {'B', 'M'};
    const unsigned char png[] = {0x89, 'P', 'N', 'G'};
    EXPECT_TRUE(FileHasSignature(bm, 2, bitmapNamedPng.c_str()));
    EXPECT_FALSE(FileHasSignature(png, 4, bitmapNamedPng.c_str()));
    EXPECT_FALSE(FileHasSignature(bm, 2, dir.File("absent").c_str()));
    WriteWholeFile(dir.File("short"), "B");
    EXPECT_FALSE(FileHasSignature(bm, 2, dir.File("short").c_str()));

    WINIMG image;
    EXPECT_TRUE(image.LoadImageFile(bitmapNamedPng.c_str()));
    EXPECT_EQ(2, image.info.bmWidth);
    WINBMP bitmap;
    EXPECT_TRUE(bitmap.LoadBitmapFile(bitmapNamedPng.c_str()));
    EXPECT_FALSE(bitmap.LoadBitmapFile(dir.File("absent.bmp").c_str()));
    EXPECT_FALSE(bitmap.bitmap.Valid());
}

COLORREF LayeredKey(HWND window, DWORD* flags)
{
    COLORREF key = 0;
    BYTE alpha = 0;
    GetLayeredWindowAttributes(window, &key, &alpha, flags);
    return key;
}

TEST_F(SkinTest, ColourKeysOfTheAutomaticAndColourMasks)
{
    std::string path = dir.File("skin.bmp");
    WriteBitmap(path, 8, 6, kSkinColour, kCornerColour);
    UseSkin(path);
    App().mask.color = RGB(1, 2, 3);
    ASSERT_TRUE(Open());
    DWORD flags = 0;

    SendMessageA(window, WM_COMMAND, ID_MASK_AUTO, 0);
    EXPECT_EQ(kCornerColour, LayeredKey(window, &flags));  // the stretched skin's pixel (0, 0)
    EXPECT_EQ(static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA), flags);

    App().skin.enable = 0;
    SendMessageA(window, WM_COMMAND, ID_MASK_AUTO, 0);
    EXPECT_EQ(App().colors.slot[kColorBack].colour, LayeredKey(window, &flags));

    SendMessageA(window, WM_COMMAND, ID_MASK_COLOR, 0);
    EXPECT_EQ(RGB(1, 2, 3), LayeredKey(window, &flags));

    SendMessageA(window, WM_COMMAND, ID_MASK_NONE, 0);
    LayeredKey(window, &flags);
    EXPECT_EQ(static_cast<DWORD>(LWA_ALPHA), flags);  // no colour key left
}

TEST_F(SkinTest, RoundMaskCoversTheClientAreaAndOtherModesNone)
{
    App().mask.mode = MASK_ROUND;
    App().mask.width = 20;
    App().mask.height = 20;
    ASSERT_TRUE(Open());
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(COMPLEXREGION, GetWindowRgn(window, region));
    const RECT& c = App().skinState.client;
    EXPECT_TRUE(PtInRegion(region, c.right / 2, c.bottom / 2));
    EXPECT_FALSE(PtInRegion(region, 0, 0));  // the rounded corner is cut away
    EXPECT_TRUE(PtInRegion(region, c.right - 1, c.bottom / 2));

    App().mask.mode = 7;
    ApplyWindowShape(window, window);
    EXPECT_EQ(ERROR, GetWindowRgn(window, region));
    DeleteObject(region);
}

TEST_F(SkinTest, ShadowsLieBeneathTheirText)
{
    AppState& app = App();
    app.colors.slot[kColorBack].colour = RGB(10, 20, 30);
    app.colors.slot[kColorValue].colour = RGB(250, 250, 0);
    app.colors.slot[kColorValue].shadow = 1;
    app.colors.slot[kColorValue].shadowColour = RGB(0, 0, 250);
    app.colors.shadowOffset = 2;
    ASSERT_TRUE(Open());
    auto count = [&](COLORREF colour) {
        RECT r;
        GetControlRect(window, ValueId(0), &r);
        int n = 0;
        for (int y = r.top; y < r.bottom + 3; ++y)
            for (int x = r.left; x < r.right + 3; ++x)
                n += BackBufferPixel(x, y) == colour;
        return n;
    };
    EXPECT_GT(count(RGB(0, 0, 250)), 0);
    EXPECT_GT(count(RGB(250, 250, 0)), 0);

    app.colors.shadowOffset = 0;  // the text covers its shadow entirely
    DrawPanels(window);
    EXPECT_EQ(0, count(RGB(0, 0, 250)));
    app.colors.slot[kColorValue].shadow = 0;
    app.colors.shadowOffset = 2;
    DrawPanels(window);
    EXPECT_EQ(0, count(RGB(0, 0, 250)));
}

}  // namespace
