#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/dlgtemplate.h"
#include "app/startup.h"
#include "resources/resource.h"
#include "support/tempdir.h"

namespace {

const WORD kButtonAtom = 0x0080;
const WORD kStaticAtom = 0x0082;

struct TemplateItem {
    WORD id;
    WORD classAtom;  // 0 when the class is named by a string
    DWORD style;
    short x, y, cx, cy;
};

struct DialogTemplate {
    DWORD style = 0;
    short cx = 0, cy = 0;
    WORD pointSize = 0;
    std::wstring face;
    std::vector<TemplateItem> items;
};

// Reads a standard-form template (the form the resource compiler writes).
class Reader {
public:
    explicit Reader(const unsigned char* data) : p(data), start(data) {}
    WORD Word()
    {
        WORD w;
        std::memcpy(&w, p, sizeof w);
        p += sizeof w;
        return w;
    }
    DWORD Dword()
    {
        DWORD lo = Word();
        return lo | (static_cast<DWORD>(Word()) << 16);
    }
    std::wstring String()
    {
        std::wstring s;
        for (WORD c = Word(); c != 0; c = Word())
            s.push_back(static_cast<wchar_t>(c));
        return s;
    }
    // Returns the number for a numbered name, else 0.
    WORD NameOrNumber()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return Word();
        if (first != 0)
            for (WORD c = Word(); c != 0; c = Word()) {
            }
        return 0;
    }
    void Align() { p = start + ((p - start + 3) & ~3); }
    void Skip(size_t n) { p += n; }

private:
    const unsigned char* p;
    const unsigned char* start;
};

DialogTemplate Parse(const void* data)
{
    Reader r(static_cast<const unsigned char*>(data));
    DialogTemplate t;
    t.style = r.Dword();
    r.Dword();
    WORD count = r.Word();
    r.Skip(4);
    t.cx = static_cast<short>(r.Word());
    t.cy = static_cast<short>(r.Word());
    r.NameOrNumber();
    r.NameOrNumber();
    r.String();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        t.face = r.String();
    }
    for (WORD i = 0; i < count; ++i) {
        r.Align();
        TemplateItem item;
        item.style = r.Dword();
        r.Dword();
        item.x = static_cast<short>(r.Word());
        item.y = static_cast<short>(r.Word());
        item.cx = static_cast<short>(r.Word());
        item.cy = static_cast<short>(r.Word());
        item.id = r.Word();
        item.classAtom = r.NameOrNumber();
        r.NameOrNumber();
        r.Skip(r.Word());
        t.items.push_back(item);
    }
    return t;
}

struct Resource {
    const void* data = nullptr;
    DWORD size = 0;
};

Resource DialogResource(HMODULE module, int id)
{
    Resource res;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_DIALOG);
    if (!found)
        return res;
    res.data = LockResource(LoadResource(module, found));
    res.size = SizeofResource(module, found);
    return res;
}

std::string ExecutableFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *(std::strrchr(path, '\\') + 1) = '\0';
    return path;
}

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kFrameStyle = kChild | BS_GROUPBOX;
const DWORD kTitleStyle = kChild | WS_GROUP | SS_CENTER;
const DWORD kLabelStyle = kChild | WS_GROUP | SS_LEFT | SS_CENTERIMAGE;
const DWORD kValueStyle = kChild | WS_GROUP | SS_CENTER | SS_CENTERIMAGE;

// Template 200 as the arrangement rules describe it: rows 12 units apart,
// item n at base + 2n (label) and base + 2n + 1 (value).
std::vector<TemplateItem> BuiltInArrangement()
{
    std::vector<TemplateItem> items = {
        {IDC_TEMP_FRAME, kButtonAtom, kFrameStyle, 4, 0, 84, 58},
        {IDC_FAN_FRAME, kButtonAtom, kFrameStyle, 4, 60, 84, 70},
        {IDC_VOLT_FRAME, kButtonAtom, kFrameStyle, 94, 0, 82, 130},
    };
    struct Group {
        WORD title;
        short titleX, titleY, titleWidth;
        WORD base;
        int count;
        short labelX, labelWidth, valueX, firstRow;
    };
    const Group groups[] = {
        {IDC_TEMP_TITLE, 8, 8, 76, IDC_TEMP_BASE, 3, 8, 36, 46, 20},
        {IDC_FAN_TITLE, 8, 67, 76, IDC_FAN_BASE, 4, 8, 36, 46, 80},
        {IDC_VOLT_TITLE, 98, 8, 74, IDC_VOLT_BASE, 9, 98, 34, 134, 20},
    };
    for (const Group& g : groups) {
        items.push_back({g.title, kStaticAtom, kTitleStyle, g.titleX, g.titleY, g.titleWidth, 10});
        for (int n = 0; n < g.count; ++n) {
            short y = static_cast<short>(g.firstRow + 12 * n);
            items.push_back({static_cast<WORD>(g.base + 2 * n), kStaticAtom, kLabelStyle, g.labelX, y,
                             g.labelWidth, 10});
            items.push_back({static_cast<WORD>(g.base + 2 * n + 1), kStaticAtom, kValueStyle, g.valueX, y, 38, 10});
        }
    }
    return items;
}

TEST(BuiltInTemplate, MatchesTheArrangementControlForControl)
{
    Resource res = DialogResource(GetModuleHandleA(nullptr), IDD_MAIN);
    ASSERT_NE(nullptr, res.data);
    DialogTemplate t = Parse(res.data);
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT),
              t.style);
    EXPECT_EQ(180, t.cx);
    EXPECT_EQ(135, t.cy);
    EXPECT_EQ(12, t.pointSize);
    EXPECT_EQ(std::wstring(L"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF"), t.face);

    std::vector<TemplateItem> expected = BuiltInArrangement();
    ASSERT_EQ(38u, expected.size());
    ASSERT_EQ(expected.size(), t.items.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TemplateItem& e = expected[i];
        const TemplateItem& a = t.items[i];
        SCOPED_TRACE(e.id);
        EXPECT_EQ(e.id, a.id);
        EXPECT_EQ(e.classAtom, a.classAtom);
        EXPECT_EQ(e.style, a.style);
        EXPECT_EQ(e.x, a.x);
        EXPECT_EQ(e.y, a.y);
        EXPECT_EQ(e.cx, a.cx);
        EXPECT_EQ(e.cy, a.cy);
    }
}

TEST(BuiltInTemplate, ExecutableCarriesItsIcons)
{
    for (int id : {IDI_SMALL, IDI_LARGE, IDI_SETTINGS_PAGE, IDI_SETTINGS_SMALL, IDI_SETTINGS_LARGE, IDI_CPU_SMALL,
                   IDI_CPU_LARGE}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
        EXPECT_NE(nullptr, icon) << id;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << id;
        BITMAP bm = {};
        GetObjectA(info.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(16, bm.bmWidth) << id;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

RECT Rect(const TemplateItem& item)
{
    return {item.x, item.y, item.x + item.cx, item.y + item.cy};
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

TEST(WideLayout, IsAResourceOnly32BitModule)
{
    std::string bytes = ReadWholeFile(ExecutableFolder() + "VKL_WIDE.VKL");
    ASSERT_GT(bytes.size(), sizeof(IMAGE_DOS_HEADER));
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, bytes.data(), sizeof dos);
    ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos.e_magic);
    ASSERT_LT(static_cast<size_t>(dos.e_lfanew) + sizeof(IMAGE_NT_HEADERS32), bytes.size());
    IMAGE_NT_HEADERS32 nt;
    std::memcpy(&nt, bytes.data() + dos.e_lfanew, sizeof nt);
    EXPECT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt.Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt.FileHeader.Machine);
    EXPECT_TRUE(nt.FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt.OptionalHeader.Magic);
    EXPECT_EQ(0u, nt.OptionalHeader.SizeOfCode);
    EXPECT_EQ(0u, nt.OptionalHeader.AddressOfEntryPoint);
}

TEST(WideLayout, HonoursTheControlContractInOneRow)
{
    HMODULE module = LoadLayoutModule("VKL_WIDE.VKL");
    ASSERT_NE(nullptr, module);
    Resource res = DialogResource(module, IDD_LAYOUT);
    ASSERT_NE(nullptr, res.data);
    ASSERT_TRUE(DialogTemplateFits(res.data, res.size));
    DialogTemplate t = Parse(res.data);
    FreeLibrary(module);

    std::map<WORD, RECT> rects;
    for (const TemplateItem& item : t.items) {
        EXPECT_EQ(0u, rects.count(item.id)) << "id used twice: " << item.id;
        rects[item.id] = Rect(item);
    }
    const RECT window = {0, 0, t.cx, t.cy};
    const WORD frames[] = {IDC_TEMP_FRAME, IDC_FAN_FRAME, IDC_VOLT_FRAME};
    const WORD titles[] = {IDC_TEMP_TITLE, IDC_FAN_TITLE, IDC_VOLT_TITLE};
    const WORD bases[] = {IDC_TEMP_BASE, IDC_FAN_BASE, IDC_VOLT_BASE};
    const int counts[] = {3, 4, 9};
    std::vector<RECT> texts;
    for (int g = 0; g < 3; ++g) {
        ASSERT_EQ(1u, rects.count(frames[g]));
        const RECT frame = rects[frames[g]];
        EXPECT_TRUE(Inside(frame, window)) << frames[g];
        EXPECT_EQ(rects[frames[0]].top, frame.top);
        EXPECT_EQ(rects[frames[0]].bottom, frame.bottom);
        if (g > 0) {
            EXPECT_GE(frame.left, rects[frames[g - 1]].right);  // side by side, left to right
        }
        std::vector<WORD> ids = {titles[g]};
        for (int n = 0; n < 2 * counts[g]; ++n)
            ids.push_back(static_cast<WORD>(bases[g] + n));
        for (WORD id : ids) {
            ASSERT_EQ(1u, rects.count(id)) << id;
            EXPECT_TRUE(Inside(rects[id], frame)) << id;
            texts.push_back(rects[id]);
        }
    }
    EXPECT_EQ(38u, rects.size());
    EXPECT_GT(t.cx, 2 * t.cy);
    for (size_t i = 0; i < texts.size(); ++i)
        for (size_t j = i + 1; j < texts.size(); ++j) {
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &texts[i], &texts[j])) << i << " and " << j;
        }
}

uint32_t Get32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

std::string Put32(std::string bytes, size_t at, uint32_t value)
{
    return bytes.replace(at, sizeof value, reinterpret_cast<const char*>(&value), sizeof value);
}

// Damaged copies of the wide layout whose resource lookup would read outside
// the module are refused before the platform's lookup is asked.
TEST(LayoutModuleCheck, RefusesResourcesThatPointOutsideTheModule)
{
    const std::string whole = ReadWholeFile(ExecutableFolder() + "VKL_WIDE.VKL");
    const size_t nt = Get32(whole, offsetof(IMAGE_DOS_HEADER, e_lfanew));
    const size_t rvaField = nt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader.DataDirectory) +
                            IMAGE_DIRECTORY_ENTRY_RESOURCE * sizeof(IMAGE_DATA_DIRECTORY);
    const uint32_t rva = Get32(whole, rvaField);
    const size_t sections = nt + sizeof(IMAGE_NT_HEADERS32);
    size_t root = 0;  // the file offset of the resource directory
    for (size_t s = sections; s + sizeof(IMAGE_SECTION_HEADER) <= whole.size() && !root; s += sizeof(IMAGE_SECTION_HEADER)) {
        const uint32_t va = Get32(whole, s + offsetof(IMAGE_SECTION_HEADER, VirtualAddress));
        if (va == rva)
            root = Get32(whole, s + offsetof(IMAGE_SECTION_HEADER, PointerToRawData));
    }
    ASSERT_NE(0u, root);
    // The first numbered entry of a directory: the dialogs, then 201, then its language.
    auto first = [&](size_t directory) { return root + (Get32(whole, directory + 20) & 0x7FFFFFFF); };
    const size_t data = first(first(first(root)));
    const TempDir dir;
    const struct {
        const char* what;
        std::string bytes;
        bool whole;
    } kModules[] = {
        {"whole", whole, true},
        {"directory past the module", Put32(whole, rvaField, rva + 0x40000), false},
        {"more entries than it holds", Put32(whole, root + 12, 0xFFFF0000), false},
        {"numbered entries out of order", Put32(whole, root + 12, 0x00020000), false},
        {"dialogs past the module", Put32(whole, root + 20, 0xFFFFFF00), false},
        {"a template larger than the module", Put32(whole, data + 4, 0x7FFFFFFF), false},
        {"a template past the module", Put32(whole, data, 0x7FFFFF00), false},
    };
    for (const auto& m : kModules) {
        SCOPED_TRACE(m.what);
        WriteWholeFile(dir.File("damaged.vkl"), m.bytes);
        HMODULE module = LoadLayoutModule(dir.File("damaged.vkl").c_str());
        ASSERT_NE(nullptr, module);
        EXPECT_EQ(m.whole, ResourceReadable(module, 5, IDD_LAYOUT));
        EXPECT_EQ(m.whole, LayoutTemplate(module) != nullptr);
        FreeLibrary(module);
    }
}

TEST(DialogTemplateCheck, AcceptsWholeTemplatesAndRejectsCutOnes)
{
    Resource res = DialogResource(GetModuleHandleA(nullptr), IDD_MAIN);
    ASSERT_NE(nullptr, res.data);
    EXPECT_TRUE(DialogTemplateFits(res.data, res.size));
    // The last item ends at most two bytes of padding before the resource does.
    for (DWORD size = 0; size + 4 <= res.size; ++size)
        ASSERT_FALSE(DialogTemplateFits(res.data, size)) << size;
    EXPECT_FALSE(DialogTemplateFits(nullptr, 100));
}

// An extended template: header, no menu, standard class, title, font and
// one static, although the header may claim more items.
std::vector<unsigned char> ExtendedTemplate(WORD items)
{
    std::vector<unsigned char> t;
    auto word = [&](WORD w) {
        t.push_back(static_cast<unsigned char>(w));
        t.push_back(static_cast<unsigned char>(w >> 8));
    };
    auto dword = [&](DWORD d) {
        word(static_cast<WORD>(d));
        word(static_cast<WORD>(d >> 16));
    };
    word(1);
    word(0xFFFF);
    dword(0);
    dword(0);
    dword(WS_POPUP | DS_SETFONT);
    word(items);
    for (int i = 0; i < 4; ++i)
        word(10);
    word(0);
    word(0);
    word('T');
    word(0);
    word(9);
    word(400);
    t.push_back(0);
    t.push_back(1);
    word('A');
    word(0);
    while (t.size() % 4)
        t.push_back(0);
    dword(0);
    dword(0);
    dword(WS_CHILD);
    for (int k = 0; k < 4; ++k)
        word(5);
    dword(1300);
    word(0xFFFF);
    word(kStaticAtom);
    word('x');
    word(0);
    word(2);  // two bytes of creation data
    word(0xABCD);
    return t;
}

TEST(DialogTemplateCheck, ReadsTheExtendedFormToo)
{
    std::vector<unsigned char> t = ExtendedTemplate(1);
    EXPECT_TRUE(DialogTemplateFits(t.data(), t.size()));
    for (size_t size = 0; size < t.size(); ++size)
        ASSERT_FALSE(DialogTemplateFits(t.data(), size)) << size;
    std::vector<unsigned char> more = ExtendedTemplate(500);  // claims items it does not hold
    EXPECT_FALSE(DialogTemplateFits(more.data(), more.size()));
}

}  // namespace
