#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "display/straighttext.h"
#include "foundation/gdiwrap.h"

namespace {

// A white 32-bit surface with a font selected.
struct Surface {
    Surface(int lfHeight, int w, int h) : width(w), height(h)
    {
        LOGFONTA lf = {};
        lf.lfHeight = lfHeight;
        lstrcpyA(lf.lfFaceName, "Tahoma");
        font.Reset(CreateFontIndirectA(&lf));
        dc.Reset(CreateCompatibleDC(nullptr));
        old = SaveDC(dc.Get());
        BITMAPINFO info = TopDownBitmapInfo(w, h);
        bitmap.Reset(CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        SelectObject(dc.Get(), bitmap.Get());
        SelectObject(dc.Get(), font.Get());
        SetBkMode(dc.Get(), TRANSPARENT);
        PatBlt(dc.Get(), 0, 0, w, h, WHITENESS);
    }
    ~Surface() { RestoreDC(dc.Get(), old); }
    std::string Pixels() const
    {
        GdiFlush();
        return std::string(static_cast<const char*>(bits), static_cast<size_t>(width) * height * 4);
    }
    // Destroyed in reverse: the context lets go of the bitmap and font first.
    FontOwner font;
    BitmapOwner bitmap;
    MemoryDcOwner dc;
    void* bits = nullptr;
    int old = 0;
    int width, height;
};

TEST(StraightTextTest, AdvancesAddUpToTheMeasuredWidth)
{
    Surface s(-13, 1, 1);
    Advances advances;
    FillAdvances(s.dc.Get(), nullptr, &advances);
    ASSERT_TRUE(advances.exact);
    for (const char* text : {"", "1.20", "12345 RPM", "-0.5 V", "100%"}) {
        SIZE size = {};
        GetTextExtentPoint32A(s.dc.Get(), text, lstrlenA(text), &size);
        EXPECT_EQ(size.cx, AdvanceWidth(advances, text)) << text;
    }
    EXPECT_EQ(-1, AdvanceWidth(advances, "45\x81\x8E"));  // a double-byte unit
    EXPECT_EQ(-1, AdvanceWidth(advances, "1\t2"));
    advances.exact = false;
    EXPECT_EQ(-1, AdvanceWidth(advances, "1.20"));

    // From the font's ABC widths; one advance off by a pixel, made up by the
    // next, keeps the total but not the table.
    ABC abc[kPrintableCount];
    ASSERT_TRUE(GetCharABCWidthsA(s.dc.Get(), kFirstPrintable, kLastPrintable, abc));
    FillAdvances(s.dc.Get(), abc, &advances);
    EXPECT_TRUE(advances.exact);
    abc['1' - kFirstPrintable].abcB += 1;
    abc['2' - kFirstPrintable].abcB -= 1;
    FillAdvances(s.dc.Get(), abc, &advances);
    EXPECT_FALSE(advances.exact);
}

// Odd and even line heights in odd and even cells, and lines taller than
// their cell, with and without a shadow's shift: values drawn together at
// the offset found, each below the one before, land where DrawTextA puts
// each.
TEST(StraightTextTest, ValuesDrawnTogetherLandWhereDrawTextPutsThem)
{
    const char* const texts[] = {"2456 RPM", "1.20 V", "-12.5%"};
    const int lefts[] = {20, 10, 30}, tops[] = {10, 45, 80};
    for (int lfHeight : {-11, -12, -13, -14, -40}) {
        for (int cell : {12, 13, 14, 15}) {
            for (int d : {0, 2}) {
                Surface s(lfHeight, 200, 130);
                TEXTMETRICA tm = {};
                GetTextMetricsA(s.dc.Get(), &tm);
                Advances advances;
                FillAdvances(s.dc.Get(), nullptr, &advances);
                int offset = 0;
                CentringCache centrings;
                ASSERT_TRUE(centrings.Offset(s.dc.Get(), s.font.Get(), advances, 1, tm.tmHeight, cell, &offset))
                    << lfHeight << " in " << cell;
                PlacedText placed[3];
                for (int i = 0; i < 3; ++i) {
                    RECT r = {lefts[i] + d, tops[i] + d, lefts[i] + 150 + d, tops[i] + cell + d};
                    DrawTextA(s.dc.Get(), texts[i], -1, &r, kValueFormat);
                    const int left = lefts[i] + 150 - AdvanceWidth(advances, texts[i]);
                    placed[i] = PlacedText{texts[i], {left, tops[i] + offset}};
                }
                const std::string drawn = s.Pixels();
                PatBlt(s.dc.Get(), 0, 0, s.width, s.height, WHITENESS);
                DrawPlacedTexts(s.dc.Get(), advances, placed, 3, d);
                EXPECT_EQ(drawn, s.Pixels()) << lfHeight << " in " << cell << " shifted " << d;
            }
        }
    }
}

// Runs longer than one call takes, a text too long for any run and one the
// table cannot measure: every text lands where ExtTextOutA alone puts it.
TEST(StraightTextTest, LongAndUnmeasurableTextsLandWhereEachAloneGoes)
{
    Surface s(-12, 640, 480);
    Advances advances;
    FillAdvances(s.dc.Get(), nullptr, &advances);
    ASSERT_TRUE(advances.exact);
    std::string texts[42];
    PlacedText placed[42];
    for (int i = 0; i < 40; ++i) {  // 320 characters in all
        texts[i] = std::to_string(1000 + i * 37) + " RPM";
        placed[i] = PlacedText{nullptr, {10 + (i % 5) * 120, 10 + (i / 5) * 30 + (i % 3)}};
    }
    texts[40] = std::string(300, '7');
    placed[40].at = {2, 260};
    texts[41] = "45 \xB0" "C";
    placed[41].at = {300, 300};
    for (int i = 0; i < 42; ++i) {
        placed[i].text = texts[i].c_str();
        ExtTextOutA(s.dc.Get(), placed[i].at.x + 3, placed[i].at.y + 3, 0, nullptr, placed[i].text,
                    static_cast<UINT>(texts[i].size()), nullptr);
    }
    const std::string alone = s.Pixels();
    PatBlt(s.dc.Get(), 0, 0, s.width, s.height, WHITENESS);
    DrawPlacedTexts(s.dc.Get(), advances, placed, 42, 3);
    EXPECT_EQ(alone, s.Pixels());
}

}  // namespace
