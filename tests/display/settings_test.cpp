// The settings dialog on its own thread over the real main window: the
// frame, the basic, chip and labels pages, apply, OK and Cancel.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/settings.h"
#include "dialogs/msgwindow.h"
#include "dialogs/pickers.h"
#include "dialogs/seams.h"
#include "dialogs/settings.h"
#include "display/commands.h"
#include "display/seams.h"
#include "display/skin.h"
#include "display_fixture.h"
#include "resources/resource.h"
#include "sensors/csensor.h"
#include "support/pump.h"

namespace {

enum PageIndex { kBasic, kChip, kLabels };

class SettingsTest : public DisplayTest {
protected:
    void TearDown() override
    {
        if (SettingsDialog())
            Press(IDCANCEL);
        SetRegionThreadStarter(nullptr);
        DisplayTest::TearDown();
    }
    HWND OpenDialog()
    {
        if (!window && !Open())
            return nullptr;
        SendMessageA(window, WM_COMMAND, ID_SETTINGS, 0);
        PumpUntil([] { return SettingsDialog() != nullptr; });
        return SettingsDialog();
    }
    HWND Page(int index) const { return SettingsPageWindow(index); }
    // The page's own visibility; the frame may not be on screen yet.
    bool Shown(int index) const { return (GetWindowLongPtrA(Page(index), GWL_STYLE) & WS_VISIBLE) != 0; }
    std::string Text(int page, int id) const
    {
        char text[kPathSize] = "";
        GetDlgItemTextA(Page(page), id, text, sizeof text);
        return text;
    }
    void SetText(int page, int id, const char* text) { SetDlgItemTextA(Page(page), id, text); }
    // Presses a frame button; for OK and Cancel waits until the dialog's
    // thread has ended, noting whether it asked for a new window.
    void Press(WORD id)
    {
        SendMessageA(SettingsDialog(), WM_COMMAND, id, 0);
        if (id == IDC_APPLY)
            return PumpMessages(50);
        PumpUntil([&] {
            MSG m;
            if (PeekMessageA(&m, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) &&
                LOWORD(m.wParam) == ID_RELOAD) {
                PeekMessageA(&m, window, WM_COMMAND, WM_COMMAND, PM_REMOVE);
                reloads++;
            }
            return !SettingsDialogOpen();
        });
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
    EXPECT_EQ(6, SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("Fintek F71882FG", [&] {
        char t[64] = "";
        GetDlgItemTextA(frame, IDC_SETTINGS_HEADER, t, sizeof t);
        return std::string(t);
    }());
    SendMessageA(tabs, TCM_SETCURSEL, kLabels, 0);  // as a click on the tab does
    NMHDR change = {tabs, IDC_SETTINGS_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(frame, WM_NOTIFY, IDC_SETTINGS_TABS, reinterpret_cast<LPARAM>(&change));
    EXPECT_TRUE(Shown(kLabels));
    EXPECT_FALSE(Shown(kBasic));
    Press(IDCANCEL);
    EXPECT_EQ(0, reloads);
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ(0, SendMessageA(GetDlgItem(SettingsDialog(), IDC_SETTINGS_TABS), TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(Shown(kBasic));
    EXPECT_FALSE(Shown(kLabels));
}

TEST_F(SettingsTest, ApplyReachesTheWindowCancelKeepsTheFilesAndOkSavesThem)
{
    SaveSettings(1);
    const std::string settings = ReadWholeFile(App().settingsPath), theme = ReadWholeFile(App().themePath);
    ASSERT_TRUE(OpenDialog());
    SendDlgItemMessageA(Page(kBasic), IDC_BASIC_TIMER_SPIN, UDM_SETPOS32, 0, 2);
    SetText(kLabels, IDC_LABEL_TEMP + 0, "HOT");
    SetText(kChip, IDC_CHIP_DIVIDER + 3, "abc");  // not a number: 0.0
    Press(IDC_APPLY);
    EXPECT_EQ(2u, App().timer);
    EXPECT_STREQ("HOT", App().labels.temp[0]);
    EXPECT_DOUBLE_EQ(0.0, App().divid.in[3]);
    EXPECT_NE(0u, App().monitorTimer);  // restarted with the new interval
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
    EXPECT_NE(std::string::npos, ReadWholeFile(App().themePath).find("Temp0=HOT"));
    EXPECT_TRUE(FileExists(App().settingsPath));
    EXPECT_EQ(0, reloads);
}

TEST_F(SettingsTest, ChipPageShowsTwoDecimalsDefaultsAndTheDetectedLimit)
{
    App().divid.in[3] = 1.475;
    ASSERT_TRUE(OpenDialog());
    EXPECT_EQ("1.48", Text(kChip, IDC_CHIP_DIVIDER + 3));
    EXPECT_EQ("5.25", Text(kChip, IDC_CHIP_DEFAULT + 4));
    EXPECT_EQ("1500000", Text(kChip, IDC_CHIP_FAN_DEFAULT));
    EXPECT_EQ("100", Text(kChip, IDC_CHIP_TJMAX_FOUND));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(kChip), IDC_CHIP_FAN)));  // dividers off
    SendDlgItemMessageA(Page(kChip), IDC_CHIP_DIVID_ENABLE, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Page(kChip), IDC_CHIP_FAN)));
    Press(IDOK);
    EXPECT_DOUBLE_EQ(1.48, App().divid.in[3]);
    EXPECT_EQ(1, App().divid.enable);
    EXPECT_DOUBLE_EQ(1.48, CSENSOR::chip.Parameters().inScale[3]);
}

TEST_F(SettingsTest, WithoutProcessorTemperaturesTheirGroupIsDisabled)
{
    scenario.Set("Status", 0x001);  // the chip only
    ASSERT_TRUE(OpenDialog());
    for (int id : {IDC_CHIP_CORE_ENABLE, IDC_CHIP_BALLOON, IDC_CHIP_TJMAX, IDC_CHIP_TITLE})
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(kChip), id))) << id;
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(Page(kChip), IDC_CHIP_CORE_ENABLE));
    EXPECT_EQ("", Text(kChip, IDC_CHIP_TJMAX_FOUND));
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
    lstrcpynA(App().mask.fileName, mask.c_str(), kPathSize);
    ASSERT_TRUE(OpenDialog());
    App().mask.mode = MASK_BITMAP;
    SetRegionThreadStarter([](LPTHREAD_START_ROUTINE procedure, void* parameter) -> HANDLE {
        HANDLE thread = CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        Sleep(300);
        return thread;
    });
    PostMessageA(SettingsDialog(), WM_COMMAND, IDC_APPLY, 0);
    EXPECT_TRUE(PumpUntil([] { return FileExists(App().mask.fileName + std::string(".RGN")); }));
    // The dialog is enabled again once the apply has finished.
    EXPECT_TRUE(PumpUntil([] { return IsWindowEnabled(SettingsDialog()) != 0; }, 5000));
    EXPECT_EQ(nullptr, MessageWindow());
    EXPECT_EQ(static_cast<unsigned>(MASK_BITMAP), App().mask.mode);
}

BOOL WINAPI RecordOpen(OPENFILENAMEA* request)
{
    EXPECT_EQ(static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A), request->lStructSize);
    EXPECT_STREQ("", request->lpstrInitialDir);
    EXPECT_STREQ("plain.vkc", request->lpstrFile);
    lstrcpynA(request->lpstrFile, "C:\\chosen\\x.vkc", request->nMaxFile);
    return TRUE;
}

TEST(FileChooser, APathWithoutABackslashIsTheProposedNameInNoFolder)
{
    const CommonDialogCalls calls = {RecordOpen, RecordOpen, ChooseColorA, ChooseFontA};
    SetCommonDialogCalls(&calls);
    char path[kPathSize] = "plain.vkc";
    EXPECT_TRUE(ChooseFileName(nullptr, kSettingsChooserTitle, kSettingsFilter, path, true));
    EXPECT_STREQ("C:\\chosen\\x.vkc", path);
    SetCommonDialogCalls(nullptr);
}

}  // namespace
