// Draws the program's icons and writes them as .ico files (16, 32 and 48
// pixels, 32-bit colour with alpha). Runs on the build machine:
//     icongen OUTPUT_DIRECTORY
// Every picture is described in unit coordinates (0..1, y downwards) and
// sampled 4 x 4 times per pixel, so each size is drawn from the same shapes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Colour {
    double r, g, b, a;
};

const Colour kClear{0, 0, 0, 0};

Colour Rgb(int r, int g, int b)
{
    return {r / 255.0, g / 255.0, b / 255.0, 1.0};
}

// Paints c over what is below it.
Colour Over(Colour below, Colour c)
{
    double a = c.a + below.a * (1 - c.a);
    if (a <= 0)
        return kClear;
    auto mix = [&](double top, double bottom) {
        return (top * c.a + bottom * below.a * (1 - c.a)) / a;
    };
    return {mix(c.r, below.r), mix(c.g, below.g), mix(c.b, below.b), a};
}

// Shapes: true where the point lies inside.
bool RoundRect(double x, double y, double left, double top, double right, double bottom, double radius)
{
    if (x < left || x > right || y < top || y > bottom)
        return false;
    double cx = std::clamp(x, left + radius, right - radius);
    double cy = std::clamp(y, top + radius, bottom - radius);
    return std::hypot(x - cx, y - cy) <= radius;
}

bool Circle(double x, double y, double cx, double cy, double radius)
{
    return std::hypot(x - cx, y - cy) <= radius;
}

// A line of the given width through the points (a polyline).
bool Stroke(double x, double y, const std::vector<std::pair<double, double>>& points, double width)
{
    for (size_t i = 1; i < points.size(); ++i) {
        double ax = points[i - 1].first, ay = points[i - 1].second;
        double bx = points[i].first, by = points[i].second;
        double dx = bx - ax, dy = by - ay;
        double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        if (std::hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width / 2)
            return true;
    }
    return false;
}

using Picture = std::function<Colour(double x, double y)>;

// The program: a panel with a thermometer and a reading trace.
Colour Monitor(double x, double y)
{
    Colour c = kClear;
    if (RoundRect(x, y, 0.03, 0.03, 0.97, 0.97, 0.16))
        c = Over(c, Rgb(38, 56, 74));
    if (RoundRect(x, y, 0.17, 0.12, 0.37, 0.72, 0.10) || Circle(x, y, 0.27, 0.76, 0.15))
        c = Over(c, Rgb(236, 240, 244));
    if (RoundRect(x, y, 0.23, 0.36, 0.31, 0.74, 0.04) || Circle(x, y, 0.27, 0.76, 0.10))
        c = Over(c, Rgb(220, 48, 40));
    if (Stroke(x, y, {{0.45, 0.70}, {0.56, 0.46}, {0.66, 0.62}, {0.76, 0.28}, {0.88, 0.40}}, 0.09))
        c = Over(c, Rgb(92, 214, 112));
    return c;
}

// A settings page: three sliders.
Colour Sliders(double x, double y)
{
    Colour c = kClear;
    if (RoundRect(x, y, 0.05, 0.05, 0.95, 0.95, 0.12))
        c = Over(c, Rgb(232, 236, 240));
    const double rows[] = {0.27, 0.50, 0.73};
    const double knobs[] = {0.35, 0.68, 0.50};
    for (int i = 0; i < 3; ++i) {
        if (Stroke(x, y, {{0.18, rows[i]}, {0.82, rows[i]}}, 0.07))
            c = Over(c, Rgb(96, 110, 124));
        if (Circle(x, y, knobs[i], rows[i], 0.09))
            c = Over(c, Rgb(40, 112, 200));
    }
    return c;
}

// The settings dialog: a gear wheel.
Colour Gear(double x, double y)
{
    const double kPi = 3.14159265358979;
    double dx = x - 0.5, dy = y - 0.5;
    double r = std::hypot(dx, dy);
    double angle = std::atan2(dy, dx) + kPi;        // 0 .. 2 pi
    double tooth = std::fmod(angle * 8 / (2 * kPi), 1.0);  // eight teeth
    double outer = (tooth > 0.25 && tooth < 0.75) ? 0.47 : 0.37;
    if (r > outer || r < 0.14)
        return kClear;
    return r < 0.24 ? Rgb(70, 84, 98) : Rgb(112, 128, 144);
}

// The processor window: a chip with pins on every side.
Colour Chip(double x, double y)
{
    Colour c = kClear;
    for (int i = 0; i < 4; ++i) {
        double at = 0.29 + i * 0.14;
        bool pin = (std::fabs(x - at) < 0.035 && (y < 0.2 || y > 0.8) && y > 0.04 && y < 0.96) ||
                   (std::fabs(y - at) < 0.035 && (x < 0.2 || x > 0.8) && x > 0.04 && x < 0.96);
        if (pin)
            c = Over(c, Rgb(196, 160, 72));
    }
    if (RoundRect(x, y, 0.17, 0.17, 0.83, 0.83, 0.06))
        c = Over(c, Rgb(44, 48, 56));
    if (RoundRect(x, y, 0.33, 0.33, 0.67, 0.67, 0.03))
        c = Over(c, Rgb(150, 170, 190));
    return c;
}

struct IconFile {
    int id;
    Picture picture;
};

const IconFile kIcons[] = {
    {100, Monitor}, {101, Monitor}, {103, Sliders}, {108, Gear},
    {109, Gear},    {110, Chip},    {111, Chip},
};
static_assert(sizeof kIcons / sizeof kIcons[0] == 7, "one file per icon resource");

const int kSizes[] = {16, 32, 48};
const int kSamples = 4;

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

uint8_t Byte(double v)
{
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

// One image of the icon: header, colour rows and mask rows, both bottom-up.
std::vector<uint8_t> Image(const Picture& picture, int size)
{
    std::vector<Colour> pixels(size * size);
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            Colour sum = kClear;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    double x = (px + (sx + 0.5) / kSamples) / size;
                    double y = (py + (sy + 0.5) / kSamples) / size;
                    Colour c = picture(x, y);
                    sum.r += c.r * c.a;
                    sum.g += c.g * c.a;
                    sum.b += c.b * c.a;
                    sum.a += c.a;
                }
            double n = kSamples * kSamples;
            pixels[py * size + px] = sum.a > 0 ? Colour{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / n}
                                               : kClear;
        }

    int maskRow = ((size + 31) / 32) * 4;
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, size);
    Put32(out, size * 2);  // colour and mask rows together
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, size * size * 4 + maskRow * size);
    for (int i = 0; i < 4; ++i)
        Put32(out, 0);
    for (int py = size - 1; py >= 0; --py)
        for (int px = 0; px < size; ++px) {
            const Colour& c = pixels[py * size + px];
            out.push_back(Byte(c.b));
            out.push_back(Byte(c.g));
            out.push_back(Byte(c.r));
            out.push_back(Byte(c.a));
        }
    for (int py = size - 1; py >= 0; --py) {
        std::vector<uint8_t> row(maskRow, 0);
        for (int px = 0; px < size; ++px)
            if (Byte(pixels[py * size + px].a) == 0)
                row[px / 8] |= static_cast<uint8_t>(0x80 >> (px % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<uint8_t> IconBytes(const Picture& picture)
{
    const int count = sizeof kSizes / sizeof kSizes[0];
    std::vector<std::vector<uint8_t>> images;
    for (int size : kSizes)
        images.push_back(Image(picture, size));
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // icon
    Put16(out, count);
    unsigned offset = 6 + 16 * count;
    for (int i = 0; i < count; ++i) {
        out.push_back(static_cast<uint8_t>(kSizes[i]));
        out.push_back(static_cast<uint8_t>(kSizes[i]));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<unsigned>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<unsigned>(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: icongen OUTPUT_DIRECTORY\n");
        return 2;
    }
    for (const IconFile& icon : kIcons) {
        std::string path = std::string(argv[1]) + "/vk" + std::to_string(icon.id) + ".ico";
        std::vector<uint8_t> bytes = IconBytes(icon.picture);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            std::fprintf(stderr, "icongen: cannot write %s\n", path.c_str());
            if (f)
                std::fclose(f);
            return 1;
        }
        std::fclose(f);
    }
    return 0;
}
