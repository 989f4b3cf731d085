#include "display/straighttext.h"

#include <cstring>

#include "foundation/gdiwrap.h"

namespace {

// What a reading can hold: digits, signs, point and the usual units.
const char kSample[] = "-0123456789.%CMPRVW";
const int kSampleLength = sizeof kSample - 1;

bool Printable(unsigned char c)
{
    return c >= kFirstPrintable && c <= kLastPrintable;
}

// A white scratch surface that the sample is drawn on in black.
class Scratch {
public:
    Scratch(HDC like, HFONT font, int width, int height) : width_(width), height_(height)
    {
        dc_.Reset(CreateCompatibleDC(like));
        BITMAPINFO info = TopDownBitmapInfo(width, height);
        bitmap_.Reset(CreateDIBSection(like, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (!dc_.Valid() || !bitmap_.Valid() || !bits_)
            return;
        oldBitmap_ = SelectObject(dc_.Get(), bitmap_.Get());
        oldFont_ = SelectObject(dc_.Get(), font);
        SetBkMode(dc_.Get(), TRANSPARENT);
        SetTextColor(dc_.Get(), RGB(0, 0, 0));
    }
    ~Scratch()
    {
        if (oldFont_)
            SelectObject(dc_.Get(), oldFont_);
        if (oldBitmap_)
            SelectObject(dc_.Get(), oldBitmap_);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool Valid() const { return oldBitmap_ != nullptr; }
    HDC Dc() const { return dc_.Get(); }

    // Draws the sample through DrawTextA in a cell, or with ExtTextOutA at
    // a point, on white; leaves it blank with neither.
    void Draw(const RECT* cell, const POINT* at)
    {
        PatBlt(dc_.Get(), 0, 0, width_, height_, WHITENESS);
        if (at) {
            ExtTextOutA(dc_.Get(), at->x, at->y, 0, nullptr, kSample, kSampleLength, nullptr);
        } else if (cell) {
            RECT r = *cell;
            DrawTextA(dc_.Get(), kSample, kSampleLength, &r, kValueFormat);
        }
        GdiFlush();
    }

    // Compares the pixels in place: a copy on the heap would keep its size.
    bool Same(const Scratch& other) const
    {
        return std::memcmp(bits_, other.bits_, static_cast<size_t>(width_) * height_ * 4) == 0;
    }

private:
    MemoryDcOwner dc_;
    BitmapOwner bitmap_;
    void* bits_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    int width_, height_;
};

bool FindOffset(HDC like, HFONT font, int lineHeight, int height, int* offset)
{
    // Room around the cell for overhangs, and for a line taller than it.
    const int margin = lineHeight + 4;
    Scratch probe(like, font, 1, 1);
    SIZE size = {};
    if (!probe.Valid() || !GetTextExtentPoint32A(probe.Dc(), kSample, kSampleLength, &size))
        return false;
    const int width = size.cx + 2 * margin, tall = height + 2 * margin;
    Scratch reference(like, font, width, tall), trial(like, font, width, tall);
    if (!reference.Valid() || !trial.Valid())
        return false;
    const RECT cell = {margin, margin, margin + size.cx, margin + height};
    reference.Draw(&cell, nullptr);
    trial.Draw(nullptr, nullptr);
    if (trial.Same(reference))
        return false;  // no ink: nothing to compare
    // Centred as (h - cy) / 2 or as h / 2 - cy / 2 below the top; they
    // differ by a pixel for some heights.
    const int rules[2] = {(height - lineHeight) / 2, height / 2 - lineHeight / 2};
    for (int rule : rules) {
        const POINT at = {cell.right - size.cx, cell.top + rule};
        trial.Draw(nullptr, &at);
        if (trial.Same(reference)) {
            *offset = rule;
            return true;
        }
    }
    return false;
}

struct Centring {
    HFONT font;
    unsigned epoch;
    int lineHeight, height;
    bool found;
    int offset;
};
const int kCentrings = 8;  // a few cell heights, for the value font and the one before it
Centring centrings[kCentrings];
int nextCentring;

}  // namespace

void FillAdvances(HDC dc, const ABC* abc, Advances* advances)
{
    advances->exact = false;
    if (abc) {
        for (int i = 0; i < kPrintableCount; ++i)
            advances->width[i] = abc[i].abcA + static_cast<int>(abc[i].abcB) + abc[i].abcC;
    } else if (!GetCharWidth32A(dc, kFirstPrintable, kLastPrintable, advances->width)) {
        return;
    }
    char all[kPrintableCount];
    int sum = 0;
    for (int i = 0; i < kPrintableCount; ++i) {
        all[i] = static_cast<char>(kFirstPrintable + i);
        sum += advances->width[i];
    }
    SIZE size = {};
    advances->exact = GetTextExtentPoint32A(dc, all, kPrintableCount, &size) && size.cx == sum;
}

int AdvanceWidth(const Advances& advances, const char* text)
{
    if (!advances.exact)
        return -1;
    int width = 0;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (!Printable(*c))
            return -1;
        width += advances.width[*c - kFirstPrintable];
    }
    return width;
}

bool CentredOffset(HDC like, HFONT font, unsigned epoch, int lineHeight, int height, int* offset)
{
    for (const Centring& c : centrings) {
        if (c.font == font && c.epoch == epoch && c.lineHeight == lineHeight && c.height == height) {
            *offset = c.offset;
            return c.found;
        }
    }
    Centring& slot = centrings[nextCentring];
    nextCentring = (nextCentring + 1) % kCentrings;
    slot = Centring{font, epoch, lineHeight, height, false, 0};
    slot.found = FindOffset(like, font, lineHeight, height, &slot.offset);
    *offset = slot.offset;
    return slot.found;
}
