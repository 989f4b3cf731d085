#include "display/region.h"

#include <cstring>
#include <memory>
#include <new>

#include "display/commands.h"
#include "foundation/gdiwrap.h"

static bool SaveRegionFile(const char* fileName, HRGN region);

namespace {

const char kRegionSuffix[] = ".RGN";
const int kRectsPerPiece = 32;  // cheap for the platform to join in one call
const size_t kPiecesWorthAThread = 2048;  // below this a thread costs more than it saves
const ULONGLONG kRegionFileCeiling = 64ull * 1024 * 1024;
const DWORD kBlack = 0;
const DWORD kColourBits = 0x00FFFFFF;

static_assert(sizeof(RGNDATAHEADER) == 32, "the region file starts with the 32-byte header");
static_assert(sizeof(RECT) == 16, "rectangles of four 32-bit integers");

// The edges of the non-black runs of one row, the extra column x = width
// included: a run starts at edges[2k] and ends before edges[2k + 1]. Written
// without a branch per pixel, since the pixels of a mask can be noise.
int RowEdges(const DWORD* row, int width, int* edges)
{
    int n = 0, previous = 0;
    for (int x = 0; x < width; ++x) {
        const int kept = (row[x] & kColourBits) != kBlack;
        edges[n] = x;
        n += kept ^ previous;
        previous = kept;
    }
    edges[n] = width;  // the extra column is always kept
    n += 1 ^ previous;
    edges[n++] = width + 1;
    return n;
}

HRGN PieceRegion(const RECT* rects, size_t count, std::vector<unsigned char>& data)
{
    data.resize(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
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

// Joins pieces as they come, in the pairs a balanced tree would join, so
// that only a few regions are alive at any time: a process may own only so
// many GDI objects, fewer than a large mask has pieces.
class RegionJoiner {
public:
    RegionJoiner() = default;
    RegionJoiner(const RegionJoiner&) = delete;
    RegionJoiner& operator=(const RegionJoiner&) = delete;
    ~RegionJoiner()
    {
        for (const Entry& e : stack)
            DeleteObject(e.region);
    }

    // Takes the piece; a null one fails the whole.
    void Add(HRGN piece)
    {
        if (!piece || failed) {
            failed = true;
            if (piece)
                DeleteObject(piece);
            return;
        }
        Entry right = {piece, 0};
        while (!stack.empty() && stack.back().level == right.level) {
            Entry left = stack.back();
            stack.pop_back();
            if (!Join(left.region, right.region)) {
                DeleteObject(left.region);
                return;
            }
            right = {left.region, left.level + 1};
        }
        stack.push_back(right);
    }

    // The union of every piece, or none after a failure.
    HRGN Finish()
    {
        while (!failed && stack.size() > 1) {
            Entry right = stack.back();
            stack.pop_back();
            if (!Join(stack.back().region, right.region))
                break;
        }
        if (failed || stack.empty())
            return nullptr;
        HRGN region = stack.back().region;
        stack.clear();
        return region;
    }

private:
    struct Entry {
        HRGN region;
        int level;
    };

    // Joins right into left and deletes right.
    bool Join(HRGN left, HRGN right)
    {
        failed = CombineRgn(left, left, right, RGN_OR) == ERROR;
        DeleteObject(right);
        return !failed;
    }

    std::vector<Entry> stack;
    bool failed = false;
};

// The union of the pieces first to last (kRectsPerPiece rectangles each).
struct PieceJob {
    const std::vector<RECT>* rects;
    size_t first, last;
    HRGN region;
};

void JoinPieces(PieceJob* job)
{
    std::vector<unsigned char> data;
    const std::vector<RECT>& rects = *job->rects;
    RegionJoiner joiner;
    for (size_t i = job->first; i < job->last; ++i) {
        const size_t at = i * kRectsPerPiece;
        const size_t count = rects.size() - at < static_cast<size_t>(kRectsPerPiece)
                                 ? rects.size() - at
                                 : kRectsPerPiece;
        joiner.Add(PieceRegion(rects.data() + at, count, data));
    }
    job->region = joiner.Finish();
}

DWORD WINAPI JoinPiecesThread(LPVOID job)
{
    JoinPieces(static_cast<PieceJob*>(job));
    return 0;
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
    // Room for the most runs a row can hold, so that no pass copies the list.
    rects.reserve((static_cast<size_t>(width) / 2 + 2) * (static_cast<size_t>(height) + 1));
    std::vector<int> edges(static_cast<size_t>(width) + 2), bandEdges(edges.size());
    int bandCount = 0;
    size_t band = 0;  // first rectangle of the band being built
    for (int y = 0; y <= height; ++y) {
        int count = 2;
        if (y < height) {
            count = RowEdges(pixels + static_cast<size_t>(y) * width, width, edges.data());
        } else {
            edges[0] = 0;  // the extra row
            edges[1] = width + 1;
        }
        if (y > 0 && count == bandCount &&
            std::memcmp(edges.data(), bandEdges.data(), count * sizeof(int)) == 0) {
            // An equal row only makes its band one row deeper.
            for (size_t i = band; i < rects.size(); ++i)
                rects[i].bottom = y + 1;
            continue;
        }
        band = rects.size();
        for (int k = 0; k < count; k += 2)
            rects.push_back(RECT{edges[k], y, edges[k + 1], y + 1});
        edges.swap(bandEdges);
        bandCount = count;
    }
    return rects;
}

HRGN RegionFromRectangles(const std::vector<RECT>& rects)
{
    if (rects.empty())
        return CreateRectRgn(0, 0, 0, 0);
    const size_t pieces = (rects.size() + kRectsPerPiece - 1) / kRectsPerPiece;
    // The platform builds a piece before it takes its lock for the handle,
    // so a second thread for the second half saves time on a large region.
    PieceJob own = {&rects, 0, pieces, nullptr};
    PieceJob other = {&rects, pieces, pieces, nullptr};
    HandleOwner helper;
    if (pieces >= kPiecesWorthAThread) {
        other.first = own.last = pieces / 2;
        helper.Reset(CreateThread(nullptr, 0, JoinPiecesThread, &other, 0, nullptr));
        if (!helper.Valid())
            own.last = pieces;
    }
    JoinPieces(&own);
    if (helper.Valid())
        WaitForSingleObject(helper.Get(), INFINITE);
    RegionJoiner joiner;
    joiner.Add(own.region);
    if (own.last < pieces)
        joiner.Add(other.region);
    return joiner.Finish();
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
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    // Left uninitialised: GetDIBits fills every pixel.
    std::unique_ptr<DWORD[]> pixels(new (std::nothrow) DWORD[static_cast<size_t>(width) * height]);
    const int rows =
        pixels ? GetDIBits(dc, bitmap, 0, height, pixels.get(), &info, DIB_RGB_COLORS) : 0;
    SelectObject(dc, selected);
    if (rows != height)
        return nullptr;
    return RegionFromRectangles(MaskRectangles(pixels.get(), width, height));
}

bool StretchMaskFile(const char* maskFile, int width, int height, WINMEMDC* surface)
{
    WINBMP mask;
    if (!mask.LoadBitmapFile(maskFile) || !surface->CreateSurface(nullptr, width, height))
        return false;
    HDC dc = surface->dc.Get();
    SetStretchBltMode(dc, BLACKONWHITE);  // black survives a reduction
    SetBrushOrgEx(dc, 0, 0, nullptr);
    return StretchBlt(dc, 0, 0, width, height, mask.dc.Get(), 0, 0, mask.info.bmWidth,
                      mask.info.bmHeight, SRCCOPY) != 0;
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
    bool built = false;
    try {
        built = BuildBitmapRegion(rect, job.window, job.maskFile, job.regionFile);
    } catch (const std::bad_alloc&) {
        built = false;  // a mask too large for the memory left: a failed generation
    }
    PostCommand(job.window, ID_REGION_READY, built ? 1 : 0);
    return 0;
}

bool SaveRegionFile(const char* fileName, HRGN region)
{
    DWORD size = GetRegionData(region, 0, nullptr);
    if (size == 0)
        return false;
    std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[size]);
    if (!data)
        return false;
    DWORD filled = GetRegionData(region, size, reinterpret_cast<RGNDATA*>(data.get()));
    if (filled == 0 || filled > size)
        return false;
    FileOwner file(CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), data.get(), filled, &written, nullptr) && written == filled;
}

namespace {

HRGN ReadRegionFile(const char* fileName, ULONGLONG maxBytes)
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

}  // namespace

HRGN LoadRegionFile(const char* fileName, ULONGLONG maxBytes)
{
    try {
        return ReadRegionFile(fileName, maxBytes);
    } catch (const std::bad_alloc&) {
        return nullptr;  // treated as absent: the region is generated
    }
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
