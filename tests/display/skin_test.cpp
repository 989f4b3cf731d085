#include <cstring>
#include <string>
#include <vector>

#include "display/commands.h"
#include "display/imageload.h"
#include "display/panels.h"
#include "display/skin.h"
#include "display_fixture.h"

namespace {

const COLORREF kSkinColour = RGB(200, 40, 90);
const COLORREF kCornerColour = RGB(10, 220, 30);

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
