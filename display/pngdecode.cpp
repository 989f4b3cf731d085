#include "display/imagedecode.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/imageload.h"
#include "foundation/gdiwrap.h"

// libpng's row transform that widens 2-bit pixels to 4 bits, in place.
static void ExpandTwoBitRow(png_structp decoder, png_row_infop row, png_bytep data);

namespace {

const int kTwoBitDepth = 2;
const int kWidenedDepth = 4;  // what ExpandTwoBitRow makes of two bits
const int kTrueColourBits = 24;

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

}  // namespace

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

HBITMAP LoadPngFile(const char* fileName)
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

HBITMAP PngFromBytes(const unsigned char* bytes, size_t size)
{
    MemoryReader reader = {bytes, size};
    return DecodePng(&reader, PngMemoryCallback);
}
