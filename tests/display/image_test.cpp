// Image files through the real decoders: PngSuite's basic images against
// ImageMagick's decoding of them, libpng's crashers and cut files, JPEG and
// GIF skins through the OLE picture loader.

#include <windows.h>

#include <string>
#include <vector>

#include "display/imageload.h"
#include "display_fixture.h"
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

}  // namespace
