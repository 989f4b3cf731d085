// Faults a user meets: the driver going away under the running window, every
// request failing in turn, saves that cannot be written, paths longer than
// any buffer.

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/settings.h"
#include "app/startup.h"
#include "dialogs/seams.h"
#include "display/commands.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "display/placement.h"
#include "support/display_fixture.h"
#include "foundation/userio.h"
#include "support/pump.h"

namespace {

using Reliability = DisplayTest;

TEST_F(Reliability, TheDriverGoingAwayLeavesARunningWindowWithEmptyValues)
{
    ASSERT_TRUE(Open());
    ReadNow();
    ASSERT_STRNE("", App().current.text[kTempSlot]);
    {
        DriverStopped stopped;
        ASSERT_TRUE(stopped.Stopped());
        for (int i = 0; i < 3; ++i)
            ReadNow();
        for (const auto& text : App().current.text)
            EXPECT_STREQ("", text);
        EXPECT_STRNE("", App().maximum.text[kTempSlot]);  // the maxima survive the outage
        SendMessageA(window, WM_COMMAND, ID_RESET_MAX, 0);
        ContextMenu menu;  // the menu is still built from the state
        EXPECT_GT(GetMenuItemCount(menu.main), 10);
        PumpMessages(100);
    }
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(io.Messages().empty());  // no storm of messages, not even one
}

TEST_F(Reliability, EveryRequestFailingInTurnIsSilent)
{
    ASSERT_TRUE(Open());
    for (int bit = REQ_STATUS; bit <= REQ_TJMAX; ++bit) {
        scenario.Set("FailMask", 1u << bit);
        for (int i = 0; i < 2; ++i)
            ReadNow();
        SendMessageA(window, WM_COMMAND, ID_RESET_MAX, 0);
        Proc(WM_MOUSEMOVE, 0, MAKELPARAM(CentreOf(ValueId(0)).x, CentreOf(ValueId(0)).y));
    }
    scenario.Set("FailMask", 0);
    ReadNow();
    EXPECT_STRNE("", App().current.text[kTempSlot]);  // a reading again
    EXPECT_TRUE(io.Messages().empty());
}

BOOL WINAPI ChooseUnwritable(OPENFILENAMEA* request)
{
    lstrcpynA(request->lpstrFile, "C:\\no such folder\\file.ini", request->nMaxFile);
    return TRUE;
}

TEST_F(Reliability, SavesThatCannotBeWrittenSaySoAndKeepTheValues)
{
    const DialogCalls calls = {ChooseUnwritable, ChooseUnwritable, ChooseColorA, ChooseFontA};
    SetDialogCalls(calls);
    ASSERT_TRUE(Open());
    App().timer = 7;
    const struct {
        WORD command;
        const char* text;
    } kSaves[] = {
        {ID_CONFIG_SAVE, "設定ファイル保存エラーが発生しました。"},
        {ID_THEME_SAVE, "テーマファイル保存エラーが発生しました。"},
    };
    for (const auto& save : kSaves) {
        io.Clear();
        SendMessageA(window, WM_COMMAND, save.command, 0);
        EXPECT_FALSE(io.Messages().empty()) << save.text;
        if (io.Messages().empty())
            continue;
        EXPECT_EQ(save.text, io.Messages().back().text);
        EXPECT_EQ("エラー情報", io.Messages().back().caption);
        EXPECT_EQ(kErrorStyle, io.Messages().back().style);
    }
    EXPECT_EQ(7u, App().timer);
    SetDialogCalls({});
}

// Too long for any buffer: cut or refused, never overflowed; a dropped name
// that does not fit is refused whole, and a save to a path the profile
// calls cannot take says so.
TEST_F(Reliability, PathsOfThousandsOfCharactersAreCutOrRefused)
{
    for (size_t length : {1023u, 2000u}) {
        SCOPED_TRACE(length);
        auto named = [&](char fill, const char* extension, size_t total = 0) {
            return "C:\\" + std::string((total ? total : length) - 3 - std::strlen(extension), fill) + extension;
        };
        const std::string longName = named('p', ".vkt");
        ComputeSettingsPath(longName.c_str());
        EXPECT_EQ(std::string(longName, 0, kPathSize - 1), App().settingsPath);
        PrepareFreshState(dir);
        WriteWholeFile(App().themePath, "[Skin]\r\nEnable=1\r\nFileName=" + named('s', ".bmp") +
                                            "\r\n[Mask]\r\nMode=4\r\nFileName=" + named('m', ".bmp") + "\r\n");
        WritePrivateProfileStringA("Config", "FileName", longName.c_str(), App().settingsPath);
        const std::string theme = App().themePath;
        LoadSettings(1);  // the theme named in the settings file is far too long to open
        EXPECT_EQ(std::string(longName, 0, kPathSize - 1), App().themePath);
        EXPECT_EQ(kThemeFileNotSaved, SaveSettings(1) & kThemeFileNotSaved);
        lstrcpynA(App().themePath, theme.c_str(), kPathSize);
        LoadSettings(0);
        EXPECT_EQ(std::min<size_t>(length, kPathSize - 1), std::strlen(App().skin.fileName));
        ASSERT_TRUE(Open());  // the skin does not load; the mask's region name does not fit
        EXPECT_EQ(0, App().skin.enable);
        EXPECT_EQ(static_cast<unsigned>(MASK_NONE), App().mask.mode);
        for (const char* extension : {".BMP", ".VKT", ".VKC"}) {
            const std::string dropped = named('d', extension, std::max<size_t>(length, kPathSize));
            EXPECT_EQ(0, Proc(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(dropped)), 0)) << extension;
        }
        EXPECT_EQ(theme, App().themePath);
        DestroyWindow(window);
        window = nullptr;
        io.Clear();
    }
}

}  // namespace
