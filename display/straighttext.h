#pragma once
// Right-aligned, vertically centred single lines drawn together with one
// ExtTextOutA where that puts every pixel where DrawTextA would, and the
// widths of printable single-byte texts added up from a font's advances. DrawTextA
// measures the text and asks the font's metrics again at every call; a
// redraw that knows both already saves those calls.

#include <windows.h>

const UINT kFirstPrintable = 0x20, kLastPrintable = 0x7E;
// How the panel draws a value in its cell.
const UINT kValueFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
const int kPrintableCount = kLastPrintable - kFirstPrintable + 1;

// The advance widths of a font's printable single-byte characters, usable
// only where each line of them, first to last, measures as they add up.
struct Advances {
    bool exact;
    int width[kPrintableCount];
};

// From the ABC widths of the font selected into dc (abc may be null when the
// font has none); checks them against the system's measure of the line of
// all of them, character by character.
void FillAdvances(HDC dc, const ABC* abc, Advances* advances);

// The width of text from the table; -1 when the table is not exact or the
// text holds anything but printable single-byte characters.
int AdvanceWidth(const Advances& advances, const char* text);

// A text and where its line starts: the left end of its top.
struct PlacedText {
    const char* text;
    POINT at;
};

// Draws texts at their points, all shifted by d in x and y, in the colour
// and font of dc, whose advances are given: one ExtTextOutA for all of them
// (ETO_PDY carries the step from each text to the next), more only where
// they hold more characters than one call takes. A text that the table
// cannot measure is drawn alone with a plain ExtTextOutA, before the run;
// only texts the table measures are placed as DrawTextA places them.
void DrawPlacedTexts(HDC dc, const Advances& advances, const PlacedText* texts, int count, int d);

// Where DrawTextA with DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP |
// DT_NOPREFIX puts the top of a line of font (line height lineHeight, the
// advances given) in a cell height pixels high: offset below the cell's
// top. It is found by drawing a sample in three cells both ways, with
// DrawTextA and with DrawPlacedTexts, once per font and height and kept
// for a few of them; false when neither known rule gives DrawTextA's
// pixels, and the caller keeps DrawTextA. like gives the surface format;
// epoch tells a font's measures apart, and advances must be the font's
// measures of that epoch.
class CentringCache {
public:
    bool Offset(HDC like, HFONT font, const Advances& advances, unsigned epoch, int lineHeight, int height,
                int* offset);

private:
    struct Entry {
        HFONT font;
        unsigned epoch;
        int lineHeight, height;
        bool found;
        int offset;
    };
    static const int kEntries = 8;  // a few cell heights, for the value font and the one before it
    Entry entries[kEntries] = {};
    int next = 0;
};
