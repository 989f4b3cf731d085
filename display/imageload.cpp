#include "display/imageload.h"

#include <olectl.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/gdiwrap.h"

// libpng's row transform that widens 2-bit pixels to 4 bits, in place.
static void ExpandTwoBitRow(png_structp decoder, png_row_infop row, png_bytep data);

namespace {

const unsigned char kBitmapSignature[] = {'B', 'M'};
const unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G'};
const char kFileScheme[] = "file:";
const size_t kFileSchemeLength = sizeof kFileScheme - 1;
const int kTwoBitDepth = 2;
const int kWidenedDepth = 4;  // what ExpandTwoBitRow makes of two bits
const int kTrueColourBits = 24;
const int kFullColourBits = 32;
const int kLargestSide = 32767;  // pixels; beyond, no skin a window could show
const DWORD kLongestPath = 1024;

// libpng reports through these: errors jump back to the decode's setjmp,
// warnings are of no interest to a user of the window.
void PngError(png_structp decoder, png_const_charp)
{
    png_longjmp(decoder, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// Everything one decode allocates. It lives outside the function that holds
// the setjmp, so its values are defined after a jump; freed on every path.
struct PngDecode {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bits = 0;            // bits per pixel of the bitmap
    int entries = 0;         // colour table entries, 0 for 24 bits
    size_t rowSize = 0;      // bytes per bitmap row, a multiple of 4
    size_t imageSize = 0;
    unsigned char* pixels = nullptr;
    png_bytep* rows = nullptr;
    RGBQUAD* table = nullptr;

    ~PngDecode()
    {
        std::free(pixels);
        std::free(rows);
        std::free(table);
    }
};

int OutputBits(int depth, int colourType)
{
    if (colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA)
        return kTrueColourBits;
    if (depth == kTwoBitDepth)
        return kWidenedDepth;
    return depth == 16 ? 8 : depth;
}

// Sizes and buffers for the image; false when it is too large to hold.
bool PrepareBuffers(PngDecode* d, int depth, int colourType)
{
    if (d->width == 0 || d->height == 0 || d->width > kMaxImageSide || d->height > kMaxImageSide)
        return false;
    d->bits = OutputBits(depth, colourType);
    d->entries = d->bits <= 8 ? 1 << d->bits : 0;
    const uint64_t rowSize = (static_cast<uint64_t>(d->width) * d->bits + 31) / 32 * 4;
    const uint64_t imageSize = rowSize * d->height;
    if (imageSize > static_cast<uint64_t>(INT32_MAX))
        return false;
    d->rowSize = static_cast<size_t>(rowSize);
    d->imageSize = static_cast<size_t>(imageSize);
    d->pixels = static_cast<unsigned char*>(std::calloc(d->imageSize, 1));
    d->rows = static_cast<png_bytep*>(std::calloc(d->height, sizeof(png_bytep)));
    d->table = static_cast<RGBQUAD*>(std::calloc(d->entries ? d->entries : 1, sizeof(RGBQUAD)));
    if (!d->pixels || !d->rows || !d->table)
        return false;
    // The top row of the image is the last row of a bottom-up bitmap.
    for (png_uint_32 i = 0; i < d->height; ++i)
        d->rows[i] = d->pixels + (d->height - 1 - i) * d->rowSize;
    return true;
}

void RequestTransforms(png_structp decoder, int depth, int colourType)
{
    if (colourType & PNG_COLOR_MASK_ALPHA)
        png_set_strip_alpha(decoder);
    if (depth == kTwoBitDepth) {
        png_set_read_user_transform_fn(decoder, ExpandTwoBitRow);
        png_set_user_transform_info(decoder, nullptr, kWidenedDepth, 1);
    }
    if (depth == 16)
        png_set_strip_16(decoder);
    if (colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA)
        png_set_bgr(decoder);
}

void FillColourTable(png_structp decoder, png_infop image, PngDecode* d, int depth, int colourType)
{
    if (!d->entries)
        return;
    png_color colours[256] = {};
    int count = 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        if (png_get_PLTE(decoder, image, &palette, &count) && palette)
            std::memcpy(colours, palette, sizeof(png_color) * (count < 256 ? count : 256));
    } else {
        const int greyDepth = depth == 16 ? 8 : depth;
        png_build_grayscale_palette(greyDepth, colours);
        count = 1 << greyDepth;
    }
    for (int i = 0; i < count && i < d->entries; ++i)
        d->table[i] = RGBQUAD{colours[i].blue, colours[i].green, colours[i].red, 0};
}

// The library's part of the decode. A library error lands back here through
// the setjmp and fails the decode; nothing with a destructor lives here.
bool DecodeRows(png_structp decoder, png_infop image, png_infop end, PngDecode* d)
{
    if (setjmp(png_jmpbuf(decoder)))
        return false;
    png_set_user_limits(decoder, kMaxImageSide, kMaxImageSide);
    // Only the image chunks matter here: every other one is skipped unread,
    // so a chunk that claims a gigabyte of text costs nothing.
    png_set_keep_unknown_chunks(decoder, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(decoder, image);
    int depth = 0, colourType = 0;
    png_get_IHDR(decoder, image, &d->width, &d->height, &depth, &colourType, nullptr, nullptr,
                 nullptr);
    if (!PrepareBuffers(d, depth, colourType))
        return false;
    RequestTransforms(decoder, depth, colourType);
    png_read_update_info(decoder, image);
    if (png_get_rowbytes(decoder, image) > d->rowSize)
        return false;  // a transform this loader does not expect
    FillColourTable(decoder, image, d, depth, colourType);
    png_read_image(decoder, d->rows);
    png_read_end(decoder, end);
    return true;
}

HBITMAP CreateSection(const PngDecode& d)
{
    std::vector<unsigned char> header(sizeof(BITMAPINFOHEADER) + d.entries * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = static_cast<LONG>(d.width);
    info->bmiHeader.biHeight = static_cast<LONG>(d.height);  // positive: bottom-up rows
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(d.bits);
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biSizeImage = static_cast<DWORD>(d.imageSize);
    info->bmiHeader.biClrUsed = static_cast<DWORD>(d.entries);
    if (d.entries)
        std::memcpy(info->bmiColors, d.table, d.entries * sizeof(RGBQUAD));
    HWND desktop = GetDesktopWindow();
    HDC dc = GetDC(desktop);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(desktop, dc);
    if (section && bits)
        std::memcpy(bits, d.pixels, d.imageSize);
    return section;
}

// An existing file, opened for reading: others may read it meanwhile, but
// not write, rename or delete it.
HANDLE OpenForReading(const char* fileName)
{
    return CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

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

bool StartsWith(const unsigned char* bytes, size_t size, const unsigned char* signature, size_t length)
{
    return size >= length && std::memcmp(bytes, signature, length) == 0;
}

}  // namespace

bool FileHasSignature(const unsigned char* signature, unsigned int length, const char* fileName)
{
    FileOwner file(OpenForReading(fileName));
    if (!file.Valid())
        return false;
    std::vector<unsigned char> head(length);
    DWORD read = 0;
    if (!ReadFile(file.Get(), head.data(), length, &read, nullptr) || read != length)
        return false;
    return std::memcmp(head.data(), signature, length) == 0;
}

// libpng's read function over the file handle kept as the decoder's I/O pointer.
static void PngReadCallback(png_structp decoder, png_bytep buffer, png_size_t count)
{
    HANDLE file = static_cast<HANDLE>(png_get_io_ptr(decoder));
    DWORD read = 0;
    // A short file is an error, never a row of whatever the buffer held.
    if (count > MAXDWORD || !ReadFile(file, buffer, static_cast<DWORD>(count), &read, nullptr) ||
        read != count)
        png_error(decoder, "read past the end of the file");
}

void ExpandTwoBitRow(png_structp, png_row_infop row, png_bytep data)
{
    // Two 2-bit pixels a (high) and b (low) of a nibble become the byte a * 16 + b.
    static const unsigned char kWide[16] = {0x00, 0x01, 0x02, 0x03, 0x10, 0x11, 0x12, 0x13,
                                            0x20, 0x21, 0x22, 0x23, 0x30, 0x31, 0x32, 0x33};
    const png_uint_32 n = (row->width + 1) / 2;  // output bytes
    png_uint_32 k = n / 2;                       // input bytes giving two output bytes each
    if (n % 2)
        data[n - 1] = kWide[data[k] >> 4];
    while (k-- > 0) {
        const unsigned char in = data[k];
        data[2 * k] = kWide[in >> 4];
        data[2 * k + 1] = kWide[in & 0x0F];
    }
    row->bit_depth = kWidenedDepth;
    row->pixel_depth = kWidenedDepth;
    row->rowbytes = n;
}

// The decode of an opened reader; releases the library's structures.
static HBITMAP PngToDib(png_structp decoder, png_infop image, png_infop end)
{
    PngDecode d;
    const bool decoded = DecodeRows(decoder, image, end, &d);
    png_destroy_read_struct(&decoder, &image, &end);
    return decoded ? CreateSection(d) : nullptr;
}

// A PNG read through the read function from source as a DIB section, or
// none. Library errors, short files and oversized images all end the load
// without a bitmap and release everything.
static HBITMAP DecodePng(png_voidp source, png_rw_ptr read)
{
    png_structp decoder = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    png_infop image = decoder ? png_create_info_struct(decoder) : nullptr;
    png_infop end = image ? png_create_info_struct(decoder) : nullptr;
    if (!end) {
        if (decoder)
            png_destroy_read_struct(&decoder, &image, nullptr);
        return nullptr;
    }
    png_set_read_fn(decoder, source, read);
    return PngToDib(decoder, image, end);
}

static HBITMAP LoadPngFile(const char* fileName)
{
    FileOwner file(OpenForReading(fileName));
    return file.Valid() ? DecodePng(file.Get(), PngReadCallback) : nullptr;
}

namespace {

// What is left of a file in memory for libpng to read.
struct MemoryReader {
    const unsigned char* at;
    size_t left;
};

}  // namespace

static void PngMemoryCallback(png_structp decoder, png_bytep buffer, png_size_t count)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(decoder));
    if (count > reader->left)
        png_error(decoder, "read past the end of the file");
    std::memcpy(buffer, reader->at, count);
    reader->at += count;
    reader->left -= count;
}

static HBITMAP PngFromBytes(const unsigned char* bytes, size_t size)
{
    MemoryReader reader = {bytes, size};
    return DecodePng(&reader, PngMemoryCallback);
}

namespace {

// The picture loader's calls: from a file's name, and from a stream over
// bytes in memory with the call that makes such a stream.
struct PictureCalls {
    decltype(&OleLoadPicturePath) loadPath = nullptr;
    decltype(&OleLoadPicture) loadStream = nullptr;
    decltype(&CreateStreamOnHGlobal) makeStream = nullptr;
};

template <typename Call>
Call Entry(HMODULE module, const char* name)
{
    FARPROC entry = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(entry));
}

// Found the first time a JPEG or GIF is read: a monitor that shows none
// never loads OLE. The libraries stay for the process's life; the pictures
// they make run their code. Null where the system has none.
PictureCalls FindPictureCalls()
{
    PictureCalls calls;
    HMODULE pictures = LoadLibraryA("oleaut32.dll");
    HMODULE streams = pictures ? LoadLibraryA("ole32.dll") : nullptr;
    calls.loadPath = Entry<decltype(calls.loadPath)>(pictures, "OleLoadPicturePath");
    calls.loadStream = Entry<decltype(calls.loadStream)>(pictures, "OleLoadPicture");
    calls.makeStream = Entry<decltype(calls.makeStream)>(streams, "CreateStreamOnHGlobal");
    return calls;
}

const PictureCalls& Pictures()
{
    static const PictureCalls calls = FindPictureCalls();
    return calls;
}

}  // namespace

// The bitmap of a picture the OLE loader made; the picture object, which
// owns that bitmap, is kept in the image.
static HBITMAP AdoptPicture(WINIMG* image, IPicture* picture)
{
    image->picture.Reset(picture);
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle)))
        return nullptr;
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

static HBITMAP LoadPictureFile(WINIMG* image, const char* fileName)
{
    // Only a file that is there goes to the picture loader: given anything
    // else, it would try the name as an address, network included. A name
    // written as a file: address is the user's own choice and passes.
    const bool address = _strnicmp(fileName, kFileScheme, kFileSchemeLength) == 0;
    if (!address && !FileOwner(OpenForReading(fileName)).Valid())
        return nullptr;
    const auto loadPicture = Pictures().loadPath;
    if (!loadPicture)
        return nullptr;
    // The ANSI code page: the one the name was written in. (The OEM one
    // differs outside Japan and would spoil names with accented letters.)
    const int length = lstrlenA(fileName);
    std::vector<WCHAR> wide(length + 2);
    if (!MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide.data(), length + 2))
        return nullptr;
    IPicture* picture = nullptr;
    if (FAILED(loadPicture(wide.data(), nullptr, 0, 0, IID_IPicture, reinterpret_cast<void**>(&picture))) ||
        !picture)
        return nullptr;
    return AdoptPicture(image, picture);
}

// The same from the file's bytes, through a stream over the block that holds
// them (the block stays with the file's record).
static HBITMAP PictureFromBytes(WINIMG* image, const WINIMGFILE& file)
{
    const PictureCalls& calls = Pictures();
    IStream* stream = nullptr;
    if (!calls.loadStream || !calls.makeStream || FAILED(calls.makeStream(file.block.Get(), FALSE, &stream)) ||
        !stream)
        return nullptr;
    IPicture* picture = nullptr;
    const HRESULT loaded = calls.loadStream(stream, static_cast<LONG>(file.size), FALSE, IID_IPicture,
                                            reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(loaded) || !picture)
        return nullptr;
    return AdoptPicture(image, picture);
}

bool WINBMP::LoadBitmapFile(const char* fileName)
{
    Release();
    dc.Reset(CreateCompatibleDC(nullptr));
    if (!dc.Valid())
        return false;
    bitmap.Reset(LoadBitmapImage(fileName, false));
    if (!bitmap.Valid())
        return false;
    SelectLoaded();
    return true;
}

bool WINIMG::LoadImageFile(const char* fileName)
{
    Release();
    dc.Reset(CreateCompatibleDC(nullptr));
    if (!dc.Valid())
        return false;
    HBITMAP loaded = nullptr;
    if (FileHasSignature(kBitmapSignature, sizeof kBitmapSignature, fileName))
        loaded = LoadBitmapImage(fileName, true);
    else if (FileHasSignature(kPngSignature, sizeof kPngSignature, fileName))
        loaded = LoadPngFile(fileName);
    else
        loaded = LoadPictureFile(this, fileName);
    bitmap.Reset(loaded);
    if (!bitmap.Valid())
        return false;
    SelectLoaded();
    return true;
}

bool WINIMG::LoadImageBytes(const WINIMGFILE& file)
{
    Release();
    dc.Reset(CreateCompatibleDC(nullptr));
    if (!dc.Valid() || !file.block.Valid())
        return false;
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(file.block.Get()));
    if (!bytes)
        return false;
    HBITMAP loaded = nullptr;
    const bool bitmapFile = StartsWith(bytes, file.size, kBitmapSignature, sizeof kBitmapSignature);
    const bool pngFile = StartsWith(bytes, file.size, kPngSignature, sizeof kPngSignature);
    if (bitmapFile)
        loaded = BitmapFromBytes(bytes, file.size);
    else if (pngFile)
        loaded = PngFromBytes(bytes, file.size);
    GlobalUnlock(file.block.Get());
    if (!bitmapFile && !pngFile)
        loaded = PictureFromBytes(this, file);
    bitmap.Reset(loaded);
    if (!bitmap.Valid())
        return false;
    SelectLoaded();
    return true;
}
