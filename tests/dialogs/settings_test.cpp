// The settings dialog on its own thread over the real main window: the
// frame, the basic, chip and labels pages, apply, OK and Cancel.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <utility>

#include <png.h>
#include <zlib.h>

#include "app/command.h"
#include "app/rows.h"
#include "app/settings.h"
#include "display/msgwindow.h"
#include "dialogs/pickers.h"
#include "dialogs/seams.h"
#include "dialogs/settings.h"
#include "display/commands.h"
#include "display/seams.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "display/skin.h"
#include "support/display_fixture.h"
#include "foundation/win32ver.h"
#include "resources/resource.h"
#include "sensors/csensor.h"
#include "support/guicount.h"
#include "support/mutator.h"
#include "support/pump.h"

namespace {

enum PageIndex { kBasic, kChip, kLabels, kColors, kSkin, kWatch, kExport, kVersion };
const DWORD kStressLimitMs = 10000;

class SettingsTest : public DisplayTest {
protected:
    void TearDown() override
    {
        if (SettingsDialog())
            Press(IDCANCEL);
        SetDisplayCalls({});
        DisplayTest::TearDown();
    }
    HWND OpenDialog()
    {
        if (!window && !Open())
            return nullptr;
        SendMessageA(window, WM_COMMAND, ID_SETTINGS, 0);
        // The frame counts as open before its thread shows it: wait for that
        // too, or a pixel read from the screen finds nothing painted yet.
        PumpUntil([] { return SettingsDialog() != nullptr && IsWindowVisible(SettingsDialog()); });
        return SettingsDialog();
    }
    HWND Page(int index) const { return SettingsPageWindow(index); }
    void ShowTab(int index)
    {
        HWND tabs = GetDlgItem(SettingsDialog(), IDC_SETTINGS_TABS);
        SendMessageA(tabs, TCM_SETCURSEL, index, 0);  // as a click on the tab does
        NMHDR change = {tabs, IDC_SETTINGS_TABS, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageA(SettingsDialog(), WM_NOTIFY, IDC_SETTINGS_TABS, reinterpret_cast<LPARAM>(&change));
    }
    void Click(int page, int id) { SendMessageA(Page(page), WM_COMMAND, id, 0); }
    // The page's own visibility; the frame may not be on screen yet.
    bool Shown(int index) const { return (GetWindowLongPtrA(Page(index), GWL_STYLE) & WS_VISIBLE) != 0; }
    std::string Text(int page, int id) const
    {
        char text[kPathSize] = "";
        GetDlgItemTextA(Page(page), id, text, sizeof text);
        return text;
    }
    void SetText(int page, int id, const char* text) { SetDlgItemTextA(Page(page), id, text); }
    // The back buffer's pixels where the first temperature label is drawn.
    std::string LabelPixels() const
    {
        RECT r = {};
        GetControlRect(window, LabelId(0), &r);
        std::string pixels;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                pixels += std::to_string(GetPixel(App().skinState.backBuffer.dc.Get(), x, y)) + ",";
        return pixels;
    }
    // Presses a frame button; for OK and Cancel waits until the dialog's
    // thread has ended, noting whether it asked for a new window.
    void Press(WORD id)
    {
        SendMessageA(SettingsDialog(), WM_COMMAND, id, 0);
        if (id == IDC_APPLY)
            return PumpMessages(50);
        // Every message but a request for a new window is dispatched; the
        // request is posted before the dialog counts as closed, so one more
        // round after that finds it.
        const DWORD start = GetTickCount();
        for (bool open = true; GetTickCount() - start < 5000;) {
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (m.hwnd == window && m.message == WM_COMMAND && LOWORD(m.wParam) == ID_RELOAD) {
                    reloads++;
                    continue;
                }
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
            if (!open)
                break;
            open = SettingsDialogOpen();
            if (open)
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    int reloads = 0;
};

TEST_F(SettingsTest, OpensOnItsOwnThreadOnceAndAlwaysOnTheFirstPage)
{
    HWND frame = OpenDialog();
    ASSERT_NE(nullptr, frame);
    EXPECT_NE(GetCurrentThreadId(), GetWindowThreadProcessId(frame, nullptr));
    EXPECT_EQ(window, GetWindow(frame, GW_OWNER));
    SendMessageA(window, WM_COMMAND, ID_SETTINGS, 0);  // open already: nothing new
    PumpMessages(50);
    EXPECT_EQ(frame, SettingsDialog());
    HWND tabs = GetDlgItem(frame, IDC_SETTINGS_TABS);
    EXPECT_EQ(kVersion + 1, SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("Fintek F71882FG", [&] {
        char t[64] = "";
        GetDlgItemTextA(frame, IDC_SETTINGS_HEADER, t, sizeof t);
        return std::string(t);
    }());
    ShowTab(kLabels);
    EXPECT_TRUE(Shown(kLabels));
    EXPECT_FALSE(Shown(kBasic));
    Press(IDCANCEL);
    EXPECT_EQ(0, reloads);
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ(0, SendMessageA(GetDlgItem(SettingsDialog(), IDC_SETTINGS_TABS), TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(Shown(kBasic));
    EXPECT_FALSE(Shown(kLabels));
}

// All eight tabs in view at once, none behind scroll arrows or cut; the
// pages below the tabs, each control of theirs within them.
TEST_F(SettingsTest, EveryTabIsInViewAndEveryPageWhole)
{
    ASSERT_TRUE(OpenDialog());
    HWND tabs = GetDlgItem(SettingsDialog(), IDC_SETTINGS_TABS);
    ASSERT_EQ(kVersion + 1, SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    RECT client, item, inside, page, r;
    GetClientRect(tabs, &client);
    GetWindowRect(Page(kBasic), &page);
    MapWindowPoints(nullptr, tabs, reinterpret_cast<POINT*>(&page), 2);
    for (int i = 0; i <= kVersion; ++i) {
        SendMessageA(tabs, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_TRUE(IntersectRect(&inside, &item, &client) && EqualRect(&inside, &item)) << i;
        EXPECT_LE(item.bottom, page.top) << i;
    }
    HWND arrows = FindWindowExA(tabs, nullptr, UPDOWN_CLASSA, nullptr);
    EXPECT_FALSE(arrows && IsWindowVisible(arrows));
    for (int p = kBasic; p <= kVersion; ++p) {
        GetWindowRect(Page(p), &page);
        for (HWND c = GetWindow(Page(p), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            GetWindowRect(c, &r);
            EXPECT_LE(r.bottom, page.bottom) << p << " " << GetDlgCtrlID(c);
        }
    }
}

TEST_F(SettingsTest, ApplyReachesTheWindowCancelKeepsTheFilesAndOkSavesThem)
{
    SaveSettings(1);
    const std::string settings = ReadWholeFile(App().settingsPath), theme = ReadWholeFile(App().themePath);
    ASSERT_TRUE(OpenDialog());
    const std::string labelBefore = LabelPixels();
    SendDlgItemMessageA(Page(kBasic), IDC_BASIC_TIMER_SPIN, UDM_SETPOS32, 0, 1);
    SetText(kLabels, IDC_LABEL_TEMP + 0, "HOT");
    CheckDlgButton(Page(kChip), IDC_CHIP_DIVID_ENABLE, BST_CHECKED);
    SetText(kChip, IDC_CHIP_DIVIDER + 3, "abc");  // not a number: 0.0
    Press(IDC_APPLY);
    EXPECT_TRUE(LayeredRedrawIsTheFullOne(window));
    EXPECT_EQ(1u, App().timer);
    EXPECT_STREQ("HOT", App().labels.temp[0]);
    EXPECT_DOUBLE_EQ(0.0, App().divid.in[3]);
    // The running window has them: the label drawn, the divider in use, and
    // readings every second from the restarted timer.
    EXPECT_NE(labelBefore, LabelPixels());
    App().debug = 1;  // every reading then tells the debugger
    auto readings = [&] {
        size_t n = 0;
        for (const std::string& line : io.DebugLines())
            n += line.find("CPU TEMP") == 0;
        return n;
    };
    const size_t before = readings();
    EXPECT_TRUE(PumpUntil([&] { return readings() >= before + 2; }, 3500));  // the old timer: every 5 s
    App().debug = 0;
    EXPECT_STREQ("0.00", App().current.text[kVoltSlot + 3]);
    Press(IDCANCEL);
    EXPECT_STREQ("HOT", App().labels.temp[0]);
    EXPECT_EQ(settings, ReadWholeFile(App().settingsPath));
    EXPECT_EQ(theme, ReadWholeFile(App().themePath));

    DeleteFileA(App().settingsPath);
    DeleteFileA(App().themePath);
    SetWindowPos(window, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(OpenDialog());
    Press(IDOK);
    EXPECT_NE(std::string::npos, ReadWholeFile(App().themePath).find("X=33"));
    EXPECT_NE(std::string::npos, ReadWholeFile(App().themePath).find("Y=44"));
    EXPECT_NE(std::string::npos, ReadWholeFile(App().themePath).find("Temp0=HOT"));
    EXPECT_TRUE(FileExists(App().settingsPath));
    EXPECT_EQ(0, reloads);
}

TEST_F(SettingsTest, ChipPageShowsTwoDecimalsDefaultsAndTheDetectedLimit)
{
    App().divid.in[3] = 1.475;
    App().coreTemp.tjmax = 85;  // chosen; the detection finds 95 for this brand
    scenario.SetString("Brand", "Intel(R) Core(TM)2 Extreme CPU QX9650  @ 3.00GHz");
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ("1.48", Text(kChip, IDC_CHIP_DIVIDER + 3));
    EXPECT_EQ("5.25", Text(kChip, IDC_CHIP_DEFAULT + 4));
    EXPECT_EQ("1500000", Text(kChip, IDC_CHIP_FAN_DEFAULT));
    EXPECT_EQ("95", Text(kChip, IDC_CHIP_TJMAX_FOUND));
    EXPECT_EQ("85", Text(kChip, IDC_CHIP_TJMAX));
    for (bool on : {false, true}) {  // dividers off, then switched on: all ten edits follow
        for (int k = 0; k <= kVoltCount; ++k)
            EXPECT_EQ(on, IsWindowEnabled(GetDlgItem(Page(kChip), IDC_CHIP_DIVIDER + k)) != 0) << k;
        if (!on)
            SendDlgItemMessageA(Page(kChip), IDC_CHIP_DIVID_ENABLE, BM_CLICK, 0, 0);
    }
    Press(IDOK);
    EXPECT_DOUBLE_EQ(1.48, App().divid.in[3]);
    EXPECT_EQ(1, App().divid.enable);
    EXPECT_DOUBLE_EQ(1.48, CSENSOR::chip.Parameters().inScale[3]);
}

TEST_F(SettingsTest, WithoutProcessorTemperaturesTheirGroupIsDisabled)
{
    scenario.Set("Status", 0x001);  // the chip only
    ASSERT_TRUE(OpenDialog());
    for (int id : {IDC_CHIP_CORE_ENABLE, IDC_CHIP_BALLOON, IDC_CHIP_TJMAX, IDC_CHIP_TJMAX_SPIN, IDC_CHIP_TITLE})
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(kChip), id))) << id;
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(Page(kChip), IDC_CHIP_CORE_ENABLE));
    EXPECT_EQ("", Text(kChip, IDC_CHIP_TJMAX_FOUND));
    Press(IDOK);
    EXPECT_EQ(0, App().coreTemp.tjmax);  // "detect" stays, not the up-down's lowest
}

TEST_F(SettingsTest, LabelsAreCutBetweenWholeCharactersOnStoreAndOnLoad)
{
    ASSERT_TRUE(OpenDialog());
    const char* const sjis = "\x82\xA0\x82\xA2\x82\xA4\x82\xA6";  // four double-byte letters
    SetText(kLabels, IDC_LABEL_TEMP + 1, "ABCDEFGHIJ");
    SetText(kLabels, IDC_LABEL_FAN + 0, sjis);
    SetText(kLabels, IDC_LABEL_IN_TITLE, "0123456789ABCDEFGH");
    Press(IDOK);
    EXPECT_STREQ("ABCDEFG", App().labels.temp[1]);
    EXPECT_STREQ("\x82\xA0\x82\xA2\x82\xA4", App().labels.fan[0]);  // not half of the fourth
    EXPECT_STREQ("0123456789ABCDE", App().labels.inTitle);

    WriteWholeFile(App().themePath, std::string("[Labels]\r\nFan1=") + sjis + "\r\nFan=A" + sjis + sjis + "\r\n");
    LoadSettings(0);
    EXPECT_STREQ("\x82\xA0\x82\xA2\x82\xA4", App().labels.fan[1]);
    EXPECT_STREQ("A\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA0\x82\xA2\x82\xA4", App().labels.fanTitle);
}

TEST_F(SettingsTest, ABalloonChangeRestartsTheWindowEvenAfterALaterApplyAndCancel)
{
    App().coreTemp.balloon = 1;
    ASSERT_TRUE(OpenDialog());
    CheckDlgButton(Page(kChip), IDC_CHIP_BALLOON, BST_UNCHECKED);
    Press(IDC_APPLY);
    Press(IDC_APPLY);  // no change this time: the request stays
    Press(IDCANCEL);
    EXPECT_EQ(1, reloads);
}

// The dialog's thread works on the window: a resume waits for it to close,
// then re-creates the window even after Cancel.
TEST_F(SettingsTest, AResumeWhileTheDialogIsOpenRecreatesTheWindowWhenItCloses)
{
    ASSERT_TRUE(OpenDialog());
    Proc(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    Proc(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
    Press(IDCANCEL);
    EXPECT_EQ(1, reloads);
}

// The alarms and log page: filled from the settings, stored on Apply; a
// command entered here counts as confirmed; a log name of another ending is
// named beside the field.
TEST_F(SettingsTest, TheAlarmPageStoresItsKeysAndConfirmsItsCommand)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Veskora\\Commands");
    App().alarm.inMax[2] = {1, 1.5};
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ("1.500000", Text(kWatch, IDC_ALARM_IN_MAX + 2));
    EXPECT_EQ("", Text(kWatch, IDC_ALARM_TEMP_MAX + 0));
    EXPECT_EQ("", Text(kWatch, IDC_LOG_NAME_NOTE));
    const char* const kinds[] = {" 上限", " 下限", ""};  // the voltages' columns name theirs
    for (int g = kTempRows; g <= kVoltRows; ++g)
        EXPECT_EQ(GroupTitle(App(), static_cast<RowGroup>(g)) + std::string(kinds[g]),
                  Text(kWatch, IDC_ALARM_GROUP + g));
    CheckDlgButton(Page(kWatch), IDC_ALARM_ENABLE, BST_CHECKED);
    SetText(kWatch, IDC_ALARM_TEMP_MAX + 1, "0");
    SetText(kWatch, IDC_ALARM_IN_MAX + 2, "");
    SetText(kWatch, IDC_ALARM_COMMAND, "cmd.exe \"%L\"");  // the label could close the quote
    EXPECT_NE("", Text(kWatch, IDC_ALARM_COMMAND_NOTE));
    SetText(kWatch, IDC_ALARM_COMMAND, "cmd.exe %L");
    EXPECT_EQ("", Text(kWatch, IDC_ALARM_COMMAND_NOTE));
    SetText(kWatch, IDC_LOG_NAME, "log.bat");
    EXPECT_NE("", Text(kWatch, IDC_LOG_NAME_NOTE));
    SendDlgItemMessageA(Page(kWatch), IDC_LOG_SEPARATOR, CB_SETCURSEL, 1, 0);
    Press(IDC_APPLY);
    EXPECT_EQ(1, App().alarm.enable);
    EXPECT_EQ(1, App().alarm.tempMax[1].set);  // 0 is a bound
    EXPECT_EQ(0, App().alarm.inMax[2].set);
    EXPECT_STREQ("TAB", App().log.separator);
    EXPECT_STREQ("log.bat", App().log.fileName);
    const std::string resolved = ResolveCommand("cmd.exe %L", App().settingsPath);
    EXPECT_EQ(resolved, App().alarm.command);  // confirmed as the program's absolute path
    char settings[kPathSize];
    GetFullPathNameA(App().settingsPath, kPathSize, settings, nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Veskora\\Commands", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, (std::string(settings) + "*" + resolved).c_str(), nullptr, nullptr,
                                              nullptr, nullptr));
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Veskora\\Commands");
}

// The token never enters its edit; left as it is, it is kept.
TEST_F(SettingsTest, TheExportPageNeverHoldsTheToken)
{
    lstrcpynA(App().exports.token, "s3cret", kExportTokenSize);
    ASSERT_TRUE(OpenDialog());
    const std::string shown = Text(kExport, IDC_EXPORT_TOKEN);
    EXPECT_EQ(std::string::npos, shown.find("s3cret"));
    Press(IDC_APPLY);
    EXPECT_STREQ("s3cret", App().exports.token);
    SetText(kExport, IDC_EXPORT_TOKEN, "other");
    Press(IDC_APPLY);
    EXPECT_STREQ("other", App().exports.token);
    SetText(kExport, IDC_EXPORT_TOKEN, "");
    Press(IDC_APPLY);
    EXPECT_STREQ("", App().exports.token);
}

// The tooltip of this platform tells no title: the titles it is sent are recorded.
WNDPROC tipProcedure;
std::string tipTitle;

LRESULT CALLBACK RecordTitle(HWND tip, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TTM_SETTITLEA)
        tipTitle = reinterpret_cast<const char*>(lParam);
    return CallWindowProcA(tipProcedure, tip, message, wParam, lParam);
}

TEST_F(SettingsTest, ApplyGivesTheCoreTooltipTheChipPagesTitle)
{
    ASSERT_TRUE(OpenDialog());
    HWND tip = App().coreTip.Window();
    tipProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitle)));
    SetText(kChip, IDC_CHIP_TITLE, "NEW TITLE");
    Press(IDC_APPLY);
    EXPECT_EQ("NEW TITLE", tipTitle);
    SetWindowLongPtrA(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(tipProcedure));
}

TEST_F(SettingsTest, ApplyLeavesAStoppedMonitorStopped)
{
    ASSERT_TRUE(Open());
    SendMessageA(window, WM_COMMAND, ID_MONITOR_STOP, 0);
    ASSERT_TRUE(OpenDialog());
    Press(IDC_APPLY);
    EXPECT_EQ(0u, App().monitorTimer);
    EXPECT_NE(0u, App().blinkTimer);
}

// The gap of the bitmap mask, now from the dialog's thread: the worker is
// done before the message window opens, which must not stay open.
TEST_F(SettingsTest, AMaskGeneratedFromTheDialogNeverLeavesTheMessageWindowOpen)
{
    const std::string mask = dir.File("m.bmp");
    WriteBitmapFile(mask, 6, 6, [](int, int) { return RGB(255, 255, 255); });
    ASSERT_TRUE(Open());
    lstrcpynA(App().mask.fileName, mask.c_str(), kPathSize);
    App().mask.mode = MASK_BITMAP;  // what the skin page will show and store
    ASSERT_TRUE(OpenDialog());
    SetDisplayCalls(DisplayCalls{StartAndFinish});
    PostMessageA(SettingsDialog(), WM_COMMAND, IDC_APPLY, 0);
    EXPECT_TRUE(PumpUntil([] { return FileExists(App().mask.fileName + std::string(".RGN")); }));
    // The dialog is enabled again once the apply has finished.
    EXPECT_TRUE(PumpUntil([] { return IsWindowEnabled(SettingsDialog()) != 0; }, 5000));
    EXPECT_EQ(nullptr, MessageWindow());
    EXPECT_EQ(static_cast<unsigned>(MASK_BITMAP), App().mask.mode);
}

// The folder and the proposed name the chooser must be handed.
const char* handedFolder = "";
const char* handedName = "plain.vkc";

BOOL WINAPI RecordOpen(OPENFILENAMEA* request)
{
    EXPECT_EQ(static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A), request->lStructSize);
    EXPECT_NE(0u, request->Flags & OFN_NOCHANGEDIR);  // browsing leaves the current folder alone
    EXPECT_STREQ(handedFolder, request->lpstrInitialDir);
    EXPECT_STREQ(handedName, request->lpstrFile);
    lstrcpynA(request->lpstrFile, "C:\\chosen\\x.vkc", request->nMaxFile);
    return TRUE;
}

TEST(FileChooser, APathWithoutABackslashIsTheProposedNameInNoFolder)
{
    const DialogCalls calls = {RecordOpen, RecordOpen, ChooseColorA, ChooseFontA};
    SetDialogCalls(calls);
    char path[kPathSize] = "plain.vkc";
    EXPECT_TRUE(ChooseFileName(nullptr, kSettingsChooserTitle, kSettingsFilter, path, true));
    EXPECT_STREQ("C:\\chosen\\x.vkc", path);
    SetDialogCalls({});
}

// Folder and proposed name part at the last backslash that is a character of
// its own: the trail byte of "表" (0x95 0x5C) or "ソ" (0x83 0x5C) is none.
TEST(FileChooser, SplitsAtTheLastBackslashCharacter)
{
    const char* const kPaths[][3] = {
        {"C:\\VK\\表示.VKC", "C:\\VK", "表示.VKC"},
        {"C:\\表\\能.VKC", "C:\\表", "能.VKC"},
        {"ソ.VKC", "", "ソ.VKC"},
    };
    const DialogCalls calls = {RecordOpen, RecordOpen, ChooseColorA, ChooseFontA};
    SetDialogCalls(calls);
    for (const auto& p : kPaths) {
        char path[kPathSize];
        lstrcpynA(path, p[0], kPathSize);
        handedFolder = p[1];
        handedName = p[2];
        EXPECT_TRUE(ChooseFileName(nullptr, kSettingsChooserTitle, kSettingsFilter, path, false)) << p[0];
    }
    handedFolder = "";
    handedName = "plain.vkc";
    SetDialogCalls({});
}

// --- colours and fonts, skin and mask, version ---------------------------------

struct Chooser {
    BOOL answer;
    COLORREF colour;
    LOGFONTA font;
    std::string file;
};
Chooser chooser;

BOOL WINAPI FakeColour(CHOOSECOLORA* r)
{
    r->rgbResult = chooser.colour;
    return chooser.answer;
}
BOOL WINAPI FakeFont(CHOOSEFONTA* r)
{
    *r->lpLogFont = chooser.font;
    return chooser.answer;
}
BOOL WINAPI FakeFile(OPENFILENAMEA* r)
{
    lstrcpynA(r->lpstrFile, chooser.file.c_str(), r->nMaxFile);
    return chooser.answer;
}
const DialogCalls kFakeChoosers = {FakeFile, FakeFile, FakeColour, FakeFont};

class PagesTest : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        chooser = {TRUE, 0, {}, ""};
        SetDialogCalls(kFakeChoosers);
    }
    void TearDown() override
    {
        SettingsTest::TearDown();
        SetDialogCalls({});
    }
    // The colour a swatch is painted in, and its brush.
    std::pair<COLORREF, HBRUSH> Swatch(int page, int id)
    {
        HDC dc = GetDC(Page(page));
        auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
            Page(page), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
            reinterpret_cast<LPARAM>(GetDlgItem(Page(page), id))));
        COLORREF colour = GetBkColor(dc);
        ReleaseDC(Page(page), dc);
        return {colour, brush};
    }
};

TEST_F(PagesTest, ColoursChangeOnlyForANewChoiceAndOkStoresEverything)
{
    const int valueButton = IDC_COLOR_BUTTON + 2 * kColorValue;
    App().colors.slot[kColorValue].colour = RGB(1, 2, 3);
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ(1, SendDlgItemMessageA(Page(kColors), IDC_SHADOW_OFFSET, TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(4, SendDlgItemMessageA(Page(kColors), IDC_SHADOW_OFFSET, TBM_GETRANGEMAX, 0, 0));
    const auto before = Swatch(kColors, valueButton + 1);
    EXPECT_EQ(RGB(1, 2, 3), before.first);
    for (BOOL answer : {FALSE, TRUE}) {  // cancelled (with another colour behind it), then the same chosen
        chooser = {answer, answer ? RGB(1, 2, 3) : RGB(7, 7, 7), {}, ""};
        Click(kColors, valueButton);
        EXPECT_EQ(before, Swatch(kColors, valueButton + 1));
    }
    chooser.colour = RGB(9, 8, 7);
    Click(kColors, valueButton);
    EXPECT_EQ(RGB(9, 8, 7), Swatch(kColors, valueButton + 1).first);
    Press(IDCANCEL);
    EXPECT_EQ(RGB(1, 2, 3), App().colors.slot[kColorValue].colour);

    ASSERT_TRUE(OpenDialog());
    for (int e = 0; e < kColorElements; ++e) {
        chooser.colour = RGB(10 + e, 0, 0);
        Click(kColors, IDC_COLOR_BUTTON + 2 * e);
        chooser.colour = RGB(0, 20 + e, 0);
        Click(kColors, IDC_SHADOW_BUTTON + 3 * e);
        CheckDlgButton(Page(kColors), e ? IDC_SHADOW_BUTTON + 3 * e + 2 : IDC_SHADOW_LINE_ENABLE, BST_UNCHECKED);
    }
    SendDlgItemMessageA(Page(kColors), IDC_SHADOW_OFFSET, TBM_SETPOS, TRUE, 3);
    chooser.font = App().fonts.slot[kFontLabel].configured;
    chooser.font.lfHeight = -21;
    lstrcpynA(chooser.font.lfFaceName, "Courier New", LF_FACESIZE);
    for (int f = 0; f < kFontElements; ++f)
        Click(kColors, IDC_FONT_BUTTON + 2 * f);
    EXPECT_EQ("Courier New", Text(kColors, IDC_FONT_BUTTON + 1));  // the sample shows its face
    Press(IDOK);
    auto key = [&](const char* section, const char* name) {
        char value[256] = "";
        GetPrivateProfileStringA(section, name, "", value, sizeof value, App().themePath);
        return std::string(value);
    };
    const char* const elements[] = {"Line", "Frame", "Label", "Value", "Back"};
    for (int e = 0; e < kColorElements; ++e) {
        SCOPED_TRACE(elements[e]);
        EXPECT_EQ(std::to_string(10 + e) + ",0,0", key("Colors", elements[e]));
        EXPECT_EQ("0," + std::to_string(20 + e) + ",0", key("Shadows", elements[e]));
        EXPECT_EQ("0", key("Shadows", (std::string("Enable") + elements[e]).c_str()));
    }
    EXPECT_EQ("3", key("Shadows", "Offset"));
    for (const char* font : {"Frame", "Label", "Value"})
        EXPECT_EQ("-21,0,0,0,700,0,0,0,0,0,0,0,0,Courier New", key("Fonts", font)) << font;
}

TEST_F(PagesTest, SkinPreviewKeepsTheWindowsProportionsAndShowsTheMask)
{
    const std::string skin = dir.File("skin.bmp"), mask = dir.File("mask.bmp");
    WriteBitmapFile(skin, 8, 8, [](int, int) { return RGB(200, 100, 50); });
    WriteBitmapFile(mask, 8, 8, [](int x, int) { return x < 4 ? RGB(0, 0, 0) : RGB(255, 255, 255); });
    lstrcpynA(App().skin.fileName, skin.c_str(), kPathSize);
    lstrcpynA(App().mask.fileName, mask.c_str(), kPathSize);
    App().skin.enable = 1;
    ASSERT_TRUE(Open());
    App().skinState.width = 350;  // the proportions of a wide window (not a whole ratio)
    App().skinState.height = 120;
    ASSERT_TRUE(OpenDialog());
    HWND preview = GetDlgItem(Page(kSkin), IDC_SKIN_PREVIEW);
    RECT r, client;
    GetWindowRect(preview, &r);
    MapWindowPoints(nullptr, Page(kSkin), reinterpret_cast<POINT*>(&r), 2);
    GetClientRect(Page(kSkin), &client);
    EXPECT_EQ(static_cast<int>(350.0 / 120 * (r.bottom - r.top)), r.right - r.left);  // truncated
    EXPECT_EQ(client.right / 2 - (r.right - r.left) / 2, r.left);
    EXPECT_EQ("(8 x 8) \x81\xA8 (350 x 120)", Text(kSkin, IDC_SKIN_SIZE));

    ShowTab(kSkin);
    auto select = [&](int mode) {
        SendDlgItemMessageA(Page(kSkin), IDC_MASK_MODE, CB_SETCURSEL, mode, 0);
        SendMessageA(Page(kSkin), WM_COMMAND, MAKEWPARAM(IDC_MASK_MODE, CBN_SELCHANGE), 0);
        UpdateWindow(preview);  // paints what the selection invalidated
    };
    auto pixel = [&](int x, int y) {
        HDC dc = GetDC(preview);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(preview, dc);
        return c;
    };
    for (int mode : {MASK_COLOR, MASK_BITMAP}) {
        select(mode);
        // The skin alone, then the skin ANDed with the mask (black on its black half).
        EXPECT_EQ(mode == MASK_COLOR ? RGB(200, 100, 50) : RGB(0, 0, 0), pixel(10, 10));
        EXPECT_EQ(RGB(200, 100, 50), pixel(r.right - r.left - 10, 10));
        EXPECT_EQ(mode == MASK_COLOR, IsWindowEnabled(GetDlgItem(Page(kSkin), IDC_MASK_COLOR_BUTTON)) != 0);
        EXPECT_EQ(mode == MASK_COLOR, IsWindowEnabled(GetDlgItem(Page(kSkin), IDC_MASK_COLOR_SWATCH)) != 0);
        EXPECT_EQ(mode == MASK_BITMAP, IsWindowEnabled(GetDlgItem(Page(kSkin), IDC_MASK_BUTTON)) != 0);
        EXPECT_EQ(mode == MASK_BITMAP, IsWindowEnabled(GetDlgItem(Page(kSkin), IDC_MASK_NAME)) != 0);
    }
    // A PNG mask shows in the preview but cannot shape the window.
    chooser.file = TestDataFile("png\\basn0g01.png");
    Click(kSkin, IDC_MASK_BUTTON);
    EXPECT_EQ(chooser.file, Text(kSkin, IDC_MASK_NAME));
    UpdateWindow(preview);
    EXPECT_EQ(RGB(0, 0, 0), pixel(r.right - r.left - 10, r.bottom - r.top - 10));  // its black corner
    // Posted: this thread, the display window's, must stay free to take the
    // region worker's report while the dialog's thread waits for it.
    PostMessageA(SettingsDialog(), WM_COMMAND, IDC_APPLY, 0);
    PumpUntil([&] { return io.Messages().size() >= 2; });
    EXPECT_EQ(static_cast<unsigned>(MASK_NONE), App().mask.mode);
    EXPECT_EQ(kMaskError, io.Messages().back().text);
}

// With no skin loaded, what a bitmap mask drew goes with the mask.
TEST_F(PagesTest, TheSkinPreviewIsErasedBeforeItIsDrawn)
{
    const std::string mask = dir.File("mask.bmp");
    WriteBitmapFile(mask, 8, 8, [](int, int) { return RGB(0, 0, 0); });
    lstrcpynA(App().mask.fileName, mask.c_str(), kPathSize);
    ASSERT_TRUE(OpenDialog());
    ShowTab(kSkin);
    HWND preview = GetDlgItem(Page(kSkin), IDC_SKIN_PREVIEW);
    for (int mode : {MASK_BITMAP, MASK_NONE}) {
        SendDlgItemMessageA(Page(kSkin), IDC_MASK_MODE, CB_SETCURSEL, mode, 0);
        SendMessageA(Page(kSkin), WM_COMMAND, MAKEWPARAM(IDC_MASK_MODE, CBN_SELCHANGE), 0);
        UpdateWindow(preview);
    }
    HDC dc = GetDC(preview);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(dc, 4, 4));
    ReleaseDC(preview, dc);
}

TEST_F(PagesTest, VersionPageShowsTheBuildAndTheLinkedLibraries)
{
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ("Veskora! for Fintek", Text(kVersion, IDC_VERSION_DESCRIPTION));
    EXPECT_EQ(sizeof(void*) == 4 ? "Version 1.05 (x86)" : "Version 1.05 (x64)", Text(kVersion, IDC_VERSION_LINE));
    EXPECT_EQ("Copyright (C) 2026 Veskora project", Text(kVersion, IDC_VERSION_COPYRIGHT));
    EXPECT_EQ(std::string("LIBPNG Version ") + PNG_LIBPNG_VER_STRING + " , ZLIB Version " + ZLIB_VERSION,
              Text(kVersion, IDC_VERSION_LIBRARIES));
    EXPECT_EQ("", Text(kVersion, IDC_VERSION_CHIP));
    // The page's own fonts: made for this opening, gone when it closes.
    HFONT big = reinterpret_cast<HFONT>(SendDlgItemMessageA(Page(kVersion), IDC_VERSION_DESCRIPTION, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    GetObjectA(big, sizeof lf, &lf);
    EXPECT_EQ(-25, lf.lfHeight);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    Press(IDCANCEL);
    EXPECT_EQ(0u, GetObjectType(big));
    App().debug = 1;
    const int gdi = CountGdiObjects();
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(OpenDialog());
        EXPECT_EQ("1934:0541", Text(kVersion, IDC_VERSION_CHIP));
        Press(IDCANCEL);
    }
    EXPECT_EQ(gdi, CountGdiObjects());  // the page's fonts go with every closing
}

TEST(VersionReader, OneTranslationItsStringsAndTheMarkers)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    WIN32VER version;
    ASSERT_EQ(1, version.Load(self));  // the test program carries the program's resource
    EXPECT_EQ(0x0411, version.Language());
    EXPECT_EQ(0x04b0, version.CodePage());
    EXPECT_STREQ("1.05", version.QueryString("FileVersion"));
    EXPECT_STREQ("(error)", version.QueryString("NoSuchValue"));
    ASSERT_EQ(1, version.Load(TestDataFile("empty_value.dll").c_str()));
    EXPECT_STREQ("(null)", version.QueryString("Comments"));
    EXPECT_EQ(0, version.Load(TestDataFile("two_translations.dll").c_str()));
    EXPECT_EQ(0, version.Load(TestDataFile("no201.vkl").c_str()));  // no version resource at all
    EXPECT_STREQ("(error)", version.QueryString("FileVersion"));
}

// --- a busy dialog ----------------------------------------------------------------

struct ApplyLoop {
    HWND frame;
    volatile LONG applies;
};

// A watchdog on its own thread ends the process when one apply takes over
// 10 s: a deadlock would leave no thread of the test to notice it.
DWORD WINAPI PressApply(void* parameter)
{
    auto* loop = static_cast<ApplyLoop*>(parameter);
    FuzzRun watchdog("stress apply", 0, kStressLimitMs);
    for (int i = 0; i < 500; ++i) {
        watchdog.Begin("");
        SendMessageA(loop->frame, WM_COMMAND, IDC_APPLY, 0);
        watchdog.End();
        InterlockedIncrement(&loop->applies);
    }
    return 0;
}

// Applies on the dialog's thread while the display window takes readings
// at every step (a monitor tick each time) and takes hover moves, mask
// changes and skin toggles: no step on either thread may last 10 s (a
// deadlock between UPDATE, DRAW and READ, or a call into the other thread's
// window under a lock).
TEST_F(SettingsTest, FiveHundredAppliesBesideABusyWindowNeverDeadlock)
{
    App().timer = 1;
    ASSERT_TRUE(OpenDialog());
    ApplyLoop loop = {SettingsDialog(), 0};
    HANDLE presser = CreateThread(nullptr, 0, PressApply, &loop, 0, nullptr);
    const WORD kBusy[] = {ID_MASK_ROUND, ID_SKIN, ID_MASK_COLOR, ID_SKIN, ID_MASK_NONE, ID_UPDATE};
    FuzzRun watchdog("stress display", 0, kStressLimitMs);
    int ticks = 0;
    for (int step = 0; WaitForSingleObject(presser, 0) == WAIT_TIMEOUT; ++step) {
        watchdog.Begin("");
        const POINT p = CentreOf(ValueId(step % kRowCount));
        SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
        SendMessageA(window, WM_COMMAND, kBusy[step % 6], 0);
        if (App().monitorTimer && Proc(WM_TIMER, App().monitorTimer, 0))
            ++ticks;
        // Wakes for messages the dialog's thread sends here, as a message loop does.
        MsgWaitForMultipleObjects(1, &presser, FALSE, 5, QS_ALLINPUT);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
        watchdog.End();
    }
    CloseHandle(presser);
    EXPECT_EQ(500, loop.applies);
    EXPECT_GT(ticks, 0);
    std::printf("stress: %ld applies beside a busy window, %d readings\n", loop.applies, ticks);
}

TEST_F(SettingsTest, OkSaysWhichFileItCouldNotSaveAndClosesAllTheSame)
{
    ASSERT_TRUE(OpenDialog());
    SetText(kBasic, IDC_BASIC_CONFIG_NAME, "C:\\no such folder\\a.vkc");
    SetText(kBasic, IDC_BASIC_THEME_NAME, "C:\\no such folder\\a.vkt");
    Press(IDOK);
    EXPECT_FALSE(SettingsDialogOpen());
    ASSERT_EQ(2u, io.Messages().size());
    EXPECT_EQ("設定ファイル保存エラーが発生しました。", io.Messages()[0].text);
    EXPECT_EQ("テーマファイル保存エラーが発生しました。", io.Messages()[1].text);
    EXPECT_STREQ("C:\\no such folder\\a.vkt", App().themePath);  // kept in memory
}

}  // namespace
