#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/settings.h"
#include "support/tempdir.h"

namespace {

// "Section/Key" for every key line of an INI text, in file order.
std::vector<std::string> KeysOf(const std::string& text)
{
    std::vector<std::string> keys;
    std::string section;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[')
            section = line.substr(1, line.find(']') - 1);
        else if (line.find('=') != std::string::npos)
            keys.push_back(section + "/" + line.substr(0, line.find('=')));
        pos = end + 1;
    }
    return keys;
}

void AddNumbered(std::vector<std::string>& keys, const std::string& prefix, int count)
{
    for (int i = 0; i < count; ++i)
        keys.push_back(prefix + std::to_string(i));
}

std::vector<std::string> ExpectedSettingsKeys()
{
    std::vector<std::string> keys = {"Config/FileName", "Divid/Enable", "Divid/Fan"};
    AddNumbered(keys, "Divid/In", 9);
    AddNumbered(keys, "Enable/Temp", 3);
    AddNumbered(keys, "Enable/Fan", 4);
    AddNumbered(keys, "Enable/In", 9);
    for (const char* k : {"Enable", "TjMax", "Balloon", "Title", "Icon"})
        keys.push_back(std::string("CoreTemp/") + k);
    // The alarms and the log come after everything that was there before.
    keys.push_back("Alarm/Enable");
    for (int i = 0; i < 3; ++i)
        keys.push_back("Alarm/Temp" + std::to_string(i) + "Max");
    for (int i = 0; i < 4; ++i)
        keys.push_back("Alarm/Fan" + std::to_string(i) + "Min");
    for (int i = 0; i < 9; ++i) {
        keys.push_back("Alarm/In" + std::to_string(i) + "Min");
        keys.push_back("Alarm/In" + std::to_string(i) + "Max");
    }
    for (const char* k : {"CoreMax", "Count", "Beep", "Command", "Repeat"})
        keys.push_back(std::string("Alarm/") + k);
    for (const char* k : {"Enable", "FileName", "Every", "Keep", "Separator"})
        keys.push_back(std::string("Log/") + k);
    return keys;
}

std::vector<std::string> ExpectedThemeKeys()
{
    std::vector<std::string> keys = {"Global/Timer", "Global/X",        "Global/Y",  "Global/Stable",
                                     "Layout/Enable", "Layout/FileName", "Labels/Line", "Labels/Temp"};
    AddNumbered(keys, "Labels/Temp", 3);
    keys.push_back("Labels/Fan");
    AddNumbered(keys, "Labels/Fan", 4);
    keys.push_back("Labels/In");
    AddNumbered(keys, "Labels/In", 9);
    for (const char* k : {"Enable", "Title", "Temp", "Fan", "PWM", "In"})
        keys.push_back(std::string("Units/") + k);
    const char* elements[] = {"Line", "Frame", "Label", "Value", "Back"};
    for (const char* e : elements)
        keys.push_back(std::string("Colors/") + e);
    keys.push_back("Colors/Alarm");
    keys.push_back("Shadows/Offset");
    for (const char* e : elements)
        keys.push_back(std::string("Shadows/Enable") + e);
    for (const char* e : elements)
        keys.push_back(std::string("Shadows/") + e);
    for (const char* f : {"Frame", "Label", "Value"})
        keys.push_back(std::string("Fonts/") + f);
    for (const char* k : {"Skin/Enable", "Skin/FileName", "Mask/Mode", "Mask/Width", "Mask/Height",
                          "Mask/Color", "Mask/FileName"})
        keys.push_back(k);
    return keys;
}

LOGFONTA Font(LONG height, const char* face)
{
    LOGFONTA lf = {};
    lf.lfHeight = height;
    lf.lfWeight = FW_BOLD;
    std::strcpy(lf.lfFaceName, face);
    return lf;
}

class SettingsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetAppState();
        std::strcpy(App().settingsPath, settingsPath.c_str());
    }
    void TearDown() override { ResetAppState(); }

    // A settings file naming the test's theme file, followed by extra lines.
    void WriteSettings(const std::string& extra = "")
    {
        WriteWholeFile(settingsPath, "[Config]\r\nFileName=" + themePath + "\r\n" + extra);
    }

    // The start-up values that absent colour and font keys keep.
    void SeedDisplay()
    {
        for (int i = 0; i < kColorElements; ++i) {
            App().colors.slot[i].colour = RGB(10 + i, 20, 30);
            App().colors.slot[i].shadowColour = RGB(40 + i, 50, 60);
        }
        App().mask.color = RGB(70, 80, 90);
        for (int i = 0; i < kFontElements; ++i)
            App().fonts.slot[i].configured = Font(-11 - i, "Arial");
    }

    TempDir dir;
    std::string settingsPath = dir.File("test.vkc");
    std::string themePath = dir.File("test.vkt");
};

TEST_F(SettingsTest, NoFilesGiveEveryDefaultAndASaveWritesExactlyTheListedKeys)
{
    LoadSettings(1);
    const AppState& s = App();
    EXPECT_STREQ("VESKORA.VKT", s.themePath);
    EXPECT_EQ(0, s.debug);
    EXPECT_EQ(0, s.dummy);
    EXPECT_EQ(0, s.divid.enable);
    EXPECT_EQ(1500000u, s.divid.fan);
    const double dividers[] = {2.0, 1.0, 2.0, 1.47, 5.25, 11.0, 2.0, 2.0, 2.0};
    for (int i = 0; i < kVoltCount; ++i) {
        EXPECT_DOUBLE_EQ(dividers[i], s.divid.in[i]) << i;
        EXPECT_EQ(1, s.show.in[i]);
    }
    EXPECT_EQ(1, s.show.temp[2]);
    EXPECT_EQ(1, s.show.fan[3]);
    EXPECT_EQ(1, s.coreTemp.enable);
    EXPECT_EQ(0, s.coreTemp.tjmax);
    EXPECT_EQ(1, s.coreTemp.balloon);
    EXPECT_STREQ("Digital Thermal Sensors", s.coreTemp.title);
    EXPECT_EQ(-1, s.coreTemp.icon);
    EXPECT_EQ(5u, s.timer);
    EXPECT_EQ(-1, s.x);
    EXPECT_EQ(-1, s.y);
    EXPECT_EQ(0, s.layoutEnable);
    EXPECT_STREQ("VKL_WIDE.VKL", s.layoutPath);
    EXPECT_STREQ("Temperature", s.labels.tempTitle);
    EXPECT_STREQ("CHS", s.labels.fan[3]);
    EXPECT_STREQ("+3.3V", s.labels.in[0]);
    EXPECT_STREQ("VBAT", s.labels.in[8]);
    EXPECT_STREQ("rpm", s.units.fan);
    EXPECT_STREQ("%", s.units.pwm);
    EXPECT_EQ(2, s.colors.shadowOffset);
    EXPECT_EQ(1, s.colors.slot[kColorBack].shadow);
    EXPECT_STREQ("VKS_DEF.BMP", s.skin.fileName);
    EXPECT_EQ(0u, s.mask.mode);
    EXPECT_EQ(6, s.mask.height);
    EXPECT_STREQ("VKM_DEF.BMP", s.mask.fileName);

    std::strcpy(App().themePath, themePath.c_str());
    SaveSettings(1);
    EXPECT_EQ(ExpectedSettingsKeys(), KeysOf(ReadWholeFile(settingsPath)));
    EXPECT_EQ(ExpectedThemeKeys(), KeysOf(ReadWholeFile(themePath)));
}

TEST_F(SettingsTest, TemperatureUnitsDefaultToTheirExactBytes)
{
    LoadSettings(1);
    EXPECT_EQ(std::string("\x81\x8E"), App().units.title);
    EXPECT_EQ(std::string("\xB0\x43"), App().units.temp);
}

TEST_F(SettingsTest, WrittenFormsOfNumbersAndTextsAndTheHiddenSwitches)
{
    WriteSettings("Debug=1\r\nDummy=2\r\n");
    LoadSettings(1);
    EXPECT_EQ(1, App().debug);
    EXPECT_EQ(2, App().dummy);
    App().dummy = 0;  // only editing the file changes the hidden switches
    App().divid.fan = 4000000000u;
    App().colors.slot[kColorBack].colour = RGB(255, 0, 128);
    App().fonts.slot[kFontValue].configured = Font(-19, "Arial");
    SaveSettings(1);
    std::string settings = ReadWholeFile(settingsPath);
    EXPECT_NE(std::string::npos, settings.find("Dummy=2\r\n"));
    EXPECT_NE(std::string::npos, settings.find("Fan=4000000000\r\n"));
    EXPECT_NE(std::string::npos, settings.find("In3=1.470000\r\n"));
    EXPECT_NE(std::string::npos, settings.find("Icon=-1\r\n"));
    std::string theme = ReadWholeFile(themePath);
    EXPECT_NE(std::string::npos, theme.find("Timer=5\r\n"));
    EXPECT_NE(std::string::npos, theme.find("X=-1\r\n"));
    EXPECT_NE(std::string::npos, theme.find("Back=255,0,128\r\n"));
    EXPECT_NE(std::string::npos, theme.find("Value=-19,0,0,0,700,0,0,0,0,0,0,0,0,Arial\r\n"));
    EXPECT_NE(std::string::npos, theme.find("Title=\x81\x8E\r\n"));
}

TEST_F(SettingsTest, TimerOutsideOneToSixtyLoadsAsFive)
{
    struct Case {
        const char* text;
        unsigned int expected;
    };
    const Case cases[] = {{"0", 5}, {"61", 5}, {"-3", 5}, {"4294967295", 5}, {"abc", 5},
                          {"60", 60}, {"1", 1}, {"", 5}};
    for (const Case& c : cases) {
        ResetAppState();
        std::strcpy(App().themePath, themePath.c_str());
        WriteWholeFile(themePath, std::string("[Global]\r\nTimer=") + c.text + "\r\n");
        App().timer = 7;
        LoadSettings(0);
        EXPECT_EQ(c.expected, App().timer) << "Timer=" << c.text;
    }
}

TEST_F(SettingsTest, TimerIsCheckedEvenWhenNoFileCanBeRead)
{
    App().settingsPath[0] = '\0';
    App().timer = 0;
    LoadSettings(1);
    EXPECT_EQ(5u, App().timer);
    EXPECT_STREQ("", App().labels.fan[0]);  // nothing read: start state
    EXPECT_EQ(0, App().x);
}

TEST_F(SettingsTest, AnEmptyThemeNameLeavesTheThemeAtItsStartState)
{
    WriteWholeFile(settingsPath, "[Config]\nFileName=\n[Divid]\nEnable=1\n");
    LoadSettings(1);
    EXPECT_EQ(1, App().divid.enable);
    EXPECT_STREQ("", App().themePath);
    EXPECT_EQ(0, App().x);
    EXPECT_EQ(0, App().y);
    EXPECT_EQ(0, App().mask.width);
    EXPECT_STREQ("", App().units.in);
    EXPECT_EQ(5u, App().timer);
}

TEST_F(SettingsTest, SparseThemeResetsNumbersAndTextsButKeepsColoursAndFonts)
{
    LoadSettings(1);
    std::strcpy(App().themePath, themePath.c_str());
    SeedDisplay();
    App().timer = 30;
    App().x = 5;
    App().mask.mode = MASK_BITMAP;
    App().skin.enable = 1;
    App().layoutEnable = 1;
    std::strcpy(App().labels.temp[0], "X");
    std::strcpy(App().units.in, "mV");
    WriteWholeFile(themePath, "[Colors]\r\nBack=0,0,0\r\n");

    LoadSettings(0);
    EXPECT_EQ(RGB(0, 0, 0), App().colors.slot[kColorBack].colour);
    for (int i = 0; i < kColorBack; ++i)
        EXPECT_EQ(RGB(10 + i, 20, 30), App().colors.slot[i].colour) << i;
    for (int i = 0; i < kColorElements; ++i)
        EXPECT_EQ(RGB(40 + i, 50, 60), App().colors.slot[i].shadowColour) << i;
    EXPECT_EQ(RGB(70, 80, 90), App().mask.color);
    for (int i = 0; i < kFontElements; ++i) {
        EXPECT_EQ(-11 - i, App().fonts.slot[i].configured.lfHeight) << i;
        EXPECT_STREQ("Arial", App().fonts.slot[i].configured.lfFaceName);
    }
    EXPECT_EQ(5u, App().timer);
    EXPECT_EQ(-1, App().x);
    EXPECT_EQ(0u, App().mask.mode);
    EXPECT_EQ(0, App().skin.enable);
    EXPECT_EQ(0, App().layoutEnable);
    EXPECT_STREQ("CPU", App().labels.temp[0]);
    EXPECT_STREQ("V", App().units.in);
}

TEST_F(SettingsTest, ADividerThatIsNoNumberLoadsAsZeroWhileAnAbsentOneTakesItsDefault)
{
    WriteSettings("[Divid]\r\nIn3=abc\r\n");
    LoadSettings(1);
    EXPECT_DOUBLE_EQ(0.0, App().divid.in[3]);

    WriteSettings("[Divid]\r\nIn4=3.5\r\n");
    LoadSettings(1);
    EXPECT_DOUBLE_EQ(1.47, App().divid.in[3]);
    EXPECT_DOUBLE_EQ(3.5, App().divid.in[4]);
}

TEST_F(SettingsTest, LongTextsAreCutOnLoadButWrittenInFull)
{
    std::string longPath(1100, 'p');
    WriteSettings("[CoreTemp]\r\nTitle=" + std::string(40, 't') + "\r\n");
    WriteWholeFile(themePath,
                   "[Labels]\r\nTemp0=ABCDEFGHIJ\r\nTemp=0123456789abcdefghij\r\nFan3=" + std::string(5000, 'f') +
                       "\r\n[Units]\r\nIn=VoltsVolts\r\n[Skin]\r\nFileName=" + longPath + "\r\n");
    LoadSettings(1);
    EXPECT_STREQ("ABCDEFG", App().labels.temp[0]);
    EXPECT_STREQ("0123456789abcde", App().labels.tempTitle);
    EXPECT_EQ(std::string(7, 'f'), App().labels.fan[3]);
    EXPECT_STREQ("VoltsVo", App().units.in);
    EXPECT_EQ(std::string(31, 't'), App().coreTemp.title);
    EXPECT_EQ(longPath.substr(0, 1023), App().skin.fileName);

    // A longer label set in memory (as the settings dialog may) goes to the file whole.
    std::strcpy(App().labels.fan[0], "LongLabel12");
    SaveSettings(0);
    EXPECT_NE(std::string::npos, ReadWholeFile(themePath).find("Fan0=LongLabel12\r\n"));
    LoadSettings(0);
    EXPECT_STREQ("LongLab", App().labels.fan[0]);
}

TEST_F(SettingsTest, EveryValueSurvivesASaveAndALoad)
{
    LoadSettings(1);
    std::strcpy(App().themePath, themePath.c_str());
    AppState& s = App();
    s.divid.enable = 1;
    s.divid.fan = 1350000;
    for (int i = 0; i < kVoltCount; ++i) {
        s.divid.in[i] = 0.5 + i;
        s.show.in[i] = i % 2;
        std::snprintf(s.labels.in[i], kTextSize, "V%d", i);
    }
    for (int i = 0; i < kFanCount; ++i) {
        s.show.fan[i] = 0;
        std::snprintf(s.labels.fan[i], kTextSize, "F%d", i);
    }
    s.show.temp[1] = 0;
    s.coreTemp = {0, 95, 0, "Cores", 2};
    s.timer = 12;
    s.x = -1;
    s.y = 100;
    s.stable = 1;
    s.layoutEnable = 1;
    std::strcpy(s.layoutPath, "C:\\layouts\\tall.vkl");
    s.labels.line = 0;
    std::strcpy(s.labels.inTitle, "Volts");
    s.units.enable = 0;
    std::strcpy(s.units.pwm, "pc");
    s.colors.shadowOffset = -3;
    for (int i = 0; i < kColorElements; ++i) {
        s.colors.slot[i].colour = RGB(i, 2 * i, 200);
        s.colors.slot[i].shadow = i % 2;
        s.colors.slot[i].shadowColour = RGB(100, i, 3 * i);
    }
    for (int i = 0; i < kFontElements; ++i)
        s.fonts.slot[i].configured = Font(-20 - i, i == 1 ? "Courier New" : "Tahoma");
    s.skin = {1, "skin.png"};
    s.mask = {MASK_COLOR, 9, 11, RGB(1, 2, 3), "mask.bmp"};
    SaveSettings(1);

    const DividerSettings dividers = s.divid;
    ResetAppState();
    std::strcpy(App().settingsPath, settingsPath.c_str());
    LoadSettings(1);
    const AppState& t = App();
    EXPECT_STREQ(themePath.c_str(), t.themePath);
    EXPECT_EQ(dividers.enable, t.divid.enable);
    EXPECT_EQ(dividers.fan, t.divid.fan);
    for (int i = 0; i < kVoltCount; ++i)
        EXPECT_DOUBLE_EQ(dividers.in[i], t.divid.in[i]) << i;
    for (int i = 0; i < kVoltCount; ++i) {
        EXPECT_EQ(i % 2, t.show.in[i]);
        EXPECT_EQ("V" + std::to_string(i), t.labels.in[i]);
    }
    for (int i = 0; i < kFanCount; ++i) {
        EXPECT_EQ(0, t.show.fan[i]);
        EXPECT_EQ("F" + std::to_string(i), t.labels.fan[i]);
    }
    EXPECT_EQ(0, t.show.temp[1]);
    EXPECT_EQ(1, t.show.temp[0]);
    EXPECT_EQ(0, t.coreTemp.enable);
    EXPECT_EQ(95, t.coreTemp.tjmax);
    EXPECT_EQ(0, t.coreTemp.balloon);
    EXPECT_STREQ("Cores", t.coreTemp.title);
    EXPECT_EQ(2, t.coreTemp.icon);
    EXPECT_EQ(12u, t.timer);
    EXPECT_EQ(-1, t.x);  // only both -1 centre the window: 100 stays a real position
    EXPECT_EQ(100, t.y);
    EXPECT_EQ(1, t.stable);
    EXPECT_EQ(1, t.layoutEnable);
    EXPECT_STREQ("C:\\layouts\\tall.vkl", t.layoutPath);
    EXPECT_EQ(0, t.labels.line);
    EXPECT_STREQ("Volts", t.labels.inTitle);
    EXPECT_EQ(0, t.units.enable);
    EXPECT_STREQ("pc", t.units.pwm);
    EXPECT_EQ(-3, t.colors.shadowOffset);
    for (int i = 0; i < kColorElements; ++i) {
        EXPECT_EQ(RGB(i, 2 * i, 200), t.colors.slot[i].colour) << i;
        EXPECT_EQ(i % 2, t.colors.slot[i].shadow) << i;
        EXPECT_EQ(RGB(100, i, 3 * i), t.colors.slot[i].shadowColour) << i;
    }
    for (int i = 0; i < kFontElements; ++i) {
        EXPECT_EQ(-20 - i, t.fonts.slot[i].configured.lfHeight) << i;
        EXPECT_STREQ(i == 1 ? "Courier New" : "Tahoma", t.fonts.slot[i].configured.lfFaceName);
    }
    EXPECT_EQ(1, t.skin.enable);
    EXPECT_STREQ("skin.png", t.skin.fileName);
    EXPECT_EQ(static_cast<unsigned>(MASK_COLOR), t.mask.mode);
    EXPECT_EQ(9, t.mask.width);
    EXPECT_EQ(11, t.mask.height);
    EXPECT_EQ(RGB(1, 2, 3), t.mask.color);
    EXPECT_STREQ("mask.bmp", t.mask.fileName);
}

// A chosen program with blanks keeps its quotes, a bound its digits.
TEST_F(SettingsTest, QuotedCommandsAndFineBoundsSurviveASaveAndALoad)
{
    LoadSettings(1);
    for (const char* command : {"\"C:\\Program Files\\n.exe\"", "\"C:\\a b\\n.exe\" %L", "n.exe \"%V\""}) {
        lstrcpynA(App().alarm.command, command, kPathSize);
        App().alarm.tempMax[1] = {1, 79.6};
        ASSERT_TRUE(SaveSettings(1) == 0);
        App().alarm.command[0] = '\0';
        App().alarm.tempMax[1] = {};
        LoadSettings(1);
        EXPECT_STREQ(command, App().alarm.command);
        EXPECT_DOUBLE_EQ(79.6, App().alarm.tempMax[1].value);
    }
}

TEST_F(SettingsTest, SavingTheThemeAloneLeavesTheSettingsFileUntouched)
{
    const std::string original = "[Config]\r\nFileName=elsewhere.vkt\r\nDebug=1\r\n[Mine]\r\nKept=yes\r\n";
    WriteWholeFile(settingsPath, original);
    std::strcpy(App().themePath, themePath.c_str());
    App().divid.enable = 1;
    SaveSettings(0);
    EXPECT_EQ(original, ReadWholeFile(settingsPath));
    EXPECT_EQ(ExpectedThemeKeys(), KeysOf(ReadWholeFile(themePath)));
}

TEST_F(SettingsTest, LineEndingsDoNotChangeWhatIsRead)
{
    const char* lines[] = {"[Global]", "Timer=9", "X=12", "[Labels]", "Temp1=Board", "[Colors]", "Line=1,2,3",
                           "[Fonts]", "Label=-13,0,0,0,400,0,0,0,128,0,0,0,0,Gothic"};
    for (const char* ending : {"\r\n", "\n"}) {
        std::string text;
        for (const char* line : lines)
            text += std::string(line) + ending;
        ResetAppState();
        std::strcpy(App().themePath, themePath.c_str());
        WriteWholeFile(themePath, text);
        LoadSettings(0);
        const char* name = ending[0] == '\r' ? "CRLF" : "LF";
        EXPECT_EQ(9u, App().timer) << name;
        EXPECT_EQ(12, App().x) << name;
        EXPECT_STREQ("Board", App().labels.temp[1]) << name;
        EXPECT_EQ(RGB(1, 2, 3), App().colors.slot[kColorLine].colour) << name;
        EXPECT_EQ(128, App().fonts.slot[kFontLabel].configured.lfCharSet) << name;
        EXPECT_STREQ("Gothic", App().fonts.slot[kFontLabel].configured.lfFaceName) << name;
    }
}

TEST_F(SettingsTest, GarbageAroundValidKeysIsPassedOver)
{
    std::string text = "\x81\x40\xFE\xFF junk without equals\r\n[Global\r\n=novalue\r\n"
                       "[Global]\r\nTimer=7 seconds\r\nY=\xE3\x81\x82\r\n" +
                       std::string(20000, 'z') + "\r\n[Labels]\r\nIn0=" + std::string(70000, '9') +
                       "\r\nFan=\x93\xFA\x96\x7B\x8C\xEA\r\n[Colors]\r\nBack=,,\r\nLine=1;2;3\r\n";
    WriteWholeFile(themePath, text);
    std::strcpy(App().themePath, themePath.c_str());
    App().colors.slot[kColorBack].colour = RGB(4, 5, 6);
    LoadSettings(0);
    EXPECT_EQ(7u, App().timer);
    EXPECT_EQ(0, App().y);  // a value without digits reads as 0
    EXPECT_STREQ("9999999", App().labels.in[0]);
    EXPECT_STREQ("\x93\xFA\x96\x7B\x8C\xEA", App().labels.fanTitle);
    EXPECT_EQ(RGB(4, 5, 6), App().colors.slot[kColorBack].colour);
    EXPECT_EQ(RGB(1, 0, 0), App().colors.slot[kColorLine].colour);
}

TEST_F(SettingsTest, RandomBytesLoadWithinTheLimits)
{
    std::string bytes;
    unsigned int seed = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(seed >> 16));
    }
    WriteWholeFile(settingsPath, bytes);
    WriteWholeFile(themePath, bytes);
    LoadSettings(1);
    std::strcpy(App().themePath, themePath.c_str());
    LoadSettings(0);
    EXPECT_GE(App().timer, 1u);
    EXPECT_LE(App().timer, 60u);
    EXPECT_LT(std::strlen(App().labels.in[8]), 8u);
    EXPECT_LT(std::strlen(App().labels.fanTitle), 16u);
    EXPECT_LT(std::strlen(App().coreTemp.title), 32u);
}

}  // namespace
