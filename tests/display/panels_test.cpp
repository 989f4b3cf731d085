#include <cstring>
#include <functional>
#include <string>

#include "display/commands.h"
#include "display/geometry.h"
#include "display/paint.h"
#include "display/panels.h"
#include "display/readings.h"
#include "support/display_fixture.h"
#include "support/lockholder.h"
#include "support/pump.h"

namespace {

const COLORREF kBack = RGB(10, 20, 30);

// Rows by their index among the 16 panel rows.
const int kTemp0 = 0, kTemp2 = 2, kFan0 = 3, kFan1 = 4, kVolt0 = 7, kVolt2 = 9;

class PanelTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        AppState& app = App();
        app.colors.slot[kColorBack].colour = kBack;
        app.colors.slot[kColorValue].colour = RGB(250, 250, 0);
        app.colors.slot[kColorLabel].colour = RGB(0, 250, 250);
        app.colors.slot[kColorLine].colour = RGB(250, 0, 250);
        for (ColorSlot& s : app.colors.slot)
            s.shadow = 0;
    }

    std::string Value(int row)
    {
        char text[kReadingTextSize] = "";
        return RowValueText(row, text) ? text : "(not drawn)";
    }

    // Whether anything but the background lies inside the control's rectangle
    // (shrunk a little: text of a taller font may reach just past it).
    bool Painted(int id, int inset = 3)
    {
        RECT r;
        if (!GetControlRect(window, id, &r))
            return false;
        HDC dc = App().skinState.backBuffer.dc.Get();
        for (int y = r.top + inset; y < r.bottom - inset; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (GetPixel(dc, x, y) != kBack)
                    return true;
        return false;
    }

    void Hover(int id) { SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(CentreOf(id).x, CentreOf(id).y)); }
};

TEST_F(PanelTest, TextsOfAKnownBlock)
{
    ASSERT_TRUE(Open());
    const SensorText& t = App().current;
    const char* volts[kVoltCount] = {"2.64", "1.20", "", "1.18", "5.04", "15.05", "", "3.33", "3.04"};
    for (int i = 0; i < kVoltCount; ++i)
        EXPECT_STREQ(volts[i], t.text[kVoltSlot + i]) << "voltage " << i;
    EXPECT_STREQ("45", t.text[kTempSlot]);
    EXPECT_STREQ("", t.text[kTempSlot + 2]);
    EXPECT_STREQ("1500", t.text[kFanSlot]);
    EXPECT_STREQ("", t.text[kFanSlot + 1]);
    EXPECT_STREQ("", t.text[kFanSlot + 2]);
    EXPECT_STREQ("750", t.text[kFanSlot + 3]);
    EXPECT_STREQ("100", t.text[kPwmSlot]);
    EXPECT_STREQ("", t.text[kPwmSlot + 1]);
    EXPECT_STREQ("49", t.text[kPwmSlot + 2]);
    EXPECT_STREQ("50", t.text[kPwmSlot + 3]);

    EXPECT_EQ("45\xB0" "C", Value(kTemp0));
    EXPECT_EQ("1500rpm", Value(kFan0));
    EXPECT_EQ("2.64V", Value(kVolt0));
    EXPECT_EQ("(not drawn)", Value(kTemp2));
    App().units.enable = 0;
    EXPECT_EQ("2.64", Value(kVolt0));
}

TEST_F(PanelTest, HoverShowsDutyForFansAndMaximaOtherwise)
{
    ASSERT_TRUE(Open());
    SensorBlock cooler = KnownBlock();
    cooler.temp[0] = 40;
    cooler.volt[0] = 160;
    scenario.SetBlock(cooler);
    ReadNow();

    Hover(ValueId(kFan0));
    EXPECT_EQ(1, App().hover[kFan0]);
    EXPECT_EQ("100%", Value(kFan0));

    EXPECT_EQ("40\xB0" "C", Value(kTemp0));
    Hover(ValueId(kTemp0));
    EXPECT_EQ(0, App().hover[kFan0]);
    EXPECT_EQ("45\xB0" "C", Value(kTemp0));

    Hover(ValueId(kVolt0));
    EXPECT_EQ("2.64V", Value(kVolt0));

    // An absent fan is not drawn, but over it its known duty cycle is.
    SensorBlock stopped = KnownBlock();
    stopped.pwm[1] = 60;
    scenario.SetBlock(stopped);
    ReadNow();
    EXPECT_EQ("(not drawn)", Value(kFan1));
    Hover(ValueId(kFan1));
    EXPECT_EQ("23%", Value(kFan1));

    EXPECT_EQ(0, Proc(WM_MOUSEMOVE, 0, MAKELPARAM(0, 0)));
    SendMessageA(window, WM_MOUSELEAVE, 0, 0);
    for (int flag : App().hover)
        EXPECT_EQ(0, flag);
}

TEST_F(PanelTest, MovesWhileAnUpdateHoldsTheLockChangeNothing)
{
    ASSERT_TRUE(Open());
    NamedLock& update = App().updateLock;
    LockHeldElsewhere other(update);
    ASSERT_TRUE(other.Holding());
    LONG before = update.Contention();
    Hover(ValueId(kFan0));
    EXPECT_EQ(0, App().hover[kFan0]);
    EXPECT_EQ(before + 1, update.Contention());
}

TEST_F(PanelTest, RowsSwitchedOffOrEmptyDrawNothing)
{
    App().show.in[0] = 0;
    ASSERT_TRUE(Open());
    EXPECT_FALSE(Painted(LabelId(kVolt0)));
    EXPECT_FALSE(Painted(ValueId(kVolt0)));
    EXPECT_FALSE(Painted(LabelId(kVolt2)));   // no reading
    EXPECT_FALSE(Painted(ValueId(kVolt2)));
    EXPECT_TRUE(Painted(LabelId(kVolt0 + 1)));
    EXPECT_TRUE(Painted(ValueId(kVolt0 + 1)));

    strcpy(App().labels.in[1], "");
    DrawPanels(window);
    EXPECT_FALSE(Painted(LabelId(kVolt0 + 1)));
    EXPECT_TRUE(Painted(ValueId(kVolt0 + 1)));
}

TEST_F(PanelTest, BlinkPhaseHidesOnlyValues)
{
    ASSERT_TRUE(Open());
    App().blinkPhase = 1;
    DrawPanels(window);
    EXPECT_FALSE(Painted(ValueId(kTemp0)));
    EXPECT_TRUE(Painted(LabelId(kTemp0)));
    EXPECT_TRUE(Painted(1010));  // the group title
    App().blinkPhase = 0;
    DrawPanels(window);
    EXPECT_TRUE(Painted(ValueId(kTemp0)));
}

TEST_F(PanelTest, FrameLinesFollowTheLineSettingAndTheTemplate)
{
    ASSERT_TRUE(Open());
    RECT r;
    ASSERT_TRUE(GetControlRect(window, 1002, &r));
    HDC dc = App().skinState.backBuffer.dc.Get();
    COLORREF line = App().colors.slot[kColorLine].colour;
    int midX = (r.left + r.right) / 2;
    EXPECT_EQ(line, GetPixel(dc, midX, r.top + 8));
    EXPECT_EQ(line, GetPixel(dc, midX, r.top + 7));
    EXPECT_EQ(kBack, GetPixel(dc, midX, r.top + 6));
    EXPECT_EQ(kBack, GetPixel(dc, r.left, r.top + 7));  // the outermost corner stays empty

    App().labels.line = 0;
    DrawPanels(window);
    EXPECT_EQ(kBack, GetPixel(dc, midX, r.top + 8));
    EXPECT_TRUE(Painted(1011));  // titles stay
}

TEST_F(PanelTest, ATemplateWithoutTheFanFrameStillDrawsFanRows)
{
    window = CreateMainWindowWithout(1002);
    ASSERT_TRUE(window);
    RECT r;
    EXPECT_FALSE(GetControlRect(window, 1002, &r));
    ASSERT_TRUE(GetControlRect(window, 1001, &r));
    EXPECT_EQ(App().colors.slot[kColorLine].colour,
              GetPixel(App().skinState.backBuffer.dc.Get(), (r.left + r.right) / 2, r.top + 8));
    EXPECT_TRUE(Painted(ValueId(kFan0)));
    EXPECT_TRUE(Painted(1011));
}

TEST_F(PanelTest, MinimisedTitleListsShownTemperatures)
{
    ASSERT_TRUE(Open());
    AppState& app = App();
    strcpy(app.current.text[kTempSlot], "45");
    strcpy(app.current.text[kTempSlot + 1], "38");
    strcpy(app.current.text[kTempSlot + 2], "30");
    for (int& shown : app.tempShown)
        shown = 1;
    BuildMinimizedTitle(window);
    EXPECT_EQ("45℃/38℃/30℃", WindowText());

    app.tempShown[2] = 0;
    app.units.enable = 0;
    BuildMinimizedTitle(window);
    EXPECT_EQ("45℃/38℃/", WindowText());
}

TEST_F(PanelTest, MinimisingWritesTemperaturesAndRestoringTheTitle)
{
    ASSERT_TRUE(Open());  // row 2 of the known block has no temperature
    ShowWindow(window, SW_MINIMIZE);
    PumpMessages(100);
    EXPECT_EQ("45℃/38℃/", WindowText());
    ShowWindow(window, SW_RESTORE);
    PumpMessages(100);
    EXPECT_EQ("Veskora! for Fintek", WindowText());
}

// The layer is reused while nothing it holds changes and rebuilt when
// something does: every state, reached from the one before, gives the back
// buffer of a full redraw to the byte.
TEST_F(PanelTest, EveryRedrawFromTheLayerIsTheFullRedraw)
{
    const std::string skin = dir.File("skin.bmp");
    WriteBitmapFile(skin, 400, 300, [](int x, int y) { return RGB(x % 256, y % 256, (x ^ y) % 256); });
    ASSERT_TRUE(Open());
    ReadNow();
    AppState& app = App();
    auto rebuildFonts = [&] {
        app.fonts.ReleaseFonts();
        app.fonts.CreateFonts();
    };
    auto shadows = [&](int offset) {
        app.colors.shadowOffset = offset;
        for (ColorSlot& slot : app.colors.slot)
            slot.shadow = 1;
    };
    const struct {
        const char* state;
        std::function<void()> change;
    } kStates[] = {
        {"plain", [] {}},
        {"plain again", [] {}},
        {"temperature hovered", [&] { Hover(ValueId(kTemp0)); }},
        {"fan hovered", [&] { Hover(ValueId(kFan1)); }},
        {"voltage hovered", [&] { Hover(ValueId(kVolt0)); }},
        {"no hover", [&] { SendMessageA(window, WM_MOUSELEAVE, 0, 0); }},
        {"blink", [&] { app.blinkPhase = 1; }},
        {"blink over", [&] { app.blinkPhase = 0; }},
        {"rows off", [&] { app.show.temp[1] = app.show.fan[0] = app.show.in[3] = 0; }},
        {"units off", [&] { app.units.enable = 0; }},
        {"label changed", [&] { std::strcpy(app.labels.in[1], "VCORE!"); }},
        {"no frame lines", [&] { app.labels.line = 0; }},
        {"shadow 1", [&] { shadows(1); }},
        {"shadow 2", [&] { shadows(2); }},
        {"shadow 3", [&] { shadows(3); }},
        {"shadow 4", [&] { shadows(4); }},
        {"shadow -1", [&] { shadows(-1); }},
        {"shadow -3", [&] { shadows(-3); }},
        {"frame lines", [&] { app.labels.line = 1; }},
        {"a label in Shift-JIS", [&] {
             std::strcpy(app.labels.in[2], "\x93\x64\x88\xB3");  // two double-byte characters
             app.fonts.slot[kFontLabel].configured.lfCharSet = SHIFTJIS_CHARSET;
             rebuildFonts();
         }},
        {"value font over the labels", [&] {
             app.fonts.slot[kFontValue].configured.lfHeight = -40;
             rebuildFonts();
         }},
        {"hovered under a big font", [&] { Hover(ValueId(kVolt0 + 1)); }},
        {"skin dropped", [&] { Proc(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(skin)), 0); }},
        {"skin off", [&] { SendMessageA(window, WM_COMMAND, ID_SKIN, 0); }},
        {"skin on", [&] { SendMessageA(window, WM_COMMAND, ID_SKIN, 0); }},
        {"same reading", [&] { ReadNow(); }},
        {"other readings", [&] {
             SensorBlock other = KnownBlock();
             other.temp[0] = 51;
             other.volt[1] = 149;
             other.fan[0] = 0xFFFF;  // stopped
             scenario.SetBlock(other);
             ReadNow();
         }},
        {"small font again", [&] {
             app.fonts.slot[kFontValue].configured.lfHeight = -12;
             rebuildFonts();
         }},
        {"readings back", [&] {
             scenario.SetBlock(KnownBlock());
             ReadNow();
         }},
        {"italic values and labels, whose glyphs overhang", [&] {
             app.fonts.slot[kFontValue].configured.lfItalic = 1;
             app.fonts.slot[kFontLabel].configured.lfItalic = 1;
             rebuildFonts();
         }},
        {"other readings in italics", [&] {
             SensorBlock other = KnownBlock();
             other.temp[0] += 7;
             other.fan[2] = 2222;
             scenario.SetBlock(other);
             ReadNow();
         }},
        {"alarms held", [&] { app.watch.row[kVolt0 + 1].holding = app.watch.row[kFan0].holding = 1; }},
        {"alarms over", [&] { app.watch.row[kVolt0 + 1].holding = app.watch.row[kFan0].holding = 0; }},
        {"hovered again", [&] { Hover(ValueId(kTemp0)); }},
        {"blink again", [&] { app.blinkPhase = 1; }},
        {"blink over again", [&] { app.blinkPhase = 0; }},
        {"values in Shift-JIS, a unit with a backslash", [&] {
             app.units.enable = 1;
             std::strcpy(app.units.in, "\\V");
             std::strcpy(app.units.fan, "\x89\xF1");  // one double-byte character
             app.fonts.slot[kFontValue].configured.lfCharSet = SHIFTJIS_CHARSET;
             rebuildFonts();
         }},
        {"other readings in them", [&] {
             SensorBlock other = KnownBlock();
             other.volt[2] = 90;
             other.temp[2] += 3;
             other.fan[3] = 1500;
             other.pwm[0] += 10;
             scenario.SetBlock(other);
             ReadNow();
         }},
    };
    for (const auto& s : kStates) {
        s.change();
        EXPECT_TRUE(LayeredRedrawIsTheFullOne(window)) << s.state;
    }
    EXPECT_EQ(1, app.skin.enable);
}

}  // namespace
