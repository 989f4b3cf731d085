#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <olectl.h>

#include <cstring>
#include <string>

#include "foundation/gdiwrap.h"

namespace {

bool Alive(HGDIOBJ object)
{
    return GetObjectType(object) != 0;
}

LOGFONTA ArialBold()
{
    LOGFONTA lf = {};
    lf.lfHeight = -19;
    lf.lfWeight = FW_BOLD;
    std::strcpy(lf.lfFaceName, "Arial");
    return lf;
}

TEST(DrawingWrappers, StartEmpty)
{
    WINFONT font;
    EXPECT_EQ(nullptr, font.Handle());
    EXPECT_EQ(400, font.lf.lfWeight);
    EXPECT_STREQ("System", font.lf.lfFaceName);
    EXPECT_EQ(0, font.lf.lfHeight);

    WINBRUSH brush;
    EXPECT_EQ(nullptr, brush.Handle());

    WINIMG image;
    EXPECT_FALSE(image.dc.Valid());
    EXPECT_FALSE(image.bitmap.Valid());
    EXPECT_FALSE(image.picture.Valid());
    EXPECT_EQ(0, image.info.bmWidth);

    WINMEMDC surface;
    EXPECT_FALSE(surface.dc.Valid());
    EXPECT_FALSE(surface.bitmap.Valid());
    EXPECT_EQ(0, surface.width);
    EXPECT_EQ(0, surface.height);

    CTOOLTIP tip;
    EXPECT_EQ(nullptr, tip.Window());
    EXPECT_EQ(nullptr, tip.instance);
    EXPECT_EQ(0, tip.titleIcon);
    EXPECT_EQ(0, tip.active);
}

// A second release must not delete an object that reuses the released handle.
TEST(DrawingWrappers, ReleasingTwiceFreesOnce)
{
    WINBRUSH brush;
    ASSERT_EQ(1, brush.Create(RGB(1, 2, 3)));
    HBRUSH first = brush.Handle();
    brush.Release();
    EXPECT_EQ(nullptr, brush.Handle());
    EXPECT_FALSE(Alive(first));
    HBRUSH other = CreateSolidBrush(RGB(4, 5, 6));
    brush.Release();
    EXPECT_TRUE(Alive(other));
    DeleteObject(other);

    WINFONT font;
    ASSERT_EQ(1, font.Create(ArialBold()));
    HFONT made = font.Handle();
    EXPECT_EQ(-19, font.lf.lfHeight);
    ASSERT_EQ(1, font.Create(ArialBold()));  // refilling frees the previous font
    EXPECT_FALSE(Alive(made));
    made = font.Handle();
    font.Release();
    font.Release();
    EXPECT_FALSE(Alive(made));
    EXPECT_EQ(nullptr, font.Handle());
}

TEST(DrawingWrappers, SurfaceKeepsItsSizeAfterRelease)
{
    WINMEMDC surface;
    ASSERT_TRUE(surface.CreateSurface(nullptr, 30, 20));
    HDC dc = surface.dc.Get();
    HBITMAP bitmap = surface.bitmap.Get();
    EXPECT_EQ(bitmap, GetCurrentObject(dc, OBJ_BITMAP));
    ASSERT_TRUE(surface.CreateSurface(nullptr, 40, 10));  // a new surface replaces the old one
    EXPECT_FALSE(Alive(dc));
    EXPECT_FALSE(Alive(bitmap));
    dc = surface.dc.Get();
    bitmap = surface.bitmap.Get();
    surface.Release();
    surface.Release();
    EXPECT_FALSE(Alive(dc));
    EXPECT_FALSE(Alive(bitmap));
    EXPECT_EQ(40, surface.width);
    EXPECT_EQ(10, surface.height);
}

TEST(DrawingWrappers, BitmapReleaseFreesContextAndBitmap)
{
    WINBMP image;
    image.dc.Reset(CreateCompatibleDC(nullptr));
    image.bitmap.Reset(CreateBitmap(8, 8, 1, 32, nullptr));
    HDC dc = image.dc.Get();
    HBITMAP bitmap = image.bitmap.Get();
    SelectObject(dc, bitmap);
    GetObjectA(bitmap, sizeof image.info, &image.info);
    image.Release();
    EXPECT_FALSE(Alive(dc));
    EXPECT_FALSE(Alive(bitmap));
    EXPECT_EQ(0, image.info.bmWidth);
    image.Release();
}

// The picture object owns its bitmap: the image lets the picture go once and
// never deletes the bitmap itself.
TEST(DrawingWrappers, PictureImageReleasesThePictureOnceAndNotItsBitmap)
{
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    PICTDESC desc = {};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    IPicture* picture = nullptr;
    ASSERT_EQ(S_OK, OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(&picture)));
    picture->AddRef();  // the test's own reference outlives the image's

    {
        WINIMG image;
        image.dc.Reset(CreateCompatibleDC(nullptr));
        image.picture.Reset(picture);
        image.bitmap.Reset(bitmap);
        SelectObject(image.dc.Get(), bitmap);
        image.Release();
        EXPECT_FALSE(image.picture.Valid());
        EXPECT_FALSE(image.bitmap.Valid());
        EXPECT_FALSE(image.dc.Valid());
        EXPECT_TRUE(Alive(bitmap));
        image.Release();
    }
    EXPECT_TRUE(Alive(bitmap));
    EXPECT_EQ(0u, picture->Release());  // exactly one reference was given back
}

// What the tooltip window was last told to show as its title.
struct SentTitle {
    int count = 0;
    WPARAM icon = 0;
    std::string text;
} sentTitle;
WNDPROC tooltipProcedure = nullptr;

LRESULT CALLBACK RecordTitle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TTM_SETTITLEA) {
        ++sentTitle.count;
        sentTitle.icon = wParam;
        sentTitle.text = reinterpret_cast<const char*>(lParam);
    }
    return CallWindowProcA(tooltipProcedure, window, message, wParam, lParam);
}

class TooltipTest : public testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, owner);
        sentTitle = SentTitle();
    }
    void TearDown() override
    {
        tip.Destroy();
        DestroyWindow(owner);
    }

    bool Create()
    {
        RECT area = {0, 0, 50, 50};
        if (tip.CreateTip(TTS_ALWAYSTIP, area, GetModuleHandleA(nullptr), owner, TTF_SUBCLASS) != 1)
            return false;
        tooltipProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(tip.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitle)));
        return true;
    }

    HWND owner = nullptr;
    CTOOLTIP tip;
};

TEST_F(TooltipTest, CreatesOneWindowAndCanBeCreatedAgainAfterDestroy)
{
    ASSERT_TRUE(Create());
    HWND first = tip.Window();
    EXPECT_EQ(GetModuleHandleA(nullptr), tip.instance);
    EXPECT_EQ(static_cast<UINT>(TTTOOLINFOA_V2_SIZE), tip.tool.cbSize);
    EXPECT_EQ(sizeof(void*) == 4 ? 44u : 64u, tip.tool.cbSize);
    EXPECT_EQ(LPSTR_TEXTCALLBACKA, tip.tool.lpszText);
    EXPECT_EQ(1, SendMessageA(first, TTM_GETTOOLCOUNT, 0, 0));
    EXPECT_FALSE(Create());  // never a second window over a live one
    EXPECT_EQ(first, tip.Window());

    tip.SetTitle("t", 1);
    tip.Destroy();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(nullptr, tip.Window());
    EXPECT_EQ(nullptr, tip.instance);
    EXPECT_EQ(0, tip.titleIcon);
    tip.Destroy();
    EXPECT_TRUE(Create());
}

TEST_F(TooltipTest, TitleIconMinusOneKeepsTheStoredIcon)
{
    tip.SetTitle("no window", 1);
    EXPECT_EQ(0, tip.titleIcon);
    EXPECT_EQ(0, sentTitle.count);

    ASSERT_TRUE(Create());
    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    tip.SetTitle("Cores", reinterpret_cast<INT_PTR>(icon));
    EXPECT_EQ(reinterpret_cast<INT_PTR>(icon), tip.titleIcon);
    tip.SetTitle("Cores again", -1);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(icon), tip.titleIcon);
    EXPECT_EQ(reinterpret_cast<WPARAM>(icon), sentTitle.icon);
    EXPECT_EQ("Cores again", sentTitle.text);
    tip.SetTitle("Warning", 2);
    EXPECT_EQ(2, tip.titleIcon);
    EXPECT_EQ(2u, sentTitle.icon);
    EXPECT_EQ("Warning", sentTitle.text);
}

TEST_F(TooltipTest, TitlesOfAHundredCharactersAreRefused)
{
    ASSERT_TRUE(Create());
    tip.SetTitle("kept", 1);
    tip.SetTitle(std::string(100, 'a').c_str(), 3);
    EXPECT_EQ(1, tip.titleIcon);
    EXPECT_EQ(1, sentTitle.count);
    EXPECT_EQ("kept", sentTitle.text);
    tip.SetTitle(std::string(99, 'b').c_str(), 3);
    EXPECT_EQ(3, tip.titleIcon);
    EXPECT_EQ(2, sentTitle.count);
    EXPECT_EQ(std::string(99, 'b'), sentTitle.text);
}

}  // namespace
