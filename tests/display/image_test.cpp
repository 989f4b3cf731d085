// Image files through the real decoders: PngSuite's basic images against
// ImageMagick's decoding of them, libpng's crashers and cut files, JPEG and
// GIF skins through the OLE picture loader.

#include <windows.h>

#include <string>
#include <vector>

#include "display/imageload.h"
#include "support/display_fixture.h"
#include "foundation/gdiwrap.h"
#include "support/guicount.h"

namespace {

// The image's pixels as blue, green, red, top row first, rows padded to 4 bytes.
std::vector<unsigned char> Pixels24(const WINIMG& image)
{
    const int w = image.info.bmWidth, h = image.info.bmHeight;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<unsigned char> out(static_cast<size_t>((w * 3 + 3) / 4 * 4) * h);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, image.bitmap.Get(), 0, h, out.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return out;
}

TEST(PngImages, EveryColourTypeAndDepthDecodesToItsSamples)
{
    const struct {
        const char* name;
        int bits;
    } kSuite[] = {
        {"basn0g01", 1},  {"basn0g02", 4},  {"basn0g04", 4},  {"basn0g08", 8},  {"basn0g16", 8},
        {"basn2c08", 24}, {"basn2c16", 24}, {"basn3p01", 1},  {"basn3p02", 4},  {"basn3p04", 4},
        {"basn3p08", 8},  {"basn4a08", 8},  {"basn4a16", 8},  {"basn6a08", 24}, {"basn6a16", 24},
        {"narrow", 24},  // one pixel wide: rows padded to four bytes
        {"odd2", 4},     // 2-bit grey of odd width: the last byte holds one pixel
    };
    for (const auto& image : kSuite) {
        SCOPED_TRACE(image.name);
        const std::string base = TestDataFile(std::string("png\\") + image.name);
        WINIMG png;
        ASSERT_TRUE(png.LoadImageFile((base + ".png").c_str()));
        EXPECT_EQ(image.bits, png.info.bmBitsPixel);
        // ImageMagick's samples are 16 bits: the decoded byte is the high one,
        // which is also what 1, 2 and 4-bit grey values scale to.
        const std::string expected = ReadWholeFile(base + ".rgb");
        const std::vector<unsigned char> got = Pixels24(png);
        const int w = png.info.bmWidth, row = (w * 3 + 3) / 4 * 4;
        ASSERT_EQ(expected.size(), static_cast<size_t>(w * png.info.bmHeight * 6));
        int wrong = 0;
        for (size_t i = 0; i < expected.size() / 6; ++i) {
            const unsigned char* p = &got[(i / w) * row + (i % w) * 3];
            for (int c = 0; c < 3; ++c)
                wrong += p[2 - c] != static_cast<unsigned char>(expected[6 * i + 2 * c]);
        }
        EXPECT_EQ(0, wrong);
    }
}

TEST_F(DisplayTest, SignaturesBeatNamesAndPicturesAreReleasedOnce)
{
    const std::string pngNamedBmp = dir.File("png.BMP"), jpegNamedPng = dir.File("jpeg.PNG");
    ASSERT_TRUE(CopyFileA(TestDataFile("png\\basn2c08.png").c_str(), pngNamedBmp.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(TestDataFile("skin.jpg").c_str(), jpegNamedPng.c_str(), FALSE));
    WINIMG image;
    EXPECT_TRUE(image.LoadImageFile(pngNamedBmp.c_str()));
    EXPECT_EQ(24, image.info.bmBitsPixel);
    EXPECT_FALSE(image.picture.Valid());
    WINBMP bitmap;
    EXPECT_FALSE(bitmap.LoadBitmapFile(pngNamedBmp.c_str()));  // masks take bitmap files only

    for (const std::string& file : {jpegNamedPng, TestDataFile("skin.jpg"), TestDataFile("skin.gif")}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(image.LoadImageFile(file.c_str()));
        EXPECT_EQ(48, image.info.bmWidth);
        EXPECT_EQ(32, image.info.bmHeight);
        WINIMGFILE bytes;  // held in memory, they decode as their file does
        WINIMG fromBytes;
        ASSERT_TRUE(bytes.Read(file.c_str()) && fromBytes.LoadImageBytes(bytes));
        EXPECT_EQ(Pixels24(image), Pixels24(fromBytes));
        IPicture* picture = image.picture.Get();
        ASSERT_NE(nullptr, picture);
        picture->AddRef();
        image.Release();
        EXPECT_EQ(nullptr, image.picture.Get());
        EXPECT_EQ(0u, picture->Release());  // ours was the only other reference
    }
}

// A skin name from a theme file that names no file is not tried as an
// address: the picture loader would otherwise fetch it.
TEST_F(DisplayTest, NamesOfNoFileGiveNoBitmapAndReachNoNetwork)
{
    const bool loadedBefore = GetModuleHandleA("urlmon.dll") != nullptr;
    for (const char* name : {"missing.jpg", "http://127.0.0.1:9/skin.jpg"}) {
        WINIMG image;
        EXPECT_FALSE(image.LoadImageFile(name)) << name;
        EXPECT_FALSE(image.picture.Valid()) << name;
    }
    if (!loadedBefore) {
        EXPECT_EQ(nullptr, GetModuleHandleA("urlmon.dll"));
    }
}

TEST_F(DisplayTest, BrokenPngFilesFailCleanlyWithoutLeaks)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    const std::string crashers = TestDataFile("testpngs\\crashers\\");
    HANDLE find = FindFirstFileA((crashers + "*.png").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    // Its damaged chunks are all ancillary ones, which libpng skips by default:
    // the picture itself is whole and loads.
    const std::string whole_picture = "empty_ancillary_chunks.png";
    do
        if (found.cFileName != whole_picture)
            files.push_back(crashers + found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    WINIMG skipped;
    EXPECT_TRUE(skipped.LoadImageFile((crashers + whole_picture).c_str()));
    const std::string whole = ReadWholeFile(TestDataFile("png\\basn2c08.png"));
    for (size_t cut : {whole.size() / 2, static_cast<size_t>(60), whole.size() - 13}) {
        files.push_back(dir.File("cut" + std::to_string(cut) + ".png"));
        WriteWholeFile(files.back(), whole.substr(0, cut));
    }
    auto loadAll = [&] {
        for (const std::string& file : files) {
            WINIMG image;
            EXPECT_FALSE(image.LoadImageFile(file.c_str())) << file;
            EXPECT_FALSE(image.bitmap.Valid());
        }
    };
    loadAll();
    const int gdi = CountGdiObjects();
    const int handles = CountKernelHandles();
    for (int i = 0; i < 100 / static_cast<int>(files.size()) + 1; ++i)
        loadAll();
    const int after = CountKernelHandles();
    EXPECT_EQ(gdi, CountGdiObjects());
    EXPECT_EQ(handles, after);
}

std::string WithWord(std::string bytes, size_t at, uint32_t value)
{
    const char little[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                             static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    return bytes.replace(at, sizeof little, little, sizeof little);
}

// An 8-bit run-length file: header, 256 colours, then "end of bitmap".
std::string RunLengthBitmap()
{
    std::string bytes = WithWord(std::string(14 + 40 + 1024, '\0'), 10, 14 + 40 + 1024);
    bytes[0] = 'B';
    bytes[1] = 'M';
    bytes = WithWord(WithWord(WithWord(bytes, 14, 40), 18, 2), 22, 2);
    bytes = WithWord(WithWord(WithWord(bytes, 26, 1 | 8 << 16), 30, BI_RLE8), 34, 2);
    return bytes + std::string("\0\1", 2);
}

// A 2 x 2 one-bit file whose colour table holds the two colours given.
std::string OneBitBitmap(uint32_t first, uint32_t second)
{
    std::string bytes = "BM" + std::string(14 + 40 + 8 + 8 - 2, '\0');
    bytes = WithWord(WithWord(WithWord(WithWord(bytes, 10, 14 + 40 + 8), 14, 40), 18, 2), 22, 2);
    bytes = WithWord(WithWord(WithWord(bytes, 26, 1 | 1 << 16), 54, first), 58, second);
    bytes[62] = '\x80';
    return bytes;
}

// A file whose headers point past its end never reaches the platform's
// loader, which reads wherever they point; whole files load, skin and mask,
// and a skin's bytes held in memory decode as its file does.
TEST_F(DisplayTest, BitmapFilesThatReachPastTheirEndAreRefused)
{
    const std::string file = dir.File("lying.bmp");
    WriteBitmapFile(file, 3, 2, [](int x, int y) { return RGB(x * 40, y * 90, 7); });
    const std::string whole = ReadWholeFile(file), rle = RunLengthBitmap();
    // 12-byte core header, 24 bits, rows of 12 bytes.
    const std::string core = WithWord(WithWord(WithWord(whole.substr(0, 14) + std::string(12, '\0'), 10, 26),
                                               14, 12), 18, 3 | 2 << 16) + std::string(24, '\x55');
    const struct {
        const char* what;
        std::string bytes;
        bool loads;
    } kFiles[] = {
        {"whole", whole, true},
        {"no offset: the pixels follow the header", WithWord(whole, 10, 0), true},
        {"an offset at the end of the file header: the same", WithWord(whole, 10, 14), true},
        {"core header", WithWord(core, 22, 1 | 24 << 16), true},
        {"run lengths", rle, true},
        {"one bit, black then white", OneBitBitmap(0, 0xFFFFFF), true},
        {"one bit, two colours", OneBitBitmap(0x204080, 0xFFFFFF), true},
        {"offset far past the end", WithWord(whole, 10, 0xFFFFFFFF), false},
        {"offset inside the file header", WithWord(whole, 10, 5), false},
        {"offset just past the end", WithWord(whole, 10, static_cast<uint32_t>(whole.size()) + 1), false},
        {"one byte cut", whole.substr(0, whole.size() - 1), false},
        {"taller than its pixels", WithWord(whole, 22, 3), false},
        {"top-down and taller", WithWord(whole, 22, static_cast<uint32_t>(-3)), false},
        {"a colour table it lacks", WithWord(whole, 46, 200), false},
        {"core header cut", WithWord(core, 22, 1 | 24 << 16).substr(0, 49), false},
        {"run lengths past the end", WithWord(rle, 34, 3), false},
        {"no header", whole.substr(0, 20), false},
    };
    for (const auto& f : kFiles) {
        SCOPED_TRACE(f.what);
        WriteWholeFile(file, f.bytes);
        WINIMG skin;
        EXPECT_EQ(f.loads, skin.LoadImageFile(file.c_str()));
        WINBMP mask;
        EXPECT_EQ(f.loads, mask.LoadBitmapFile(file.c_str()));
        WINIMGFILE bytes;
        WINIMG fromBytes;
        EXPECT_EQ(f.loads, bytes.Read(file.c_str()) && fromBytes.LoadImageBytes(bytes));
        EXPECT_EQ(skin.info.bmBitsPixel, fromBytes.info.bmBitsPixel);
        EXPECT_EQ(Pixels24(skin), Pixels24(fromBytes));
    }
}

}  // namespace
