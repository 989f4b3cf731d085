#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/inifile.h"
#include "support/tempdir.h"

namespace {

class IniFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(1, ini.Open(path.c_str())); }

    // The raw text of the file, to check the exact form of what was written.
    std::string Raw() const { return ReadWholeFile(path); }

    TempDir dir;
    std::string path = dir.File("test.ini");
    INIFILE ini;
};

TEST(IniFileBinding, AnEmptyPathBindsNothing)
{
    TempDir dir;
    INIFILE ini;
    EXPECT_EQ(0, ini.Open(""));
    EXPECT_EQ(0, ini.Open(nullptr));
    int value = 42;
    EXPECT_EQ(0, ini.Read("S", "K", 7, &value));
    EXPECT_EQ(42, value);
    char text[8] = "keep";
    EXPECT_EQ(0, ini.Read("S", "K", "d", text, sizeof text));
    EXPECT_STREQ("keep", text);
    EXPECT_EQ(0, ini.Write("S", "K", 1));
    EXPECT_EQ(0, ini.Create("S"));
}

TEST(IniFileBinding, CloseAndFailedOpenUnbind)
{
    TempDir dir;
    INIFILE ini;
    ASSERT_EQ(1, ini.Open(dir.File("a.ini").c_str()));
    ini.Close();
    EXPECT_EQ(0, ini.Write("S", "K", 1));
    ASSERT_EQ(1, ini.Open(dir.File("a.ini").c_str()));
    EXPECT_EQ(0, ini.Open(""));
    EXPECT_EQ(0, ini.Write("S", "K", 1));
    EXPECT_FALSE(FileExists(dir.File("a.ini")));
}

TEST(IniFileBinding, CopiesAreIndependent)
{
    TempDir dir;
    INIFILE a;
    ASSERT_EQ(1, a.Open(dir.File("a.ini").c_str()));
    INIFILE b(a);
    INIFILE c;
    c = a;
    a.Close();
    EXPECT_EQ(1, b.Write("S", "K", 1));
    EXPECT_EQ(1, c.Write("S", "L", 2));
    int value = 0;
    EXPECT_EQ(1, b.Read("S", "L", 0, &value));
    EXPECT_EQ(2, value);
}

TEST(IniFileBinding, OpenLocalBindsBesideTheExecutable)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string expected = exe;
    expected = expected.substr(0, expected.rfind('\\') + 1) + "vk_openlocal_test.ini";
    DeleteFileA(expected.c_str());

    INIFILE ini;
    ASSERT_EQ(1, ini.OpenLocal("vk_openlocal_test.ini"));
    EXPECT_EQ(1, ini.Write("S", "K", 5));
    EXPECT_TRUE(FileExists(expected));
    DeleteFileA(expected.c_str());

    std::string tooLong(1100, 'n');
    EXPECT_EQ(0, ini.OpenLocal(tooLong.c_str()));
    EXPECT_EQ(0, ini.Write("S", "K", 5));
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndAWriteCreatesIt)
{
    int value = 0;
    EXPECT_EQ(1, ini.Read("S", "K", 7, &value));
    EXPECT_EQ(7, value);
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(1, ini.Write("S", "K", 3));
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(1, ini.Read("S", "K", 7, &value));
    EXPECT_EQ(3, value);
}

TEST_F(IniFileTest, HexadecimalFormsReadBack)
{
    ini.Write("S", "Byte", static_cast<unsigned char>(10));
    ini.Write("S", "Word", static_cast<unsigned short>(0x0a0b));
    ini.Write("S", "Long", 255ul);
    std::string raw = Raw();
    EXPECT_NE(std::string::npos, raw.find("Byte=0x0a"));
    EXPECT_NE(std::string::npos, raw.find("Word=0x0a0b"));
    EXPECT_NE(std::string::npos, raw.find("Long=0x000000ff"));

    unsigned char b = 0;
    unsigned short w = 0;
    unsigned long l = 0;
    ini.Read("S", "Byte", static_cast<unsigned char>(0), &b);
    ini.Read("S", "Word", static_cast<unsigned short>(0), &w);
    ini.Read("S", "Long", 0ul, &l);
    EXPECT_EQ(10, b);
    EXPECT_EQ(0x0a0b, w);
    EXPECT_EQ(255ul, l);
}

TEST_F(IniFileTest, SignedFormsAndNarrowing)
{
    ini.Write("S", "Short", static_cast<short>(-3));
    ini.Write("S", "Int", -1);
    ini.Write("S", "Unsigned", 4000000000u);
    ini.Write("S", "LongV", 42l);
    ini.Write("S", "Wide", 0x12345);
    std::string raw = Raw();
    EXPECT_NE(std::string::npos, raw.find("Short=-3"));
    EXPECT_NE(std::string::npos, raw.find("Int=-1"));
    EXPECT_NE(std::string::npos, raw.find("Unsigned=4000000000"));
    EXPECT_NE(std::string::npos, raw.find("LongV=42"));

    short s = 0;
    int i = 0;
    unsigned int u = 0;
    long l = 0;
    unsigned short narrow = 0;
    unsigned char byte = 0;
    ini.Read("S", "Short", static_cast<short>(0), &s);
    ini.Read("S", "Int", 0, &i);
    ini.Read("S", "Unsigned", 0u, &u);
    ini.Read("S", "LongV", 0l, &l);
    ini.Read("S", "Wide", static_cast<unsigned short>(0), &narrow);
    ini.Read("S", "Wide", static_cast<unsigned char>(0), &byte);
    EXPECT_EQ(-3, s);
    EXPECT_EQ(-1, i);
    EXPECT_EQ(4000000000u, u);
    EXPECT_EQ(42, l);
    EXPECT_EQ(0x2345, narrow);
    EXPECT_EQ(0x45, byte);

    short def = 0;
    ini.Read("S", "Absent", static_cast<short>(-7), &def);
    EXPECT_EQ(-7, def);
}

TEST_F(IniFileTest, FloatingPointTexts)
{
    ini.Write("S", "Two", 2.0);
    ini.Write("S", "Float", 1.47f);
    ini.Write("S", "Bad", "abc");
    EXPECT_NE(std::string::npos, Raw().find("Two=2.000000"));
    EXPECT_NE(std::string::npos, Raw().find("Float=1.470000"));

    double d = -1.0;
    ini.Read("S", "Two", 9.0, &d);
    EXPECT_DOUBLE_EQ(2.0, d);
    ini.Read("S", "Bad", 9.0, &d);
    EXPECT_DOUBLE_EQ(0.0, d);
    ini.Read("S", "Absent", 1.47, &d);
    EXPECT_DOUBLE_EQ(1.47, d);
    float f = 0.0f;
    ini.Read("S", "Float", 0.0f, &f);
    EXPECT_FLOAT_EQ(1.47f, f);
}

TEST_F(IniFileTest, StringsAreCutToTheBuffer)
{
    ini.Write("S", "Name", "Temperature");
    char buffer[8];
    ini.Read("S", "Name", "x", buffer, sizeof buffer);
    EXPECT_STREQ("Tempera", buffer);
    ini.Read("S", "Absent", "dflt", buffer, sizeof buffer);
    EXPECT_STREQ("dflt", buffer);
}

TEST_F(IniFileTest, ColourForms)
{
    COLORREF c = RGB(255, 0, 128);
    ini.Write("S", "C", &c);
    EXPECT_NE(std::string::npos, Raw().find("C=255,0,128"));

    COLORREF unchanged = RGB(1, 2, 3);
    EXPECT_EQ(0, ini.Read("S", "Absent", &unchanged));
    EXPECT_EQ(RGB(1, 2, 3), unchanged);

    ini.Write("S", "Wrap", "300,-1,5");
    COLORREF wrapped = 0;
    EXPECT_EQ(1, ini.Read("S", "Wrap", &wrapped));
    EXPECT_EQ(RGB(44, 255, 5), wrapped);

    ini.Write("S", "Partial", "200,100");
    COLORREF partial = RGB(17, 34, 51);
    EXPECT_EQ(1, ini.Read("S", "Partial", &partial));
    EXPECT_EQ(RGB(200, 100, 51), partial);
}

TEST_F(IniFileTest, FontForms)
{
    LOGFONTA written = {};
    written.lfHeight = -19;
    written.lfWeight = 700;
    lstrcpyA(written.lfFaceName, "Arial");
    ini.Write("S", "F", &written);
    EXPECT_NE(std::string::npos, Raw().find("F=-19,0,0,0,700,0,0,0,0,0,0,0,0,Arial"));

    ini.Write("S", "Full", "-15,0,0,0,700,1,0,0,0,0,0,0,0,Arial");
    LOGFONTA f = {};
    EXPECT_EQ(1, ini.Read("S", "Full", &f));
    EXPECT_EQ(-15, f.lfHeight);
    EXPECT_EQ(700, f.lfWeight);
    EXPECT_EQ(1, f.lfItalic);
    EXPECT_STREQ("Arial", f.lfFaceName);

    ini.Write("S", "Short", "-12,0,0,0,400");
    EXPECT_EQ(1, ini.Read("S", "Short", &f));
    EXPECT_EQ(-12, f.lfHeight);
    EXPECT_EQ(400, f.lfWeight);
    EXPECT_EQ(1, f.lfItalic);           // beyond the numbers given: kept
    EXPECT_STREQ("400", f.lfFaceName);  // the text after the last comma

    lstrcpyA(f.lfFaceName, "Keep");
    ini.Write("S", "Trailing", "-10,0,0,0,300,0,0,0,128,");
    EXPECT_EQ(1, ini.Read("S", "Trailing", &f));
    EXPECT_EQ(128, f.lfCharSet);
    EXPECT_STREQ("Keep", f.lfFaceName);

    std::string longFace = "-10,0,0,0,300,0,0,0,0,0,0,0,0," + std::string(40, 'F');
    ini.Write("S", "Long", longFace.c_str());
    EXPECT_EQ(1, ini.Read("S", "Long", &f));
    EXPECT_EQ(31u, std::strlen(f.lfFaceName));

    LOGFONTA absent = f;
    EXPECT_EQ(0, ini.Read("S", "Absent", &absent));
    EXPECT_EQ(0, std::memcmp(&absent, &f, sizeof f));
}

TEST_F(IniFileTest, RectangleForms)
{
    RECT r = {0, 0, 100, 50};
    ini.Write("S", "R", &r);
    EXPECT_NE(std::string::npos, Raw().find("R=0,0,100,50"));
    RECT back = {};
    EXPECT_EQ(1, ini.Read("S", "R", &back));
    EXPECT_EQ(100, back.right);
    EXPECT_EQ(50, back.bottom);

    ini.Write("S", "Half", "5,6");
    RECT half = {1, 2, 3, 4};
    EXPECT_EQ(1, ini.Read("S", "Half", &half));
    EXPECT_EQ(5, half.left);
    EXPECT_EQ(6, half.top);
    EXPECT_EQ(3, half.right);
    EXPECT_EQ(4, half.bottom);
    EXPECT_EQ(0, ini.Read("S", "Absent", &half));
}

TEST_F(IniFileTest, CreateEmptiesASectionAndKeepsOthers)
{
    ini.Write("A", "K1", 1);
    ini.Write("A", "K2", 2);
    ini.Write("B", "K", 3);
    EXPECT_EQ(1, ini.Create("A"));
    int value = 0;
    ini.Read("A", "K1", -1, &value);
    EXPECT_EQ(-1, value);
    ini.Read("B", "K", -1, &value);
    EXPECT_EQ(3, value);
    EXPECT_NE(std::string::npos, Raw().find("[A]"));
}

TEST_F(IniFileTest, ReadsMatchSectionsAndKeysWithoutCase)
{
    WriteWholeFile(path, "[global]\r\ntimer = 0x10\r\n");
    int value = 0;
    ini.Read("Global", "Timer", 5, &value);
    EXPECT_EQ(16, value);
}

TEST_F(IniFileTest, RefusedWriteStillReportsSuccess)
{
    ini.Write("S", "K", 1);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(1, ini.Write("S", "K", 2));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    INIFILE bad;
    bad.Open((dir.Path() + "\\no\\such\\dir\\x.ini").c_str());
    EXPECT_EQ(1, bad.Write("S", "K", 2));
}

}  // namespace
