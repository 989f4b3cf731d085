#include "display/straighttext.h"

#include <cstring>

#include "foundation/gdiwrap.h"

namespace {

// What a reading can hold: digits, signs, point and the usual units.
const char kSample[] = "-0123456789.%CMPRVW";
const int kSampleLength = sizeof kSample - 1;
// The probe's cells in three rows, drawn middle, bottom, top: the steps
// between them go back to the left and down, then up and to the right, as
// between the rows and columns of a panel.
const int kProbeCells = 3;
const int kProbeRow[kProbeCells] = {1, 2, 0};
const int kProbeColumn[kProbeCells] = {0, 0, 1};
// Characters that one ExtTextOutA of DrawPlacedTexts takes.
const int kRunLength = 256;

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

    // Draws the sample through DrawTextA in each cell, or with
    // DrawPlacedTexts at each point, on white; blank with neither.
    void Draw(const RECT* cells, const POINT* points, const Advances* advances)
    {
        PatBlt(dc_.Get(), 0, 0, width_, height_, WHITENESS);
        if (points) {
            PlacedText placed[kProbeCells];
            for (int i = 0; i < kProbeCells; ++i)
                placed[i] = PlacedText{kSample, points[i]};
            DrawPlacedTexts(dc_.Get(), *advances, placed, kProbeCells, 0);
        } else if (cells) {
            for (int i = 0; i < kProbeCells; ++i) {
                RECT r = cells[i];
                DrawTextA(dc_.Get(), kSample, kSampleLength, &r, kValueFormat);
            }
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

bool FindOffset(HDC like, HFONT font, const Advances& advances, int lineHeight, int height, int* offset)
{
    // Room around each cell for overhangs, and for a line taller than it.
    const int margin = lineHeight + 4;
    const int width = AdvanceWidth(advances, kSample);
    if (width <= 0)
        return false;
    const int across = width + 3 * margin, tall = kProbeCells * (height + margin) + margin;
    Scratch reference(like, font, across, tall), trial(like, font, across, tall);
    if (!reference.Valid() || !trial.Valid())
        return false;
    RECT cells[kProbeCells];
    for (int i = 0; i < kProbeCells; ++i) {
        const int left = margin * (1 + kProbeColumn[i]), top = margin + kProbeRow[i] * (height + margin);
        cells[i] = RECT{left, top, left + width, top + height};
    }
    reference.Draw(cells, nullptr, nullptr);
    trial.Draw(nullptr, nullptr, nullptr);
    if (trial.Same(reference))
        return false;  // no ink: nothing to compare
    // Centred as (h - cy) / 2 or as h / 2 - cy / 2 below the top; they
    // differ by a pixel for some heights.
    const int rules[2] = {(height - lineHeight) / 2, height / 2 - lineHeight / 2};
    for (int rule : rules) {
        POINT points[kProbeCells];
        for (int i = 0; i < kProbeCells; ++i)
            points[i] = POINT{cells[i].right - width, cells[i].top + rule};
        trial.Draw(nullptr, points, &advances);
        if (trial.Same(reference)) {
            *offset = rule;
            return true;
        }
    }
    return false;
}

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
    // Each character's advance against the system's measure of the line up
    // to it.
    char all[kPrintableCount];
    for (int i = 0; i < kPrintableCount; ++i)
        all[i] = static_cast<char>(kFirstPrintable + i);
    INT ends[kPrintableCount] = {};
    SIZE size = {};
    if (!GetTextExtentExPointA(dc, all, kPrintableCount, 0, nullptr, ends, &size))
        return;
    int sum = 0;
    for (int i = 0; i < kPrintableCount; ++i) {
        sum += advances->width[i];
        if (ends[i] != sum)
            return;
    }
    advances->exact = size.cx == sum;
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

void DrawPlacedTexts(HDC dc, const Advances& advances, const PlacedText* texts, int count, int d)
{
    char run[kRunLength];
    // For each character the step to the next one's origin: x to the right,
    // y up the font's vertical.
    INT steps[2 * kRunLength];
    int used = 0;
    POINT start = {0, 0}, pen = {0, 0};
    for (int i = 0; i < count; ++i) {
        const char* text = texts[i].text;
        const int length = lstrlenA(text);
        if (length > kRunLength || AdvanceWidth(advances, text) < 0) {  // drawn alone
            ExtTextOutA(dc, texts[i].at.x + d, texts[i].at.y + d, 0, nullptr, text, length, nullptr);
            continue;
        }
        if (used + length > kRunLength) {
            ExtTextOutA(dc, start.x + d, start.y + d, ETO_PDY, nullptr, run, used, steps);
            used = 0;
        }
        if (!length)
            continue;
        if (used) {
            steps[2 * used - 2] += texts[i].at.x - pen.x;
            steps[2 * used - 1] = pen.y - texts[i].at.y;
        } else {
            start = texts[i].at;
        }
        pen = texts[i].at;
        for (int k = 0; k < length; ++k, ++used) {
            const int advance = advances.width[static_cast<unsigned char>(text[k]) - kFirstPrintable];
            run[used] = text[k];
            steps[2 * used] = advance;
            steps[2 * used + 1] = 0;
            pen.x += advance;
        }
    }
    if (used)
        ExtTextOutA(dc, start.x + d, start.y + d, ETO_PDY, nullptr, run, used, steps);
}

bool CentringCache::Offset(HDC like, HFONT font, const Advances& advances, unsigned epoch, int lineHeight,
                           int height, int* offset)
{
    for (const Entry& c : entries) {
        if (c.font == font && c.epoch == epoch && c.lineHeight == lineHeight && c.height == height) {
            *offset = c.offset;
            return c.found;
        }
    }
    Entry& slot = entries[next];
    next = (next + 1) % kEntries;
    slot = Entry{font, epoch, lineHeight, height, false, 0};
    slot.found = FindOffset(like, font, advances, lineHeight, height, &slot.offset);
    *offset = slot.offset;
    return slot.found;
}
