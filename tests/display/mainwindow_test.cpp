#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "app/settings.h"
#include "app/startup.h"
#include "display/commands.h"
#include "window/mainwindow.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "support/display_fixture.h"
#include "sensors/csensor.h"
#include "support/pump.h"

namespace {

const char kVersionError[] = "ドライバのバージョンが一致しません。";
const char kDeviceError[] = "デバイス初期化エラーが発生しました。";

using MainWindowInit = DisplayTest;

void ExpectOneError(const UserIoCapture& io, const char* text)
{
    ASSERT_EQ(1u, io.Messages().size());
    const ShownMessage& m = io.Messages()[0];
    EXPECT_EQ(text, m.text);
    EXPECT_EQ("エラー情報", m.caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST), m.style);
    EXPECT_NE(nullptr, m.owner);
}

TEST_F(MainWindowInit, SucceedsAndRecordsTheChip)
{
    ASSERT_TRUE(Open());
    EXPECT_TRUE(io.Messages().empty());
    EXPECT_EQ("Veskora! for Fintek", WindowText());
    EXPECT_NE(0u, App().monitorTimer);
    EXPECT_EQ(0x1934, App().chip.vendor);
    EXPECT_EQ(0x0541, App().chip.chip);
    EXPECT_STREQ("Fintek", App().chip.vendorName);
    EXPECT_STREQ("F71882FG", App().chip.chipName);
    LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME));
    RECT w, c;
    GetWindowRect(window, &w);
    GetClientRect(window, &c);
    EXPECT_EQ(c.right, w.right - w.left);  // the window is exactly its panel
    EXPECT_EQ(c.bottom, w.bottom - w.top);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, 1101)));
}

TEST_F(MainWindowInit, WithoutTheDriverShowsTheVersionMessageEvenInDummyMode)
{
    DriverStopped stopped;
    ASSERT_TRUE(stopped.Stopped());
    EXPECT_EQ(0, RunMainWindowModal());
    ExpectOneError(io, kVersionError);
    io.Clear();
    App().dummy = 1;
    EXPECT_EQ(0, RunMainWindowModal());
    ExpectOneError(io, kVersionError);
}

TEST_F(MainWindowInit, AnotherDriverVersionIsRefused)
{
    scenario.Set("Version", 0x0106);
    EXPECT_EQ(0, RunMainWindowModal());
    ExpectOneError(io, kVersionError);
}

TEST_F(MainWindowInit, NoChipEndsUnlessDummy)
{
    scenario.Set("Status", 0x400);
    EXPECT_EQ(0, RunMainWindowModal());
    ExpectOneError(io, kDeviceError);

    io.Clear();
    App().dummy = 1;
    ASSERT_TRUE(Open());
    EXPECT_TRUE(io.Messages().empty());
    EXPECT_EQ(0x1934, App().chip.vendor);
    EXPECT_EQ(0x0541, App().chip.chip);
}

TEST_F(MainWindowInit, CentredOrPlacedLiterally)
{
    ASSERT_TRUE(Open());
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, r.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, r.top);
    DestroyWindow(window);

    App().x = -1;
    App().y = 100;
    window = CreateMainWindow();
    ASSERT_TRUE(window);
    GetWindowRect(window, &r);
    EXPECT_EQ(-1, r.left);
    EXPECT_EQ(100, r.top);
}

// Placed at start-up, or left where no screen is by a display change: a
// window on no monitor comes back to the middle of the primary work area; one
// that touches a monitor, even half off it, stays.
TEST_F(MainWindowInit, AWindowOnNoMonitorComesBackAndOneOnAScreenStays)
{
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const struct {
        int x, y;
        UINT message;
        WPARAM wParam;
        bool centred;
    } kCases[] = {
        {-5000, -5000, WM_DISPLAYCHANGE, 32, true},
        {-5000, 0, WM_SETTINGCHANGE, SPI_SETWORKAREA, true},
        {-5000, 0, WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, false},
        {-100, 0, WM_DISPLAYCHANGE, 32, false},
    };
    App().x = 20000;  // placed literally, far off every screen
    App().y = 20000;
    ASSERT_TRUE(Open());
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    const POINT centre = {work.left + (work.right - work.left - width) / 2,
                          work.top + (work.bottom - work.top - height) / 2};
    EXPECT_EQ(centre.x, r.left);
    EXPECT_EQ(centre.y, r.top);
    for (const auto& c : kCases) {
        SetWindowPos(window, nullptr, c.x, c.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Proc(c.message, c.wParam, 0);
        GetWindowRect(window, &r);
        EXPECT_EQ(c.centred ? centre.x : c.x, r.left) << c.x << "," << c.y << " " << c.message;
        EXPECT_EQ(c.centred ? centre.y : c.y, r.top);
    }
    EXPECT_EQ(20000, App().x);  // the stored place changes only when it is saved
}

TEST_F(MainWindowInit, DebugModeWritesTheReadingLines)
{
    App().debug = 1;
    ASSERT_TRUE(Open());
    PumpMessages(100);
    const auto& lines = io.DebugLines();
    auto has = [&](const char* line) {
        for (const std::string& l : lines)
            if (l == line)
                return true;
        return false;
    };
    EXPECT_TRUE(has("+3.3V    : 2.64 V"));
    EXPECT_TRUE(has("+12V     : 15.05 V"));
    EXPECT_TRUE(has("CPU TEMP : 45 C"));
    EXPECT_TRUE(has("CPU FAN  : 1500 rpm"));
    EXPECT_TRUE(has("SYS PWM  : 49 %"));
    EXPECT_FALSE(has("SYS TEMP : 255 C"));
}

using MainWindowCommands = DisplayTest;

TEST_F(MainWindowCommands, LowWordOnlyAndUnknownIdsAreIgnored)
{
    ASSERT_TRUE(Open());
    EXPECT_EQ(1, Proc(WM_COMMAND, MAKEWPARAM(ID_MONITOR_STOP, 1), 0));
    EXPECT_EQ(0u, App().monitorTimer);
    EXPECT_NE(0u, App().blinkTimer);
    EXPECT_EQ(1, Proc(WM_COMMAND, MAKEWPARAM(ID_MONITOR_START, 0), 0));
    EXPECT_NE(0u, App().monitorTimer);
    EXPECT_EQ(0u, App().blinkTimer);

    EXPECT_EQ(1, Proc(WM_COMMAND, IDOK, 0));
    EXPECT_EQ(1, Proc(WM_COMMAND, IDCANCEL, 0));
    SendMessageA(window, WM_CLOSE, 0, 0);
    PumpMessages(100);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_NE(0u, App().monitorTimer);
}

TEST_F(MainWindowCommands, StoppedValuesBlinkEveryHalfSecond)
{
    ASSERT_TRUE(Open());
    SendMessageA(window, WM_COMMAND, ID_MONITOR_STOP, 0);
    int phase = App().blinkPhase;
    EXPECT_TRUE(PumpUntil([&] { return App().blinkPhase != phase; }, 2000));
    EXPECT_EQ(1, Proc(WM_TIMER, App().blinkTimer, 0));
    EXPECT_EQ(phase, App().blinkPhase);
    EXPECT_EQ(0, Proc(WM_TIMER, 77, 0));
    SendMessageA(window, WM_COMMAND, ID_MONITOR_START, 0);
    EXPECT_EQ(0, App().blinkPhase);
}

TEST_F(MainWindowCommands, TogglesAndMaskModes)
{
    ASSERT_TRUE(Open());
    SendMessageA(window, WM_COMMAND, ID_LOCK_POSITION, 0);
    EXPECT_EQ(1, App().stable);
    SendMessageA(window, WM_COMMAND, ID_MASK_ROUND, 0);
    EXPECT_EQ(static_cast<unsigned>(MASK_ROUND), App().mask.mode);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, GetWindowRgn(window, region));
    SendMessageA(window, WM_COMMAND, ID_MASK_NONE, 0);
    EXPECT_EQ(ERROR, GetWindowRgn(window, region));
    DeleteObject(region);
    SendMessageA(window, WM_COMMAND, ID_MASK_COLOR, 0);
    EXPECT_NE(0, GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_LAYERED);
}

// A lock stored as any nonzero value holds, and one click releases it.
TEST_F(MainWindowCommands, AStoredLockOfTwoIsUnlockedByOneClick)
{
    WriteWholeFile(App().themePath, "[Global]\r\nStable=2\r\n");
    LoadSettings(0);
    ASSERT_TRUE(Open());
    PumpMessages(50);
    MSG queued;
    Proc(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_FALSE(PeekMessageA(&queued, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    SendMessageA(window, WM_COMMAND, ID_LOCK_POSITION, 0);
    EXPECT_EQ(0, App().stable);
    Proc(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_TRUE(PeekMessageA(&queued, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
}

TEST_F(MainWindowCommands, ResetMaximumBringsTheMaximaBackToTheCurrentReading)
{
    ASSERT_TRUE(Open());
    SensorBlock cooler = KnownBlock();
    cooler.temp[0] = 40;
    scenario.SetBlock(cooler);
    ReadNow();
    EXPECT_STREQ("40", App().current.text[kTempSlot]);
    EXPECT_STREQ("45", App().maximum.text[kTempSlot]);
    SendMessageA(window, WM_COMMAND, ID_RESET_MAX, 0);
    EXPECT_STREQ("40", App().maximum.text[kTempSlot]);
}

TEST_F(MainWindowCommands, TooltipTextIsHandedOverOnRequest)
{
    ASSERT_TRUE(Open());
    NMTTDISPINFOA info = {};
    info.hdr.code = TTN_GETDISPINFOA;
    EXPECT_EQ(1, Proc(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(App().tipText, info.lpszText);
    info.hdr.code = TTN_SHOW;
    EXPECT_EQ(0, Proc(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(0, Proc(WM_NOTIFY, 0, 0));
}

// True when a command with this id waits in the window's queue (it is taken out).
bool TakePostedCommand(HWND window, WORD id)
{
    MSG msg;
    while (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        if (LOWORD(msg.wParam) == id)
            return true;
    return false;
}

using MainWindowDrop = DisplayTest;

TEST_F(MainWindowDrop, LowerCaseJpegIsTakenAsSkinAndTheHandleReleased)
{
    ASSERT_TRUE(Open());
    std::string path = dir.File("photo.jpeg");
    HDROP drop = MakeDrop(path);
    EXPECT_EQ(1, Proc(WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0));
    EXPECT_EQ(path, App().skin.fileName);
    EXPECT_EQ(0, App().skin.enable);  // not decodable yet: the skin stays off
    EXPECT_EQ(0u, GlobalSize(drop));  // released
    EXPECT_TRUE(io.Messages().empty());
}

TEST_F(MainWindowDrop, OnlyTheTextAfterTheLastDotCounts)
{
    ASSERT_TRUE(Open());
    std::string theme = dir.File("a.b.VKT");
    EXPECT_EQ(1, Proc(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(theme)), 0));
    EXPECT_EQ(theme, App().themePath);
    EXPECT_EQ(0u, App().monitorTimer);
    EXPECT_TRUE(TakePostedCommand(window, ID_RELOAD));

    std::string before = App().settingsPath;
    HDROP none = MakeDrop(dir.File("nodot"));
    EXPECT_EQ(0, Proc(WM_DROPFILES, reinterpret_cast<WPARAM>(none), 0));
    EXPECT_EQ(0u, GlobalSize(none));
    HDROP other = MakeDrop(dir.File("notes.txt"));
    EXPECT_EQ(0, Proc(WM_DROPFILES, reinterpret_cast<WPARAM>(other), 0));
    EXPECT_EQ(before, App().settingsPath);
    EXPECT_EQ(theme, App().themePath);
    EXPECT_FALSE(TakePostedCommand(window, ID_RELOAD));
}

TEST_F(MainWindowDrop, SettingsFileLoadsWithItsTheme)
{
    ASSERT_TRUE(Open());
    std::string settings = dir.File("other.vkc");
    std::string theme = dir.File("other.vkt");
    WritePrivateProfileStringA("Config", "FileName", theme.c_str(), settings.c_str());
    WritePrivateProfileStringA("Global", "Timer", "9", theme.c_str());
    EXPECT_EQ(1, Proc(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(settings)), 0));
    EXPECT_EQ(settings, App().settingsPath);
    EXPECT_EQ(theme, App().themePath);
    EXPECT_EQ(9u, App().timer);
    EXPECT_TRUE(TakePostedCommand(window, ID_RELOAD));
}

// The creation loop with the real dialog procedure: ID_RELOAD ends the window
// with 1, a new one reopens the driver, ID_EXIT ends the program.
int initialised = 0;
int reloadsSeen = 0;  // by this procedure: the window's own, not one behind it
bool handleAfterClose = true;
bool handleAfterReopen = false;

INT_PTR CALLBACK ReloadingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        ++initialised;
        if (initialised == 2)
            handleAfterReopen = CSENSOR::chip.HasHandle();
        PostCommand(window, initialised == 1 ? ID_RELOAD : ID_EXIT);
    } else if (message == WM_DESTROY && initialised == 1) {
        handleAfterClose = CSENSOR::chip.HasHandle();
    } else if (message == WM_COMMAND && LOWORD(wParam) == ID_RELOAD) {
        ++reloadsSeen;
    }
    return result;
}

TEST_F(MainWindowCommands, ReloadRecreatesTheWindowAndReopensTheDriver)
{
    std::string settings = App().settingsPath;
    ResetAppState();
    EXPECT_EQ(1, RunProgram(GetModuleHandleA(nullptr), settings.c_str(), ReloadingProc));
    EXPECT_EQ(2, initialised);
    EXPECT_EQ(1, reloadsSeen);
    EXPECT_FALSE(handleAfterClose);
    EXPECT_TRUE(handleAfterReopen);
    EXPECT_FALSE(CSENSOR::chip.HasHandle());
    EXPECT_TRUE(io.Messages().empty());
}

// After sleep: one new window however many resume messages arrive, none for
// other power events; the new window opens the device again.
TEST_F(MainWindowCommands, AResumeRecreatesTheWindowOnce)
{
    const struct {
        WPARAM first, second;
        bool reload;
    } kEvents[] = {
        {PBT_APMSUSPEND, PBT_APMSUSPEND, false},
        {PBT_APMRESUMEAUTOMATIC, PBT_APMSUSPEND, true},
        {PBT_APMRESUMESUSPEND, PBT_APMSUSPEND, true},
        {PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND, true},
    };
    for (const auto& e : kEvents) {
        ASSERT_TRUE(Open());
        Proc(WM_POWERBROADCAST, e.first, 0);
        Proc(WM_POWERBROADCAST, e.second, 0);
        EXPECT_EQ(e.reload, TakePostedCommand(window, ID_RELOAD)) << e.first;
        EXPECT_FALSE(TakePostedCommand(window, ID_RELOAD)) << e.first;
        DestroyWindow(window);
        window = nullptr;
    }
}

int resumeWindows = 0;
std::string maximaAfterResume;
bool minimizedAfterResume = false, stoppedAfterResume = false, focusAfterResume = true;
Scenario* resumeScenario = nullptr;

// The device answers again a second after the resume.
DWORD WINAPI DeviceBackLater(LPVOID)
{
    Sleep(1000);
    resumeScenario->Remove("FailMask");
    return 0;
}

// The first window sees a hot reading, then the machine sleeps; the second
// window starts with the device opened again and its maxima from its own
// first reading.
INT_PTR CALLBACK ResumingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    if (message != WM_INITDIALOG)
        return result;
    if (++resumeWindows == 1) {
        SensorBlock hot = KnownBlock();
        hot.temp[0] = 90;
        resumeScenario->SetBlock(hot);
        ReadRequest request = {1, 0, 0, nullptr, ID_UPDATE, 0, nullptr};
        CSENSOR::Start(&request);
        resumeScenario->SetBlock(KnownBlock());
        ShowWindow(window, SW_MINIMIZE);
        StopMonitoring(window);
        SendMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
        resumeScenario->Set("FailMask", 1u << REQ_VERSION);
        CloseHandle(CreateThread(nullptr, 0, DeviceBackLater, nullptr, 0, nullptr));
    } else {
        UpdateDisplay(window);
        maximaAfterResume = CSENSOR::chip.HasHandle() ? App().maximum.text[kTempSlot] : "no device";
        minimizedAfterResume = IsIconic(window) != 0;
        stoppedAfterResume = App().monitorTimer == 0;
        focusAfterResume = GetForegroundWindow() == window;
        PostCommand(window, ID_EXIT);
    }
    return result;
}

TEST_F(MainWindowCommands, AfterAResumeTheNewWindowReadsAfresh)
{
    std::string settings = App().settingsPath;
    ResetAppState();
    resumeScenario = &scenario;
    EXPECT_EQ(1, RunProgram(GetModuleHandleA(nullptr), settings.c_str(), ResumingProc));
    EXPECT_EQ(2, resumeWindows);
    EXPECT_EQ("45", maximaAfterResume);  // not the 90 of the first window
    EXPECT_TRUE(minimizedAfterResume);
    EXPECT_TRUE(stoppedAfterResume);
    EXPECT_FALSE(focusAfterResume);
    EXPECT_TRUE(io.Messages().empty());  // the device came back in time
}

}  // namespace
