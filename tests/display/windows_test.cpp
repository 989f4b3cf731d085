// The processor information window and the message window, on the real
// main window and the substitute driver's processor.

#include <windows.h>

#include <cstring>
#include <string>

#include "dialogs/cpuwindow.h"
#include "display/msgwindow.h"
#include "display/commands.h"
#include "support/display_fixture.h"
#include "resources/resource.h"

namespace {

std::string ItemText(HWND dialog, int id)
{
    char text[64] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

TEST_F(DisplayTest, ProcessorWindowShowsTheIdentityAndEveryFlag)
{
    const DWORD edx = 0x12345678, ecx = 0x9ABCDEF0;
    scenario.Set("FeaturesEdx", edx);
    scenario.Set("FeaturesEcx", ecx);
    ASSERT_TRUE(Open());
    SendMessageA(window, WM_COMMAND, ID_PROCESSOR_INFO, 0);
    HWND info = ProcessorWindow();
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(window, GetWindow(info, GW_OWNER));
    EXPECT_EQ("Intel(R) Core(TM)2 Quad CPU Q9650 @ 3.00GHz", ItemText(info, IDC_CPU_BRAND));
    EXPECT_EQ("6", ItemText(info, IDC_CPU_FAMILY));
    EXPECT_EQ("17", ItemText(info, IDC_CPU_MODEL));
    EXPECT_EQ("A", ItemText(info, IDC_CPU_STEPPING));
    EXPECT_EQ("x9.0", ItemText(info, IDC_CPU_RATIO));
    EXPECT_EQ("0.85V - 1.25V", ItemText(info, IDC_CPU_VOLTAGE));
    EXPECT_NE(std::string::npos, ItemText(info, IDC_CPU_CLOCK).find("GHz"));
    for (int i = 0; i < 32; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kEdxFlagNames[i], ItemText(info, IDC_CPU_EDX_BASE + i));
        EXPECT_EQ(kEcxFlagNames[i], ItemText(info, IDC_CPU_ECX_BASE + i));
        EXPECT_EQ(((edx >> i) & 1) != 0, IsWindowEnabled(GetDlgItem(info, IDC_CPU_EDX_BASE + i)) != 0);
        EXPECT_EQ(((ecx >> i) & 1) != 0, IsWindowEnabled(GetDlgItem(info, IDC_CPU_ECX_BASE + i)) != 0);
    }
    SendMessageA(window, WM_COMMAND, ID_PROCESSOR_INFO, 0);  // open already: nothing new
    EXPECT_EQ(info, ProcessorWindow());
    SendMessageA(info, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(nullptr, ProcessorWindow());
    EXPECT_FALSE(IsWindow(info));
    std::memset(App().cpu.brand, 'A', kBrandSize);  // no zero ends it: its 48 bytes, none after
    SendMessageA(window, WM_COMMAND, ID_PROCESSOR_INFO, 0);
    EXPECT_EQ(std::string(kBrandSize, 'A'), ItemText(ProcessorWindow(), IDC_CPU_BRAND));
    SendMessageA(ProcessorWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
}

struct Seen {
    std::string lines[IDC_MSG_LINES];
    std::string caption;
    INT_PTR second;
};
Seen seen;

void CALLBACK LookAndEnd(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND shown = MessageWindow();
    for (int i = 0; i < IDC_MSG_LINES; ++i)
        seen.lines[i] = ItemText(shown, IDC_MSG_LINE1 + i);
    char caption[64] = "";
    GetWindowTextA(shown, caption, sizeof caption);
    seen.caption = caption;
    const char* const other[] = {"x", nullptr};
    seen.second = ShowMessageWindow(nullptr, GetModuleHandleA(nullptr), other);
    EndMessageWindow(7);
}

TEST(MessageWindow, ShowsItsLinesEndsFromOutsideAndOpensOnce)
{
    ResetAppState();
    const char* const lines[] = {"one", "two", nullptr};
    SetTimer(nullptr, 0, 50, LookAndEnd);
    EXPECT_EQ(7, ShowMessageWindow(nullptr, GetModuleHandleA(nullptr), lines));
    EXPECT_EQ("one", seen.lines[0]);
    EXPECT_EQ("two", seen.lines[1]);
    EXPECT_EQ("", seen.lines[2]);
    EXPECT_EQ("", seen.lines[3]);
    EXPECT_EQ("メッセージ画面", seen.caption);
    EXPECT_EQ(0, seen.second);
    EXPECT_EQ(nullptr, MessageWindow());

    ExpectMessageWindowEnd();
    EndMessageWindow(5);  // the work ended before the window opened
    EXPECT_EQ(5, ShowMessageWindow(nullptr, GetModuleHandleA(nullptr), lines));
    EndMessageWindow(6);  // no work announced: no later window ends at once
    SetTimer(nullptr, 0, 50, LookAndEnd);
    EXPECT_EQ(7, ShowMessageWindow(nullptr, GetModuleHandleA(nullptr), lines));
}

}  // namespace
