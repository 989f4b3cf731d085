// Draws the default skin and mask and writes them as Windows bitmap files.
// Runs on the build machine:
//     skingen SKIN_FILE MASK_FILE
// Both are drawn at the size of the default window (360 x 287 pixels), so
// they lie on it 1:1; any other window stretches them.
//  - The skin is quiet: a pale blue-grey face with a soft vertical light, a
//    faint brushed grain and a thin bevel, so that the panel's dark texts
//    and frames stay easy to read on it.
//  - The mask is white where the window stays and black where it is cut
//    away: a rectangle with rounded corners.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

const int kWidth = 360;
const int kHeight = 287;
const double kCornerRadius = 14.0;

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

uint8_t Byte(double v)
{
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

// A repeatable grain in -1..1 from the pixel's position.
double Grain(int x, int y)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y / 2) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h >> 8) & 0xFFFF) / 32767.5 - 1.0;
}

// Distance outside the rounded rectangle that the mask keeps (<= 0 inside).
double OutsideRoundRect(double x, double y)
{
    double cx = std::clamp(x, kCornerRadius, kWidth - kCornerRadius);
    double cy = std::clamp(y, kCornerRadius, kHeight - kCornerRadius);
    return std::hypot(x - cx, y - cy) - kCornerRadius;
}

Rgb SkinPixel(int x, int y)
{
    const Rgb top{238, 242, 246};
    const Rgb bottom{208, 216, 226};
    double t = static_cast<double>(y) / (kHeight - 1);
    Rgb c = Mix(top, bottom, t * t * (3 - 2 * t));
    double grain = 2.2 * Grain(x, y);
    c = {c.r + grain, c.g + grain, c.b + grain};
    // A thin bevel just inside the rounded edge: light above, shade below.
    double inside = -OutsideRoundRect(x + 0.5, y + 0.5);
    if (inside >= 0 && inside < 2.0) {
        Rgb edge = y < kHeight / 2 ? Rgb{252, 253, 255} : Rgb{168, 178, 192};
        c = Mix(c, edge, 0.7);
    }
    return c;
}

bool MaskKeeps(int x, int y)
{
    return OutsideRoundRect(x + 0.5, y + 0.5) <= 0;
}

void Put16(std::vector<uint8_t>& out, unsigned value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, unsigned value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A 24-bit bottom-up Windows bitmap file of the picture.
template <typename Pixel>
std::vector<uint8_t> BitmapFile(Pixel pixel)
{
    const unsigned rowSize = (kWidth * 3 + 3) / 4 * 4;
    const unsigned offset = 14 + 40;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + rowSize * kHeight);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, kWidth);
    Put32(out, kHeight);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, rowSize * kHeight);
    Put32(out, 2835);  // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x) {
            Rgb c = pixel(x, y);
            out.push_back(Byte(c.b));
            out.push_back(Byte(c.g));
            out.push_back(Byte(c.r));
        }
        for (unsigned pad = kWidth * 3; pad < rowSize; ++pad)
            out.push_back(0);
    }
    return out;
}

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path, "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f)
        ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "skingen: cannot write %s\n", path);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: skingen SKIN_FILE MASK_FILE\n");
        return 2;
    }
    const Rgb white{255, 255, 255}, black{0, 0, 0};
    bool ok = WriteFile(argv[1], BitmapFile(SkinPixel));
    ok = WriteFile(argv[2], BitmapFile([&](int x, int y) { return MaskKeeps(x, y) ? white : black; })) && ok;
    return ok ? 0 : 1;
}
