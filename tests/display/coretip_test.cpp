#include <cstring>
#include <string>

#include "display/coretip.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "support/display_fixture.h"

namespace {

CoreTable Cores(unsigned int count, int validUpTo)
{
    CoreTable t = {};
    t.count = count;
    for (unsigned int i = 0; i < count; ++i)
        t.core[i] = CoreEntry{static_cast<int>(i) < validUpTo, 100, 40 + static_cast<int>(i),
                              50 + static_cast<int>(i)};
    return t;
}

class CoreTipText : public testing::Test {
protected:
    void SetUp() override
    {
        ResetAppState();
        std::strcpy(App().units.title, "℃");
    }
    void TearDown() override { ResetAppState(); }
};

TEST_F(CoreTipText, TwoCores)
{
    CoreTable t = Cores(2, 2);
    t.core[0].temp = 45;
    t.core[0].peak = 52;
    t.core[1].temp = 47;
    t.core[1].peak = 50;
    BuildCoreTooltipText(t);
    EXPECT_STREQ("0: 45℃ (52℃)\n1: 47℃ (50℃)", App().tipText);
}

TEST_F(CoreTipText, FourCoresHaveNoTrailingLineFeed)
{
    BuildCoreTooltipText(Cores(4, 4));
    EXPECT_STREQ("0: 40℃ (50℃)\n1: 41℃ (51℃)\n2: 42℃ (52℃)\n3: 43℃ (53℃)", App().tipText);
}

TEST_F(CoreTipText, InvalidEntriesAddNothingButAnInvalidLastLeavesTheLineFeed)
{
    CoreTable t = Cores(3, 2);
    BuildCoreTooltipText(t);
    EXPECT_STREQ("0: 40℃ (50℃)\n1: 41℃ (51℃)\n", App().tipText);
    t.core[0].valid = 0;
    BuildCoreTooltipText(t);
    EXPECT_STREQ("1: 41℃ (51℃)\n", App().tipText);
    BuildCoreTooltipText(Cores(0, 0));
    EXPECT_STREQ("", App().tipText);
}

TEST_F(CoreTipText, StopsAtTheLastWholeLineThatFits)
{
    BuildCoreTooltipText(Cores(kCoreSlots, kCoreSlots));
    std::string text = App().tipText;
    EXPECT_LE(text.size(), 255u);
    EXPECT_GT(text.size(), 240u);
    EXPECT_EQ('\n', text.back());  // a whole line, and more would have followed
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        EXPECT_EQ(std::to_string(lines) + ": " + std::to_string(40 + lines) + "℃ (" +
                      std::to_string(50 + lines) + "℃)",
                  line);
        start = end + 1;
    }
    EXPECT_LT(lines, static_cast<size_t>(kCoreSlots));
}

using CoreTipWindow = DisplayTest;

TOOLINFOA ToolOf(HWND tip, HWND owner)
{
    TOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = owner;
    info.uId = 0;
    SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

TEST_F(CoreTipWindow, BalloonOverTheTemperatureGroupWithTheProgramIcon)
{
    ASSERT_TRUE(Open());
    HWND tip = App().coreTip.Window();
    ASSERT_TRUE(tip);
    EXPECT_NE(0, GetWindowLongPtrA(tip, GWL_STYLE) & TTS_BALLOON);
    RECT group;
    ASSERT_TRUE(GetControlRect(window, 1001, &group));
    TOOLINFOA tool = ToolOf(tip, window);
    EXPECT_TRUE(EqualRect(&group, &tool.rect));
    EXPECT_GT(App().coreTip.titleIcon, 3);  // a loaded icon handle
    EXPECT_EQ(1, App().coreTip.active);
    EXPECT_NE('\0', App().tipText[0]);  // the driver's cores were read
}

TEST_F(CoreTipWindow, BoxStyleAndNoIcon)
{
    App().coreTemp.balloon = 0;
    App().coreTemp.icon = 0;
    ASSERT_TRUE(Open());
    HWND tip = App().coreTip.Window();
    ASSERT_TRUE(tip);
    LONG_PTR style = GetWindowLongPtrA(tip, GWL_STYLE);
    EXPECT_EQ(0, style & TTS_BALLOON);
    EXPECT_NE(0, style & WS_BORDER);
    EXPECT_EQ(0, App().coreTip.titleIcon);
    App().coreTemp.balloon = 1;
    EXPECT_EQ(1, ApplyTooltipStyle());
    EXPECT_EQ(0, ApplyTooltipStyle());
}

TEST_F(CoreTipWindow, NoTemperatureGroupGivesAnEmptyHotArea)
{
    window = CreateMainWindowWithout(1001);
    ASSERT_TRUE(window);
    HWND tip = App().coreTip.Window();
    ASSERT_TRUE(tip);
    TOOLINFOA tool = ToolOf(tip, window);
    EXPECT_TRUE(IsRectEmpty(&tool.rect));
}

TEST_F(CoreTipWindow, NoProcessorSupportNoTooltip)
{
    scenario.Set("Status", 0x001);
    ASSERT_TRUE(Open());
    EXPECT_EQ(nullptr, App().coreTip.Window());
    EXPECT_EQ(0, App().coreTemp.enable);
}

}  // namespace
