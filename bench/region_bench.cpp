// The bitmap mask's region: the one-pass method against the per-pixel
// reference (one GetPixel and one region subtraction per black pixel), on
// masks of random noise and of a drawn shape, from the stretched surface to
// the finished region. The per-pixel run stops after 120 s.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/region.h"
#include "support/regionref.h"

namespace {

const DWORD kReferenceLimitMs = 120000;
const int kFastRuns = 5;

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / f.QuadPart;
}

// A mask bitmap file: noise, or a rounded panel with round holes.
std::string WriteMask(const std::string& folder, const char* kind, int w, int h)
{
    const std::string path = folder + "\\" + kind + std::to_string(w) + ".bmp";
    const int rowSize = (w * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowSize * h;
    info = {sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<unsigned char> bytes(file.bfSize);
    std::copy_n(reinterpret_cast<unsigned char*>(&file), sizeof file, bytes.begin());
    std::copy_n(reinterpret_cast<unsigned char*>(&info), sizeof info, bytes.begin() + sizeof file);
    const bool noise = kind[0] == 'n';
    const int r = h / 8;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool white;
            if (noise) {
                white = std::rand() % 2;
            } else {
                int cx = std::clamp(x, r, w - r), cy = std::clamp(y, r, h - r);
                int hx = x % (w / 6) - w / 12, hy = y % (h / 4) - h / 8;
                white = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r &&
                        hx * hx + hy * hy > (h / 20) * (h / 20);
            }
            unsigned char* p = &bytes[file.bfOffBits + (h - 1 - y) * rowSize + 3 * x];
            p[0] = p[1] = p[2] = white ? 255 : 0;
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

DWORD RegionSize(HRGN region)
{
    return region ? GetRegionData(region, 0, nullptr) : 0;
}

struct Mask {
    const char* kind;
    int w, h;
    std::string file;
    double fastMs;
};

// The one-pass method: the median of a few runs.
double MeasureFast(Mask& m)
{
    WINMEMDC surface;
    if (!StretchMaskFile(m.file.c_str(), m.w, m.h, &surface))
        return -1;
    std::vector<double> times;
    DWORD bytes = 0;
    for (int i = 0; i < kFastRuns; ++i) {
        double start = Now();
        HRGN region = MaskRegion(surface.dc.Get(), surface.bitmap.Get(), m.w, m.h);
        times.push_back((Now() - start) * 1000);
        bytes = RegionSize(region);
        DeleteObject(region);
    }
    std::sort(times.begin(), times.end());
    m.fastMs = times[times.size() / 2];
    std::printf("%-6s %4d x %4d  one pass   median %9.2f ms  (%u region bytes)\n", m.kind, m.w,
                m.h, m.fastMs, static_cast<unsigned>(bytes));
    return m.fastMs;
}

void MeasureReference(const Mask& m)
{
    WINMEMDC surface;
    if (!StretchMaskFile(m.file.c_str(), m.w, m.h, &surface))
        return;
    double start = Now();
    HRGN region = PerPixelRegion(surface.dc.Get(), m.w, m.h, kReferenceLimitMs);
    double ms = (Now() - start) * 1000;
    if (!region) {
        std::printf("%-6s %4d x %4d  per pixel  > 120 s\n", m.kind, m.w, m.h);
        return;
    }
    std::printf("%-6s %4d x %4d  per pixel         %9.2f ms  (%.0f times the one pass)\n", m.kind,
                m.w, m.h, ms, ms / m.fastMs);
    DeleteObject(region);
}

}  // namespace

int main()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "vk_region_bench";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::srand(1);
    std::vector<Mask> masks = {{"noise", 360, 287, "", 0},  {"shape", 360, 287, "", 0},
                               {"noise", 1024, 768, "", 0}, {"shape", 1024, 768, "", 0},
                               {"noise", 1920, 1080, "", 0}, {"shape", 1920, 1080, "", 0}};
    for (Mask& m : masks)
        m.file = WriteMask(folder, m.kind, m.w, m.h);
    // The one-pass runs first: the reference's many small regions leave the
    // platform's heap in a state that slows every later region down.
    for (Mask& m : masks)
        MeasureFast(m);
    for (const Mask& m : masks)
        if (m.w < 1920)
            MeasureReference(m);
    return 0;
}
