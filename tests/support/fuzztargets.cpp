#include "support/fuzztargets.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>
#include <vector>

#include "app/appstate.h"
#include "app/dlgtemplate.h"
#include "app/settings.h"
#include "app/startup.h"
#include "display/coretip.h"
#include "display/imageload.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
#include "display/region.h"
#include "foundation/gdiwrap.h"
#include "resources/resource.h"
#include "sensors/csensor.h"
#include "support/guicount.h"
#include "support/tempdir.h"

namespace {

const size_t kShortFile = 600;  // every cut of a file this short is tried

std::vector<std::string> FilesMatching(const std::string& pattern)
{
    std::vector<std::string> files;
    const std::string folder = pattern.substr(0, pattern.rfind('\\') + 1);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do
        files.push_back(ReadWholeFile(folder + found.cFileName));
    while (FindNextFileA(find, &found));
    FindClose(find);
    return files;
}

// The lengths of a PNG's chunks, big-endian, at the start of each chunk.
std::vector<LengthField> PngLengths(const std::string& png)
{
    std::vector<LengthField> fields;
    size_t at = 8;
    while (at + 8 <= png.size()) {
        fields.push_back({at, true});
        const uint32_t length = (static_cast<unsigned char>(png[at]) << 24) |
                                (static_cast<unsigned char>(png[at + 1]) << 16) |
                                (static_cast<unsigned char>(png[at + 2]) << 8) |
                                static_cast<unsigned char>(png[at + 3]);
        if (length > png.size())
            break;
        at += 12 + length;
    }
    return fields;
}

// The inputs of one target: first every seed as it is (the hand-made
// hostile files among them), then the cuts of the first seed (every length
// of a short file, a quarter of the inputs at most), then mutations of the
// seeds taken in turn; each handed to check.
void Drive(Mutator& m, FuzzRun& run, int count, const std::vector<std::string>& seeds,
           const std::function<std::vector<LengthField>(const std::string&)>& fields,
           const std::function<void(const std::string&)>& check)
{
    if (seeds.empty() || seeds[0].empty()) {
        run.Fail("no seed inputs");
        return;
    }
    auto feed = [&](const std::string& input) {
        run.Begin(input);
        check(input);
        run.End();
    };
    int made = 0;
    for (size_t i = 0; i < seeds.size() && made < count; ++i, ++made)
        feed(seeds[i]);
    const std::string& first = seeds[0];
    const int cuts = std::min(count, made + count / 4);
    for (size_t cut = 0; cut < first.size() && cut < kShortFile && made < cuts; ++cut, ++made)
        feed(first.substr(0, cut));
    for (; made < count; ++made) {
        const std::string& seed = seeds[m.Below(seeds.size())];
        feed(m.Mutate(seed, fields(seed)));
    }
}

std::vector<LengthField> NoFields(const std::string&)
{
    return {};
}

// Loads the bytes as a skin; for PNG files (ours to decode) the size limit
// must hold. The platform's own decoders only have to survive.
bool StartsWith(const std::string& bytes, const char* signature)
{
    return bytes.compare(0, std::strlen(signature), signature) == 0;
}

// Loads the bytes as a skin; for PNG files (ours to decode) the size limit
// must hold. The platform's own decoders only have to survive, and bytes of
// no image format give no bitmap. Held in memory, the bytes decode as their
// file does.
void CheckImage(FuzzRun& run, const std::string& file, const std::string& bytes, bool png)
{
    WriteWholeFile(file, bytes);
    WINIMG image, fromBytes;
    const bool loaded = image.LoadImageFile(file.c_str()) && image.bitmap.Valid();
    WINIMGFILE kept;
    if (kept.Read(file.c_str()) && fromBytes.LoadImageBytes(kept) != loaded)
        run.Fail("the bytes held in memory decode otherwise than their file");
    if (loaded && png &&
        (image.info.bmWidth > static_cast<LONG>(kMaxImageSide) ||
         image.info.bmHeight > static_cast<LONG>(kMaxImageSide)))
        run.Fail("an image larger than the limit was loaded");
    const bool known = StartsWith(bytes, "BM") || StartsWith(bytes, "\x89PNG") ||
                       StartsWith(bytes, "\xFF\xD8") || StartsWith(bytes, "GIF8");
    if (loaded && !known)
        run.Fail("bytes of no image format gave a bitmap");
}

void FuzzPng(Mutator& m, FuzzRun& run, int count, const std::string& folder)
{
    std::vector<std::string> seeds = FilesMatching(TestDataFile("png\\basn0g01.png"));  // cut first
    for (const char* pattern : {"pngsuite\\*.png", "testpngs\\*.png", "testpngs\\crashers\\*.png"})
        for (const std::string& s : FilesMatching(TestDataFile(pattern)))
            seeds.push_back(s);
    const std::string file = folder + "\\input.png";
    Drive(m, run, count, seeds, PngLengths, [&](const std::string& bytes) { CheckImage(run, file, bytes, true); });
}

// A 3 x 2 24-bit bitmap file, bottom-up.
std::string SmallBitmap()
{
    std::string bmp = std::string("BM") + std::string(52, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = static_cast<char>(v >> (8 * i));
    };
    put32(2, 54 + 24);
    put32(10, 54);
    put32(14, 40);
    put32(18, 3);
    put32(22, 2);
    bmp[26] = 1;
    bmp[28] = 24;
    for (int i = 0; i < 24; ++i)
        bmp += static_cast<char>(i * 10);
    return bmp;
}

void FuzzSkins(Mutator& m, FuzzRun& run, int count, const std::string& folder)
{
    const std::vector<std::string> seeds = {SmallBitmap(), ReadWholeFile(TestDataFile("skin.jpg")),
                                            ReadWholeFile(TestDataFile("skin.gif"))};
    const std::string file = folder + "\\input.img";
    auto bitmapFields = [](const std::string& s) {
        std::vector<LengthField> f;
        if (s.size() > 2 && s[0] == 'B' && s[1] == 'M')
            for (size_t at : {2, 10, 14, 18, 22, 28, 30, 34, 46})
                f.push_back({at, false});
        return f;
    };
    Drive(m, run, count, seeds, bitmapFields,
          [&](const std::string& bytes) { CheckImage(run, file, bytes, false); });
}

std::string RegionSeed()
{
    std::vector<DWORD> pixels(12 * 9);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (i * 7 % 5) ? 0xFFFFFF : 0;
    HRGN region = RegionFromRectangles(MaskRectangles(pixels.data(), 12, 9));
    std::string bytes(GetRegionData(region, 0, nullptr), '\0');
    GetRegionData(region, static_cast<DWORD>(bytes.size()), reinterpret_cast<RGNDATA*>(&bytes[0]));
    DeleteObject(region);
    return bytes;
}

void FuzzRegions(Mutator& m, FuzzRun& run, int count, const std::string& folder)
{
    const std::string seed = RegionSeed();
    const std::string file = folder + "\\input.rgn";
    auto fields = [](const std::string& s) {
        std::vector<LengthField> f;
        for (size_t at = 0; at + 4 <= s.size() && at < 96; at += 4)
            f.push_back({at, false});  // header, counts, bounds and the first rectangles
        return f;
    };
    Drive(m, run, count, {seed}, fields, [&](const std::string& bytes) {
        WriteWholeFile(file, bytes);
        HRGN region = LoadRegionFile(file.c_str(), RegionFileLimit(12, 9));
        if (region) {
            RECT box;
            if (GetRgnBox(region, &box) == ERROR)
                run.Fail("a loaded region has no box");
            DeleteObject(region);
        }
    });
}

// --- settings and theme files ---------------------------------------------------

bool Terminated(const char* text, size_t size)
{
    return memchr(text, '\0', size) != nullptr;
}

// Every text the files fill ends inside its buffer, and the timer is in range.
void CheckSettings(FuzzRun& run)
{
    AppState& a = App();
    const struct {
        const char* text;
        size_t size;
    } texts[] = {
        {a.themePath, kPathSize},       {a.layoutPath, kPathSize},       {a.skin.fileName, kPathSize},
        {a.mask.fileName, kPathSize},   {a.coreTemp.title, kTextSize},   {a.labels.tempTitle, kTextSize},
        {a.labels.fanTitle, kTextSize}, {a.labels.inTitle, kTextSize},   {a.units.title, kTextSize},
        {a.units.temp, kTextSize},      {a.units.fan, kTextSize},        {a.units.pwm, kTextSize},
        {a.units.in, kTextSize},        {a.tray.rows, kTrayRowsSize},
    };
    for (const auto& t : texts)
        if (!Terminated(t.text, t.size))
            run.Fail("a text ran past its buffer");
    const char* labels[kRowCount];
    for (int i = 0; i < kTempCount; ++i)
        labels[i] = a.labels.temp[i];
    for (int i = 0; i < kFanCount; ++i)
        labels[kTempCount + i] = a.labels.fan[i];
    for (int i = 0; i < kVoltCount; ++i)
        labels[kTempCount + kFanCount + i] = a.labels.in[i];
    for (const char* label : labels)
        if (!Terminated(label, kTextSize))
            run.Fail("a label ran past its buffer");
    for (const FontSlot& f : a.fonts.slot)
        if (!Terminated(f.configured.lfFaceName, LF_FACESIZE))
            run.Fail("a face name ran past its buffer");
    if (a.timer < 1 || a.timer > 60)
        run.Fail("the timer left 1..60");
    if (a.historyMinutes < kMinHistoryMinutes || a.historyMinutes > kMaxHistoryMinutes)
        run.Fail("the history's minutes left their range");
}

// A file of key=value lines with every value replaced by make(value).
std::string EachValue(const std::string& file, const std::function<std::string(const std::string&)>& make)
{
    std::istringstream in(file);
    std::string line, out;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        out += (eq == std::string::npos ? line : line.substr(0, eq + 1) + make(line.substr(eq + 1))) + "\n";
    }
    return out;
}

// The hand-made hostile files: garbage in every key, a lead byte at every
// edge of a buffer, a line of 100,000 characters, embedded NULs.
std::vector<std::string> HostileProfiles(const std::string& seed)
{
    std::vector<std::string> files;
    for (const char* garbage : {"999,-1,x", "-2147483648", "", "0x", "1e999", ",,,,,,,,,,,,,,", "-1"})
        files.push_back(EachValue(seed, [&](const std::string&) { return std::string(garbage); }));
    files.push_back(EachValue(seed, [](const std::string&) {
        return "-15,0,0,0,700,0,0,0,0,0,0,0,0," + std::string(200, 'F');
    }));
    for (size_t edge : {6u, 7u, 14u, 15u, 30u, 31u, 1022u, 1023u})
        files.push_back(EachValue(seed, [&](const std::string&) { return std::string(edge, 'a') + "\x82"; }));
    bool first = true;  // one line of 100,000 characters, in the first key
    files.push_back(EachValue(seed, [&](const std::string& v) {
        const bool now = first;
        first = false;
        return now ? std::string(100000, 'L') : v;
    }));
    files.push_back(EachValue(seed, [](const std::string& v) { return v + std::string(1, '\0') + v; }));
    return files;
}

void FuzzSettings(Mutator& m, FuzzRun& run, int count, const std::string& folder)
{
    AppState& a = App();
    lstrcpynA(a.settingsPath, (folder + "\\fuzz.vkc").c_str(), kPathSize);
    lstrcpynA(a.themePath, (folder + "\\fuzz.vkt").c_str(), kPathSize);
    const std::string settingsFile = a.settingsPath, themeFile = a.themePath;
    // Keys written only once they differ from their defaults: the seeds hold them too.
    a.historyMinutes = 30;
    a.tray = TraySettings{1, "0,d3,c", 1};
    a.historyWindow = HistoryWindowRecord{nullptr, 10, 10, 600, 400};
    SaveSettings(1);
    const std::string settings = ReadWholeFile(settingsFile), theme = ReadWholeFile(themeFile);
    std::vector<std::string> themes = {theme};
    for (const std::string& hostile : HostileProfiles(theme))
        themes.push_back(hostile);
    std::vector<std::string> configs = HostileProfiles(settings);
    // The settings file names the theme: every load reads both.
    auto load = [&](const std::string& config, const std::string& themeBytes) {
        WriteWholeFile(settingsFile, config);
        WriteWholeFile(themeFile, themeBytes);
        lstrcpynA(a.settingsPath, settingsFile.c_str(), kPathSize);
        LoadSettings(1);
        lstrcpynA(a.themePath, themeFile.c_str(), kPathSize);
        CheckSettings(run);
    };
    std::string withTheme = "[Config]\r\nFileName=" + themeFile + "\r\n";
    Drive(m, run, count, themes, NoFields, [&](const std::string& bytes) {
        if (m.Below(4) == 0)
            load(configs[m.Below(configs.size())], bytes);
        else
            load(withTheme, bytes);
    });
}

// --- layout modules --------------------------------------------------------------

INT_PTR CALLBACK QuietProcedure(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// A template that passes the check goes to the dialog manager, which must
// survive it (the watchdog and the handle counts judge the rest).
void CheckTemplate(const void* data, size_t size)
{
    if (!DialogTemplateFits(data, size))
        return;
    HWND window = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), static_cast<const DLGTEMPLATE*>(data),
                                             nullptr, QuietProcedure, 0);
    if (window)
        DestroyWindow(window);
}

std::string ResourceBytes(HMODULE module, int id)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(module, found)) : std::string();
}

void FuzzLayouts(Mutator& m, FuzzRun& run, int count, const std::string& folder)
{
    // Templates, plain and extended, straight to the check and the dialog manager.
    HMODULE extended = LoadLayoutModule(TestDataFile("extended201.vkl").c_str());
    const std::vector<std::string> templates = {ResourceBytes(GetModuleHandleA(nullptr), IDD_MAIN),
                                                ResourceBytes(extended, IDD_LAYOUT)};
    if (extended)
        FreeLibrary(extended);
    // The item count of the plain form, and of the extended one.
    auto templateFields = [](const std::string&) {
        return std::vector<LengthField>{{8, false}, {16, false}, {0, false}};
    };
    Drive(m, run, count / 2, templates, templateFields, [&](const std::string& bytes) {
        // Copied to an aligned block, as a loaded resource is.
        std::vector<DWORD> aligned(bytes.size() / 4 + 1);
        std::memcpy(aligned.data(), bytes.data(), bytes.size());
        CheckTemplate(aligned.data(), bytes.size());
    });
    // Whole files: layout modules cut and damaged, other files, a 201 of another type.
    std::vector<std::string> modules = {ReadWholeFile(TestDataFile("..\\VKL_WIDE.VKL")),
                                        ReadWholeFile(TestDataFile("rcdata201.vkl")),
                                        ReadWholeFile(TestDataFile("skin.gif"))};
    const std::string file = folder + "\\input.vkl";
    Drive(m, run, count - count / 2, modules, NoFields, [&](const std::string& bytes) {
        WriteWholeFile(file, bytes);
        HMODULE module = LoadLayoutModule(file.c_str());
        if (!module)
            return;
        const DLGTEMPLATE* layout = LayoutTemplate(module);
        if (layout) {
            HWND window = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), layout, nullptr, QuietProcedure, 0);
            if (window)
                DestroyWindow(window);
        }
        FreeLibrary(module);
    });
}

// --- readings ------------------------------------------------------------------

BOOL CALLBACK TakePanelWindow(HWND window, LPARAM found)
{
    if (!GetDlgItem(window, kPanelGroups[0].outlineId))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// A main window made by this thread: found by its panel, not by its title,
// which the minimised title replaces.
HWND PanelWindowOfThisThread()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), TakePanelWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

void CheckTexts(FuzzRun& run, const SensorText& texts)
{
    for (const auto& t : texts.text)
        if (!Terminated(t, kReadingTextSize))
            run.Fail("a reading text ran past its field");
}

SensorBlock Block(Mutator& m, int kind)
{
    SensorBlock b;
    std::memset(&b, kind == 0 ? 0x00 : 0xFF, sizeof b);
    if (kind == 2) {
        const std::string bytes = m.RandomBytes(sizeof b);
        std::memcpy(&b, bytes.data(), sizeof b);
    }
    return b;
}

void FuzzReadings(Mutator& m, FuzzRun& run, int count, const std::string&)
{
    AppState& a = App();
    HWND window = PanelWindowOfThisThread();  // the test's main window, if any
    for (int i = 0; i < count; ++i) {
        SensorBlock current = Block(m, i % 3), maximum = Block(m, 2);
        CoreTable cores;
        const std::string bytes = m.RandomBytes(sizeof cores);
        std::memcpy(&cores, bytes.data(), sizeof cores);
        if (m.Below(2))
            cores.count %= 40;
        run.Begin(bytes);
        CSENSOR::chip.Format(current, &a.current);
        CSENSOR::chip.Format(maximum, &a.maximum);
        CheckTexts(run, a.current);
        CheckTexts(run, a.maximum);
        CSENSOR::DumpReadings(current);
        CSENSOR::DumpCores(cores);
        BuildCoreTooltipText(cores);
        if (!Terminated(a.tipText, kTipTextSize))
            run.Fail("the tooltip text ran past its buffer");
        if (window) {
            for (int row = 0; row < kRowCount; ++row)
                a.hover[row] = static_cast<int>(m.Below(2));
            DrawPanels(window);
            BuildMinimizedTitle(window);
            if (GetWindowTextLengthA(window) > 63)
                run.Fail("the minimised title ran past its buffer");
        }
        run.End();
    }
}

}  // namespace

const FuzzTarget kFuzzTargets[] = {
    {"png", FuzzPng},           {"skins", FuzzSkins},       {"regions", FuzzRegions},
    {"settings", FuzzSettings}, {"layouts", FuzzLayouts},   {"readings", FuzzReadings},
    {"requests", FuzzRequests},
};
const int kFuzzTargetCount = sizeof kFuzzTargets / sizeof kFuzzTargets[0];

HandleCounts CountHandles()
{
    HandleCounts counts = {};
    counts.kernel = static_cast<DWORD>(CountKernelHandles());
    counts.gdi = CountGdiObjects();
    return counts;
}
