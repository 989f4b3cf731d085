#include "display/imagedecode.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/gdiwrap.h"

namespace {

const int kTrueColourBits = 24;
const int kFullColourBits = 32;
const int kLargestSide = 32767;  // pixels; beyond, no skin a window could show
const DWORD kLongestPath = 1024;

enum class BitmapFile {
    kBroken,           // its headers, colour table or pixels reach past its end
    kPlainTrueColour,  // the common 40-byte header, 24 or 32 bits a pixel, uncompressed
    kOther,
};

// Where a Windows bitmap file's parts end, as its headers tell it.
struct BitmapLayout {
    uint64_t tableAt = 0;    // the colour table, after the headers and masks
    uint64_t tableEnd = 0;   // the end of the headers, masks and colour table
    uint64_t pixelsAt = 0;
    uint64_t pixelBytes = 0;
    bool plainTrueColour = false;
    bool core = false;       // the 12-byte header: three bytes a colour
    unsigned bits = 0;
    int width = 0;
    int rows = 0;
};

uint32_t Little(const unsigned char* at, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | at[i];
    return value;
}

uint64_t RowBytes(int64_t width, unsigned bits)
{
    return (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
}

// The fields of a bitmap header (the 12-byte core form or a 40-byte and
// longer one) that say where the file's parts lie.
struct BitmapHeader {
    uint32_t size = 0;
    int64_t width = 0;
    int64_t height = 0;  // negative: top-down rows
    unsigned planes = 0;
    unsigned bits = 0;
    unsigned compression = BI_RGB;
    uint32_t imageBytes = 0;  // the run-length data's size
    uint32_t coloursUsed = 0;
};

bool ReadBitmapHeader(const unsigned char* h, size_t have, BitmapHeader* b)
{
    if (have < sizeof(BITMAPCOREHEADER))
        return false;
    b->size = Little(h, 4);
    if (b->size == sizeof(BITMAPCOREHEADER)) {
        b->width = Little(h + 4, 2);
        b->height = Little(h + 6, 2);
        b->planes = Little(h + 8, 2);
        b->bits = Little(h + 10, 2);
        return true;
    }
    if (b->size < sizeof(BITMAPINFOHEADER) || have < sizeof(BITMAPINFOHEADER))
        return false;
    b->width = static_cast<int32_t>(Little(h + 4, 4));
    b->height = static_cast<int32_t>(Little(h + 8, 4));
    b->planes = Little(h + 12, 2);
    b->bits = Little(h + 14, 2);
    b->compression = Little(h + 16, 4);
    b->imageBytes = Little(h + 20, 4);
    b->coloursUsed = Little(h + 32, 4);
    return true;
}

// A form of pixels the platform's loader draws: uncompressed, bit fields or
// run lengths (bottom-up only), of a size a window could show.
bool DrawableForm(const BitmapHeader& b)
{
    const unsigned bits = b.bits;
    const bool rgb = b.compression == BI_RGB && (bits == 1 || bits == 4 || bits == 8 || bits == 16 ||
                                                 bits == kTrueColourBits || bits == kFullColourBits);
    const bool fields = b.compression == BI_BITFIELDS && (bits == 16 || bits == kFullColourBits);
    const bool rle = ((b.compression == BI_RLE8 && bits == 8) || (b.compression == BI_RLE4 && bits == 4)) &&
                     b.height > 0 && b.imageBytes;
    const int64_t rows = b.height < 0 ? -b.height : b.height;
    return (rgb || fields || rle) && b.width > 0 && b.width <= kLargestSide && rows > 0 && rows <= kLargestSide;
}

// The parts of a file whose first bytes (file header and as much of the
// bitmap header as the file holds) are given; false for a header the
// platform's loader would not take. The colour table is counted as that
// loader counts it: the masks of a bit-field header, then biClrUsed entries
// (at most 256) or, without them, one per value of a pixel of 8 bits or less.
bool ReadBitmapLayout(const unsigned char* file, size_t have, BitmapLayout* parts)
{
    const size_t kFileHead = sizeof(BITMAPFILEHEADER);
    BitmapHeader b;
    if (have < kFileHead || Little(file, 2) != ('B' | 'M' << 8) ||
        !ReadBitmapHeader(file + kFileHead, have - kFileHead, &b) || !DrawableForm(b))
        return false;
    const bool core = b.size == sizeof(BITMAPCOREHEADER);
    const uint64_t byValue = b.bits <= 8 ? 1u << b.bits : 0;
    const uint64_t colours = b.coloursUsed ? std::min<uint64_t>(b.coloursUsed, 256) : byValue;
    const uint64_t masks = b.compression == BI_BITFIELDS ? 3 * sizeof(DWORD) : 0;
    const uint64_t head = core ? b.size : std::max<uint64_t>(b.size, sizeof(BITMAPINFOHEADER) + masks);
    parts->tableAt = kFileHead + head;
    parts->tableEnd = parts->tableAt + colours * (core ? sizeof(RGBTRIPLE) : sizeof(RGBQUAD));
    // The loader takes the offset less the file header: without one, or with
    // one that points at the end of the file header, the pixels follow the
    // colour table; one inside the file header wraps round.
    const uint32_t offset = Little(file + 10, 4);
    if (offset && offset < kFileHead)
        return false;
    parts->pixelsAt = offset > kFileHead ? offset : parts->tableEnd;
    const uint64_t rows = b.height < 0 ? -b.height : b.height;
    parts->pixelBytes = b.compression == BI_RLE8 || b.compression == BI_RLE4 ? b.imageBytes
                                                                             : RowBytes(b.width, b.bits) * rows;
    parts->plainTrueColour = b.size == sizeof(BITMAPINFOHEADER) && b.planes == 1 && b.compression == BI_RGB &&
                             (b.bits == kTrueColourBits || b.bits == kFullColourBits) &&
                             offset >= kFileHead + sizeof(BITMAPINFOHEADER);
    parts->core = core;
    parts->bits = b.bits;
    parts->width = static_cast<int>(b.width);
    parts->rows = static_cast<int>(rows);
    return true;
}

// Whether the parts lie within a file of fileSize bytes (and one byte more
// after the colour table, which the platform's loader reads).
bool PartsWithin(const BitmapLayout& parts, uint64_t fileSize)
{
    return parts.tableEnd < fileSize && parts.pixelsAt <= fileSize &&
           parts.pixelBytes <= fileSize - parts.pixelsAt && parts.pixelBytes <= static_cast<uint64_t>(INT32_MAX);
}

// What the bitmap file open in file holds. The platform's loader reads
// wherever the headers point, past the end of the file too: a file that is
// cut or lies about its parts never goes to it. It also reads one byte past
// the colour table, and sizes the pixels in a signed 32-bit number.
BitmapFile ExamineBitmapFile(HANDLE file)
{
    unsigned char head[sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)] = {};
    DWORD read = 0;
    LARGE_INTEGER size = {};
    BitmapLayout parts;
    if (!GetFileSizeEx(file, &size) || !ReadFile(file, head, sizeof head, &read, nullptr) ||
        !ReadBitmapLayout(head, read, &parts))
        return BitmapFile::kBroken;
    if (!PartsWithin(parts, static_cast<uint64_t>(size.QuadPart)))
        return BitmapFile::kBroken;
    return parts.plainTrueColour ? BitmapFile::kPlainTrueColour : BitmapFile::kOther;
}

// A skin, preview or mask from a Windows bitmap file, or none for a broken
// one. With asSection, a plain true-colour file stays in its own format, in
// the process's own memory, which goes back whole when the image is
// released. Every other file becomes a device-dependent bitmap in the
// screen's format, so that its colours stretch as they always have (a
// one-bit one takes the text and background colours).
}  // namespace

HBITMAP LoadBitmapImage(const char* fileName, bool asSection)
{
    // One full name for the check and the load (given a relative one, the
    // loader may search other folders first), and the file held open from
    // the check to the end of the load, so that it cannot be replaced.
    char path[kLongestPath];
    const DWORD length = GetFullPathNameA(fileName, sizeof path, path, nullptr);
    if (!length || length >= sizeof path)
        return nullptr;
    FileOwner held(OpenForReading(path));
    const BitmapFile kind = held.Valid() ? ExamineBitmapFile(held.Get()) : BitmapFile::kBroken;
    if (kind == BitmapFile::kBroken)
        return nullptr;
    HBITMAP section = nullptr;
    if (asSection && kind == BitmapFile::kPlainTrueColour)
        section = static_cast<HBITMAP>(
            LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    return section ? section : static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

namespace {

// A one-bit table of black, then white: the platform's loader makes such a
// file a one-bit bitmap, which takes the text and background colours.
bool BlackThenWhite(const unsigned char* file, const BitmapLayout& parts)
{
    if (parts.bits != 1)
        return false;
    const unsigned char* table = file + parts.tableAt;
    const size_t entry = parts.core ? sizeof(RGBTRIPLE) : sizeof(RGBQUAD);
    static const unsigned char kBlack[sizeof(RGBQUAD)] = {0, 0, 0, 0};
    static const unsigned char kWhite[sizeof(RGBQUAD)] = {0xFF, 0xFF, 0xFF, 0};
    return std::memcmp(table, kBlack, entry) == 0 && std::memcmp(table + entry, kWhite, entry) == 0;
}

}  // namespace

// A Windows bitmap file held in memory, made as LoadBitmapImage makes a skin
// from the file (and as the platform's loader does there), or none for a
// broken one.
HBITMAP BitmapFromBytes(const unsigned char* file, size_t size)
{
    BitmapLayout parts;
    if (!ReadBitmapLayout(file, size, &parts) || !PartsWithin(parts, size))
        return nullptr;
    // The headers and colour table copied out, aligned as the drawing calls read them.
    const unsigned char* headers = file + sizeof(BITMAPFILEHEADER);
    const std::vector<unsigned char> aligned(headers, file + parts.tableEnd);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(aligned.data());
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP made = parts.plainTrueColour ? CreateDIBSection(screen, info, DIB_RGB_COLORS, &bits, nullptr, 0)
                   : BlackThenWhite(file, parts) ? CreateBitmap(parts.width, parts.rows, 1, 1, nullptr)
                                                 : CreateCompatibleBitmap(screen, parts.width, parts.rows);
    if (made && !SetDIBits(screen, made, 0, parts.rows, file + parts.pixelsAt, info, DIB_RGB_COLORS)) {
        DeleteObject(made);
        made = nullptr;
    }
    ReleaseDC(nullptr, screen);
    return made;
}
