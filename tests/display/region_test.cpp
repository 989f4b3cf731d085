// The bitmap mask: the one-pass region against the per-pixel reference, the
// region file, and mask mode 4 on the real window with its worker and
// message window.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "display/msgwindow.h"
#include "display/commands.h"
#include "display/region.h"
#include "display/seams.h"
#include "display/skin.h"
#include "support/display_fixture.h"
#include "support/pump.h"
#include "support/regionref.h"

namespace {

std::string RegionBytes(HRGN region)
{
    std::string bytes(GetRegionData(region, 0, nullptr), '\0');
    GetRegionData(region, static_cast<DWORD>(bytes.size()), reinterpret_cast<RGNDATA*>(&bytes[0]));
    return bytes;
}

// The reference region of the mask file, stretched as the program stretches it.
std::string ReferenceRegion(const std::string& mask, int w, int h)
{
    WINMEMDC surface;
    if (!StretchMaskFile(mask.c_str(), w, h, &surface))
        return "";
    HRGN region = PerPixelRegion(surface.dc.Get(), w, h);
    std::string bytes = RegionBytes(region);
    DeleteObject(region);
    return bytes;
}

std::string WindowRegion(HWND window)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    std::string bytes = GetWindowRgn(window, region) == ERROR ? "" : RegionBytes(region);
    DeleteObject(region);
    return bytes;
}

class RegionTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        starts = 0;
        SetDisplayCalls({});
    }
    void TearDown() override
    {
        SetDisplayCalls({});
        DisplayTest::TearDown();
    }
    // A plain top-level window of the given client size to take regions.
    HWND Target(int w, int h)
    {
        target = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
        return target;
    }
    void UseMask(const std::string& mask)
    {
        lstrcpynA(App().mask.fileName, mask.c_str(), kPathSize);
        App().mask.mode = MASK_BITMAP;
    }
    static HANDLE CountingStart(LPTHREAD_START_ROUTINE procedure, void* parameter)
    {
        ++starts;
        return CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
    }
    static int starts;
    HWND target = nullptr;
};
int RegionTest::starts;

TEST_F(RegionTest, OnePassRegionEqualsThePerPixelOneByteForByte)
{
    const int w = 36, h = 29;
    std::srand(20261208);
    const struct {
        const char* name;
        int scale;  // mask size as a multiple of the window's
        COLORREF (*pixel)(int x, int y);
        POINT kept, cut;  // a pixel that must stay, one that must go ({-1, -1}: none)
    } kMasks[] = {
        {"noise", 1, [](int, int) { return std::rand() % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0); },
         {-1, -1}, {-1, -1}},
        {"shape", 1, [](int x, int y) {
             return (x - 18) * (x - 18) + 2 * (y - 14) * (y - 14) < 250 ? RGB(255, 255, 255) : RGB(0, 0, 0);
         }, {18, 14}, {0, 0}},
        {"white", 1, [](int, int) { return RGB(255, 255, 255); }, {0, 0}, {-1, -1}},
        {"black", 1, [](int, int) { return RGB(0, 0, 0); }, {w, h}, {0, 0}},
        {"one black pixel", 1, [](int x, int y) { return x == 5 && y == 7 ? RGB(0, 0, 0) : RGB(255, 255, 255); },
         {6, 7}, {5, 7}},
        {"dark grey stays", 1, [](int x, int y) { return x == 3 && y == 3 ? RGB(40, 40, 40) : RGB(0, 0, 0); },
         {3, 3}, {4, 3}},
        {"thin line, mask twice as large", 2,
         [](int, int y) { return y == 21 ? RGB(0, 0, 0) : RGB(255, 255, 255); }, {5, 9}, {5, 10}},
    };
    Target(w, h);
    for (const auto& m : kMasks) {
        SCOPED_TRACE(m.name);
        const std::string mask = dir.File("mask.bmp"), cache = dir.File("mask.bmp.RGN");
        WriteBitmapFile(mask, w * m.scale, h * m.scale, m.pixel);
        const std::string reference = ReferenceRegion(mask, w, h);
        ASSERT_TRUE(BuildBitmapRegion(RECT{0, 0, w, h}, target, mask.c_str(), cache.c_str()));
        EXPECT_EQ(reference, ReadWholeFile(cache));
        EXPECT_EQ(reference, WindowRegion(target));
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        GetWindowRgn(target, region);
        if (m.kept.x >= 0) {
            EXPECT_TRUE(PtInRegion(region, m.kept.x, m.kept.y));
        }
        if (m.cut.x >= 0) {
            EXPECT_FALSE(PtInRegion(region, m.cut.x, m.cut.y));
        }
        DeleteObject(region);
    }
    DestroyWindow(target);
}

TEST_F(RegionTest, RegionFilesOfTheSmallestWindow)
{
    Target(2, 2);
    const std::string mask = dir.File("m.bmp"), cache = dir.File("m.bmp.RGN");
    const std::string png = TestDataFile("png\\basn2c08.png");
    WriteBitmapFile(mask, 2, 2, [](int, int) { return RGB(255, 255, 255); });
    ASSERT_TRUE(BuildBitmapRegion(RECT{0, 0, 2, 2}, target, mask.c_str(), cache.c_str()));
    const LONG white[] = {32, 1, 1, 16, 0, 0, 3, 3, 0, 0, 3, 3};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(white), sizeof white), ReadWholeFile(cache));

    WriteBitmapFile(mask, 2, 2, [](int, int) { return RGB(0, 0, 0); });
    ASSERT_TRUE(BuildBitmapRegion(RECT{0, 0, 2, 2}, target, mask.c_str(), cache.c_str()));
    const LONG black[] = {32, 1, 2, 32, 0, 0, 3, 3, 2, 0, 3, 2, 0, 2, 3, 3};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(black), sizeof black), ReadWholeFile(cache));

    EXPECT_FALSE(BuildBitmapRegion(RECT{0, 0, 2, 2}, target, png.c_str(), cache.c_str()));
    // Files no real region of this window can be: larger than its 3 x 3
    // pixels allow although well formed, cut, with a rectangle whose right
    // lies left of its left.
    std::vector<LONG> large = {32, 1, 10, 160, 0, 0, 1, 10};
    for (LONG y = 0; y < 10; ++y)
        large.insert(large.end(), {0, y, 1, y + 1});
    std::string cut = ReadWholeFile(cache).substr(0, 40), inverted = ReadWholeFile(cache);
    std::swap(inverted[32], inverted[40]);
    const std::string tooLarge(reinterpret_cast<const char*>(large.data()), large.size() * sizeof(LONG));
    WriteWholeFile(cache, tooLarge);
    EXPECT_NE(nullptr, LoadRegionFile(cache.c_str(), RegionFileLimit(20, 20)));  // fine for a larger window
    for (const std::string& bad : {tooLarge, cut, inverted}) {
        WriteWholeFile(cache, bad);
        EXPECT_EQ(nullptr, LoadRegionFile(cache.c_str(), RegionFileLimit(2, 2)));
    }
    DestroyWindow(target);
}

// A list in band form comes back from the platform unchanged, also when it
// is long enough to be built on two threads.
TEST(RegionBuilding, ALongListInBandFormComesBackAsItWent)
{
    const int w = 800, h = 400;
    std::vector<DWORD> noise(w * h);
    std::srand(7);
    for (DWORD& p : noise)
        p = std::rand() % 2 ? 0xFFFFFF : 0;
    const std::vector<RECT> rects = MaskRectangles(noise.data(), w, h);
    ASSERT_GT(rects.size(), 70000u);
    HRGN region = RegionFromRectangles(rects);
    const std::string bytes = RegionBytes(region);
    DeleteObject(region);
    ASSERT_EQ(32 + 16 * rects.size(), bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data() + 32, rects.data(), 16 * rects.size()));
}

TEST(RegionBuilding, TheRegionFileNameFitsOrIsRefused)
{
    char name[kPathSize];
    for (size_t length : {1019u, 1020u}) {
        const std::string mask(length, 'm');
        EXPECT_EQ(length == 1019, RegionFileName(mask.c_str(), name)) << length;
    }
    EXPECT_EQ(std::string(1019, 'm') + ".RGN", name);
}

TEST_F(RegionTest, ModeFourTakesTheCacheOrGeneratesAndRewritesIt)
{
    SetDisplayCalls(DisplayCalls{CountingStart});
    const std::string mask = dir.File("VKM.BMP"), cache = mask + ".RGN";
    UseMask(mask);  // no mask file yet: only the cache can shape the window
    const LONG cached[] = {32, 1, 1, 16, 0, 0, 10, 10, 0, 0, 10, 10};
    WriteWholeFile(cache, std::string(reinterpret_cast<const char*>(cached), sizeof cached));
    ASSERT_TRUE(Open());
    EXPECT_EQ(ReadWholeFile(cache), WindowRegion(window));
    EXPECT_EQ(0, starts);
    EXPECT_TRUE(io.Messages().empty());

    WriteBitmapFile(mask, 8, 8, [](int, int) { return RGB(255, 255, 255); });
    for (const std::string& stale : {std::string(), std::string("no region at all")}) {
        WriteWholeFile(cache, stale);
        ApplyWindowShape(window, window);
        EXPECT_EQ(static_cast<unsigned>(MASK_BITMAP), App().mask.mode);
        EXPECT_EQ(WindowRegion(window), ReadWholeFile(cache));
        EXPECT_EQ(48u, ReadWholeFile(cache).size());  // white: one rectangle
        EXPECT_TRUE(IsWindowEnabled(window));
    }
    EXPECT_EQ(2, starts);
    EXPECT_TRUE(io.Messages().empty());
}

TEST_F(RegionTest, FailedGenerationsShowTheErrorAndTurnTheMaskOff)
{
    ASSERT_TRUE(Open());
    const std::string absent = dir.File("absent.bmp");
    const std::string tooLong(kPathSize - 3, 'm');
    const struct {
        std::string mask;
        ThreadStarter starter;  // null: the real one
        size_t messages;  // the worker's report and the caller's own
    } kCases[] = {
        {absent, nullptr, 2},
        {absent, [](LPTHREAD_START_ROUTINE, void*) -> HANDLE { return nullptr; }, 1},
        {tooLong, nullptr, 1},
    };
    for (const auto& c : kCases) {
        io.Clear();
        SetDisplayCalls(DisplayCalls{c.starter ? c.starter : StartThread});
        UseMask(c.mask);
        ApplyWindowShape(window, window);
        PumpMessages(50);
        EXPECT_EQ(static_cast<unsigned>(MASK_NONE), App().mask.mode);
        ASSERT_EQ(c.messages, io.Messages().size());
        EXPECT_EQ(kMaskError, io.Messages()[0].text);
        EXPECT_TRUE(IsWindowEnabled(window));
        EXPECT_EQ(nullptr, MessageWindow());
    }
}

DWORD WINAPI ApplyShapeOf(void* window)
{
    ApplyWindowShape(static_cast<HWND>(window), nullptr);
    return 0;
}

// From another thread (as the settings dialog applies), with a worker that
// is done before the message window opens: the window must not stay open.
TEST_F(RegionTest, AWorkerDoneBeforeTheMessageWindowOpensStillEndsIt)
{
    ASSERT_TRUE(Open());
    const std::string mask = dir.File("late.bmp");
    WriteBitmapFile(mask, 8, 8, [](int, int) { return RGB(255, 255, 255); });
    UseMask(mask);
    SetDisplayCalls(DisplayCalls{StartAndFinish});  // the display thread handles the report meanwhile
    HANDLE applier = CreateThread(nullptr, 0, ApplyShapeOf, window, 0, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(applier, 0) == WAIT_OBJECT_0; }, 10000));
    CloseHandle(applier);
    EXPECT_EQ(static_cast<unsigned>(MASK_BITMAP), App().mask.mode);
    EXPECT_NE("", WindowRegion(window));
    EXPECT_TRUE(io.Messages().empty());
}

}  // namespace
