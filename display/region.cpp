#include "display/region.h"

#include <cstring>

#include "display/commands.h"
#include "foundation/gdiwrap.h"

namespace {

const char kRegionSuffix[] = ".RGN";
const int kRectsPerPiece = 32;  // cheap for the platform to join in one call
const ULONGLONG kRegionFileCeiling = 64ull * 1024 * 1024;
const DWORD kBlack = 0;
const DWORD kColourBits = 0x00FFFFFF;

static_assert(sizeof(RGNDATAHEADER) == 32, "the region file starts with the 32-byte header");
static_assert(sizeof(RECT) == 16, "rectangles of four 32-bit integers");

// The non-black runs of one row, with the extra column x = width.
void RowRuns(const DWORD* row, int width, std::vector<RECT>* runs, int y)
{
    runs->clear();
    int x = 0;
    while (x < width) {
        while (x < width && (row[x] & kColourBits) == kBlack)
            ++x;
        if (x == width)
            break;
        int start = x;
        while (x < width && (row[x] & kColourBits) != kBlack)
            ++x;
        runs->push_back(RECT{start, y, x, y + 1});
    }
    if (!runs->empty() && runs->back().right == width)
        runs->back().right = width + 1;
    else
        runs->push_back(RECT{width, y, width + 1, y + 1});
}

bool SameRuns(const std::vector<RECT>& a, const std::vector<RECT>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].left != b[i].left || a[i].right != b[i].right)
            return false;
    return true;
}

HRGN PieceRegion(const RECT* rects, size_t count)
{
    std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
    auto* region = reinterpret_cast<RGNDATA*>(data.data());
    RECT bound = rects[0];
    for (size_t i = 1; i < count; ++i) {
        bound.left = rects[i].left < bound.left ? rects[i].left : bound.left;
        bound.top = rects[i].top < bound.top ? rects[i].top : bound.top;
        bound.right = rects[i].right > bound.right ? rects[i].right : bound.right;
        bound.bottom = rects[i].bottom > bound.bottom ? rects[i].bottom : bound.bottom;
    }
    region->rdh.dwSize = sizeof(RGNDATAHEADER);
    region->rdh.iType = RDH_RECTANGLES;
    region->rdh.nCount = static_cast<DWORD>(count);
    region->rdh.nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
    region->rdh.rcBound = bound;
    std::memcpy(region->Buffer, rects, count * sizeof(RECT));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), region);
}

// Whether the bytes are a region of the one kind the program writes.
bool WellFormed(const std::vector<unsigned char>& bytes)
{
    if (bytes.size() < sizeof(RGNDATAHEADER))
        return false;
    RGNDATAHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (header.dwSize != sizeof(RGNDATAHEADER) || header.iType != RDH_RECTANGLES)
        return false;
    if (bytes.size() != sizeof(RGNDATAHEADER) + static_cast<ULONGLONG>(header.nCount) * sizeof(RECT))
        return false;
    const auto* rects = reinterpret_cast<const RECT*>(bytes.data() + sizeof(RGNDATAHEADER));
    for (DWORD i = 0; i < header.nCount; ++i)
        if (rects[i].right <= rects[i].left || rects[i].bottom <= rects[i].top)
            return false;
    return true;
}

}  // namespace

std::vector<RECT> MaskRectangles(const DWORD* pixels, int width, int height)
{
    std::vector<RECT> rects;
    std::vector<RECT> runs, previous;
    size_t band = 0;  // first rectangle of the band being built
    for (int y = 0; y <= height; ++y) {
        if (y < height)
            RowRuns(pixels + static_cast<size_t>(y) * width, width, &runs, y);
        else
            runs.assign(1, RECT{0, y, width + 1, y + 1});  // the extra row
        if (y > 0 && SameRuns(runs, previous)) {
            for (size_t i = band; i < rects.size(); ++i)
                rects[i].bottom = y + 1;
            continue;
        }
        band = rects.size();
        rects.insert(rects.end(), runs.begin(), runs.end());
        previous.swap(runs);
    }
    return rects;
}

HRGN RegionFromRectangles(const std::vector<RECT>& rects)
{
    if (rects.empty())
        return CreateRectRgn(0, 0, 0, 0);
    std::vector<HRGN> pieces;
    for (size_t at = 0; at < rects.size(); at += kRectsPerPiece) {
        size_t count = rects.size() - at < static_cast<size_t>(kRectsPerPiece) ? rects.size() - at
                                                                              : kRectsPerPiece;
        pieces.push_back(PieceRegion(rects.data() + at, count));
    }
    bool ok = true;
    for (HRGN piece : pieces)
        ok = ok && piece;
    while (ok && pieces.size() > 1) {
        std::vector<HRGN> joined;
        for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
            ok = ok && CombineRgn(pieces[i], pieces[i], pieces[i + 1], RGN_OR) != ERROR;
            DeleteObject(pieces[i + 1]);
            joined.push_back(pieces[i]);
        }
        if (pieces.size() % 2)
            joined.push_back(pieces.back());
        pieces.swap(joined);
    }
    if (!ok) {
        for (HRGN piece : pieces)
            if (piece)
                DeleteObject(piece);
        return nullptr;
    }
    return pieces[0];
}

HRGN MaskRegion(HDC dc, HBITMAP bitmap, int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    // The pixels are read with the bitmap out of its device context.
    BitmapOwner placeholder(CreateCompatibleBitmap(dc, 1, 1));
    if (!placeholder.Valid())
        return nullptr;
    HGDIOBJ selected = SelectObject(dc, placeholder.Get());
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    int rows = GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    SelectObject(dc, selected);
    if (rows != height)
        return nullptr;
    return RegionFromRectangles(MaskRectangles(pixels.data(), width, height));
}

bool StretchMaskFile(const char* maskFile, int width, int height, WINMEMDC* surface)
{
    WINBMP mask;
    if (!mask.LoadBitmapFile(maskFile) || !surface->CreateSurface(nullptr, width, height))
        return false;
    HDC dc = surface->dc.Get();
    SetStretchBltMode(dc, BLACKONWHITE);  // black survives a reduction
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, width, height, mask.dc.Get(), 0, 0, mask.info.bmWidth,
               mask.info.bmHeight, SRCCOPY);
    return true;
}

bool BuildBitmapRegion(const RECT& rect, HWND window, const char* maskFile, const char* regionFile)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    WINMEMDC surface;
    if (!StretchMaskFile(maskFile, width, height, &surface))
        return false;
    RegionOwner region(MaskRegion(surface.dc.Get(), surface.bitmap.Get(), width, height));
    if (!region.Valid())
        return false;
    if (regionFile && *regionFile)
        SaveRegionFile(regionFile, region.Get());
    if (!SetWindowRgn(window, region.Get(), TRUE))
        return false;
    region.Detach();  // the window owns it now
    return true;
}

DWORD WINAPI RegionWorker(LPVOID parameter)
{
    RegionJob job = *static_cast<const RegionJob*>(parameter);
    SetEvent(job.done);  // from here on the caller's block may vanish
    RECT rect = {job.left, job.top, job.right, job.bottom};
    bool built = BuildBitmapRegion(rect, job.window, job.maskFile, job.regionFile);
    PostCommand(job.window, ID_REGION_READY, built ? 1 : 0);
    return 0;
}

bool SaveRegionFile(const char* fileName, HRGN region)
{
    DWORD size = GetRegionData(region, 0, nullptr);
    if (size == 0)
        return false;
    std::vector<unsigned char> data(size);
    DWORD filled = GetRegionData(region, size, reinterpret_cast<RGNDATA*>(data.data()));
    if (filled == 0 || filled > size)
        return false;
    FileOwner file(CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), data.data(), filled, &written, nullptr) && written == filled;
}

HRGN LoadRegionFile(const char* fileName, ULONGLONG maxBytes)
{
    FileOwner file(CreateFileA(fileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return nullptr;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<ULONGLONG>(size.QuadPart) > maxBytes ||
        static_cast<ULONGLONG>(size.QuadPart) > kRegionFileCeiling)
        return nullptr;
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size() || !WellFormed(bytes))
        return nullptr;
    // In pieces, like a fresh build: one call for every rectangle of a large
    // region would take the platform seconds.
    const auto* first = reinterpret_cast<const RECT*>(bytes.data() + sizeof(RGNDATAHEADER));
    const size_t count = (bytes.size() - sizeof(RGNDATAHEADER)) / sizeof(RECT);
    return count ? RegionFromRectangles(std::vector<RECT>(first, first + count)) : nullptr;
}

ULONGLONG RegionFileLimit(int width, int height)
{
    const ULONGLONG w = width > 0 ? static_cast<ULONGLONG>(width) + 1 : 1;
    const ULONGLONG h = height > 0 ? static_cast<ULONGLONG>(height) + 1 : 1;
    const ULONGLONG limit = sizeof(RGNDATAHEADER) + sizeof(RECT) * w * h;
    return limit < kRegionFileCeiling ? limit : kRegionFileCeiling;
}

bool RegionFileName(const char* maskFile, char* regionFile)
{
    const size_t length = std::strlen(maskFile);
    if (length + sizeof kRegionSuffix > static_cast<size_t>(kPathSize))
        return false;
    std::memcpy(regionFile, maskFile, length);
    std::memcpy(regionFile + length, kRegionSuffix, sizeof kRegionSuffix);
    return true;
}
