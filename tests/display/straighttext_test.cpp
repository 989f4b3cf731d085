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
}

// Odd and even line heights in odd and even cells, and lines taller than
// their cell: drawn straight at the offset found, a value lands where
// DrawTextA puts it.
TEST(StraightTextTest, TheOffsetFoundIsWhereDrawTextPutsTheLine)
{
    const char* const text = "2456 RPM";
    for (int lfHeight : {-11, -12, -13, -14, -40}) {
        for (int cell : {12, 13, 14, 15}) {
            Surface s(lfHeight, 160, 120);
            TEXTMETRICA tm = {};
            GetTextMetricsA(s.dc.Get(), &tm);
            int offset = 0;
            ASSERT_TRUE(CentredOffset(s.dc.Get(), s.font.Get(), 1, tm.tmHeight, cell, &offset))
                << lfHeight << " in " << cell;
            RECT r = {20, 50, 140, 50 + cell};
            DrawTextA(s.dc.Get(), text, -1, &r, kValueFormat);
            const std::string drawn = s.Pixels();
            PatBlt(s.dc.Get(), 0, 0, s.width, s.height, WHITENESS);
            SIZE size = {};
            GetTextExtentPoint32A(s.dc.Get(), text, lstrlenA(text), &size);
            ExtTextOutA(s.dc.Get(), r.right - size.cx, r.top + offset, 0, nullptr, text, lstrlenA(text),
                        nullptr);
            EXPECT_EQ(drawn, s.Pixels()) << lfHeight << " in " << cell;
        }
    }
}

}  // namespace
