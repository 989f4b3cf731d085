// The notification area: the icon's text and the Rows list as plain
// functions; the icons of a real window in Wine's shell.

#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "display/tray.h"
#include "display/trayicon.h"
#include "support/display_fixture.h"
#include "support/pump.h"

namespace {

TEST(TrayIconText, ThreeCharactersAndAPointAtMost)
{
    const struct {
        TrayUnit unit;
        bool has;
        double value;
        const char* text;
    } kCases[] = {
        {TrayUnit::Degrees, true, 45, "45"},      {TrayUnit::Degrees, true, 105.4, "105"},
        {TrayUnit::Degrees, true, 1500, "999"},   {TrayUnit::Degrees, true, -3, "-3"},
        {TrayUnit::Percent, true, 100, "100"},    {TrayUnit::Percent, true, 49.6, "50"},
        {TrayUnit::Rpm, true, 850, "850"},        {TrayUnit::Rpm, true, 999.6, "1.0k"},
        {TrayUnit::Rpm, true, 1234, "1.2k"},      {TrayUnit::Rpm, true, 9960, "10k"},
        {TrayUnit::Rpm, true, 12345, "12k"},      {TrayUnit::Rpm, true, 2e6, "999k"},
        {TrayUnit::Volts, true, 3.31, "3.3"},     {TrayUnit::Volts, true, 1.2, "1.2"},
        {TrayUnit::Volts, true, 12.05, "12"},     {TrayUnit::Volts, true, 9.96, "10"},
        {TrayUnit::Volts, true, -5.02, "-5.0"},   {TrayUnit::Volts, true, -12.1, "-12"},
        {TrayUnit::Volts, false, 3.3, "--"},      {TrayUnit::Rpm, false, 0, "--"},
    };
    for (const auto& c : kCases) {
        char text[kTrayTextSize];
        TrayIconText(c.unit, c.has, c.value, text);
        EXPECT_STREQ(c.text, text) << c.value;
    }
}

std::string Parsed(const char* rows)
{
    TraySource sources[kMaxTrayIcons];
    const int n = ParseTrayRows(rows, sources, kMaxTrayIcons);
    std::string out;
    for (int i = 0; i < n; ++i) {
        const TraySource& s = sources[i];
        out += (i ? " " : "") + std::string(s.kind == kTrayHottestCore ? "c" : s.kind == kTrayDuty ? "d" : "r") +
               (s.kind == kTrayHottestCore ? "" : std::to_string(s.row));
    }
    return out;
}

TEST(TrayRows, NamesRowsDutiesAndTheHottestCoreAndSkipsTheRest)
{
    EXPECT_EQ("r0", Parsed("0"));
    EXPECT_EQ("r0 r3 c", Parsed("0,3,c"));
    EXPECT_EQ("r15 d6 c", Parsed(" 15 , D6 ,C "));
    EXPECT_EQ("r7", Parsed("16,x,,d0,-1,003,c1,99999999999,7"));
    EXPECT_EQ("r0 r1 r2 r3 r4 r5 r6 r7", Parsed("0,1,2,3,4,5,6,7,8,9"));
    EXPECT_EQ("", Parsed(""));
}

// The RGB colours of an icon's picture, one per pixel.
std::vector<COLORREF> IconColours(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return {};
    BitmapOwner colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bm = {};
    GetObjectA(colour.Get(), sizeof bm, &bm);
    BITMAPINFO format = TopDownBitmapInfo(bm.bmWidth, bm.bmHeight);
    std::vector<DWORD> bits(bm.bmWidth * bm.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, colour.Get(), 0, bm.bmHeight, bits.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<COLORREF> out;
    for (DWORD p : bits)
        out.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return out;
}

int Count(const std::vector<COLORREF>& pixels, COLORREF colour)
{
    int n = 0;
    for (COLORREF p : pixels)
        n += p == colour;
    return n;
}

class TrayTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        App().debug = 1;
        App().colors.slot[kColorValue].colour = RGB(250, 250, 0);
    }
    void Enable(const char* rows)
    {
        App().tray.enable = 1;
        lstrcpynA(App().tray.rows, rows, kTrayRowsSize);
    }
    // Whether the shell holds the icon: changing nothing succeeds only then.
    static bool Held(HWND owner, int index)
    {
        NOTIFYICONDATAA data = {};
        data.cbSize = NOTIFYICONDATAA_V2_SIZE;
        data.hWnd = owner;
        data.uID = static_cast<UINT>(index);
        return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
    }
    // How many of the first three icons the shell still holds as the
    // window's destruction ends (the handle is still valid then).
    static LRESULT CALLBACK CountAtEnd(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR held)
    {
        if (m == WM_NCDESTROY)
            for (int i = 0; i < 3; ++i)
                *reinterpret_cast<int*>(held) += Held(w, i);
        return DefSubclassProc(w, m, wp, lp);
    }
    std::vector<std::string> TrayLines() const
    {
        std::vector<std::string> lines;
        for (const std::string& l : io.DebugLines())
            if (l.compare(0, 5, "TRAY ") == 0)
                lines.push_back(l);
        return lines;
    }
};

TEST_F(TrayTest, OffByDefaultTheShellIsNotTouched)
{
    ASSERT_TRUE(Open());
    ReadNow();
    EXPECT_EQ(nullptr, App().trayIcons.window);
    EXPECT_FALSE(Held(window, 0));
    EXPECT_TRUE(TrayLines().empty());
}

TEST_F(TrayTest, AddedRedrawnOnlyOnChangeAndRemovedWithTheWindow)
{
    Enable("0,3,c");
    ASSERT_TRUE(Open());
    ReadNow();
    ASSERT_EQ(3, App().trayIcons.count);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Held(window, i)) << i;
    ASSERT_EQ(3u, TrayLines().size());
    EXPECT_EQ("TRAY 0 : 45", TrayLines()[0]);
    const std::string tip = App().trayIcons.tip;  // every shown reading, whole lines up to the limit
    EXPECT_EQ(0u, tip.find(ReadTraySource(TraySource{kTrayReading, 0}, CoreTable{}).line)) << tip;
    EXPECT_LT(3u, static_cast<size_t>(std::count(tip.begin(), tip.end(), '\n'))) << tip;
    EXPECT_GE(127u, tip.size());
    const HICON first = App().trayIcons.icon[0].icon.Get();
    ReadNow();  // the same reading: nothing to draw
    EXPECT_EQ(3u, TrayLines().size());
    EXPECT_EQ(first, App().trayIcons.icon[0].icon.Get());
    SensorBlock warmer = KnownBlock();
    warmer.temp[0] = 50;
    scenario.SetBlock(warmer);
    ReadNow();
    ASSERT_EQ(4u, TrayLines().size());
    EXPECT_EQ("TRAY 0 : 50", TrayLines()[3]);
    EXPECT_NE(first, App().trayIcons.icon[0].icon.Get());
    int heldAtEnd = 0;
    SetWindowSubclass(window, CountAtEnd, 1, reinterpret_cast<DWORD_PTR>(&heldAtEnd));
    DestroyWindow(window);
    window = nullptr;
    EXPECT_EQ(0, heldAtEnd);
}

// Each message to the shell is dear: a tooltip that changed goes over only
// once the pointer is on an icon, then with each reading while it stays.
TEST_F(TrayTest, TheTooltipFollowsTheReadingsOnlyWhileThePointerIsOnAnIcon)
{
    Enable("0");
    ASSERT_TRUE(Open());
    SensorBlock block = KnownBlock();
    const TrayIconRecord& icon = App().trayIcons.icon[0];
    for (int step = 0; step < 3; ++step) {
        if (step == 1)
            Proc(WM_TRAY_NOTIFY, 0, WM_MOUSEMOVE);
        block.temp[1] = static_cast<uint16_t>(block.temp[1] + 1);  // in the tooltip, not on the icon
        scenario.SetBlock(block);
        ReadNow();
        EXPECT_EQ(step == 0, icon.tipStale) << step;
        if (step == 0) {
            Proc(WM_TRAY_NOTIFY, 0, WM_MOUSEMOVE);
            EXPECT_FALSE(icon.tipStale);
        }
    }
    EXPECT_EQ(1u, TrayLines().size());  // the picture drawn once
}

TEST_F(TrayTest, TheIconsComeBackWhenTheShellRestarts)
{
    Enable("0,7");
    ASSERT_TRUE(Open());
    for (int i = 0; i < 2; ++i) {
        NOTIFYICONDATAA data = {};
        data.cbSize = NOTIFYICONDATAA_V2_SIZE;
        data.hWnd = window;
        data.uID = static_cast<UINT>(i);
        ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));  // as a restarted shell forgets them
    }
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Held(window, 0));
    EXPECT_TRUE(Held(window, 1));
}

TEST_F(TrayTest, TheValueColourOrWhileItsRowAlarmsTheAlarmColour)
{
    Enable("0");
    ASSERT_TRUE(Open());
    const COLORREF value = RGB(250, 250, 0), alarm = App().alarm.colour;
    std::vector<COLORREF> pixels = IconColours(App().trayIcons.icon[0].icon.Get());
    EXPECT_LT(0, Count(pixels, value));
    EXPECT_EQ(0, Count(pixels, alarm));
    App().alarm.enable = 1;
    App().alarm.tempMax[0] = {1, 40};
    App().alarm.count = 1;
    ReadNow();
    pixels = IconColours(App().trayIcons.icon[0].icon.Get());
    EXPECT_LT(0, Count(pixels, alarm));
    EXPECT_EQ(0, Count(pixels, value));
}

TEST_F(TrayTest, HiddenWhenMinimisedAndShownByAClick)
{
    Enable("0");
    App().tray.hideOnMinimize = 1;
    ASSERT_TRUE(Open());
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    PumpMessages(100);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(Held(window, 0));
    Proc(WM_TRAY_NOTIFY, 0, WM_LBUTTONUP);
    PumpMessages(100);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
}

}  // namespace
