#include "app/dlgtemplate.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

const WORD kOrdinalMark = 0xFFFF;        // a number follows instead of a name
const WORD kExtendedVersion = 1;         // first word of an extended template
const WORD kExtendedSignature = 0xFFFF;  // its second word
const size_t kStandardCountOffset = 8;   // style, extended style, then the item count
const size_t kStandardFrame = 8;         // x, y, cx, cy
const size_t kStandardItem = 18;         // style, extended style, x, y, cx, cy, id
const size_t kExtendedStyleOffset = 8;   // version, signature, help id, then extended style
const size_t kExtendedFrame = 8;
const size_t kExtendedItem = 24;         // help id, extended style, style, x, y, cx, cy, 32-bit id
const size_t kExtendedFontFields = 6;    // point size, weight, italic, character set

// Reads a template front to back; every step fails instead of passing the end.
class TemplateReader {
public:
    TemplateReader(const void* data, size_t size) : bytes(static_cast<const unsigned char*>(data)), size(size) {}

    bool Skip(size_t n)
    {
        if (n > size - pos)
            return false;
        pos += n;
        return true;
    }

    bool Word(WORD* out) { return Copy(out, sizeof *out); }
    bool Dword(DWORD* out) { return Copy(out, sizeof *out); }

    // A NUL-terminated UTF-16 string.
    bool String()
    {
        WORD c = 0;
        do {
            if (!Word(&c))
                return false;
        } while (c != 0);
        return true;
    }

    // Nothing (0), a number (0xFFFF and the number) or a string.
    bool NameOrNumber()
    {
        WORD first = 0;
        if (!Word(&first))
            return false;
        if (first == 0)
            return true;
        if (first == kOrdinalMark)
            return Skip(sizeof(WORD));
        return String();
    }

    // A name field that must be empty.
    bool Nothing()
    {
        WORD first = 0;
        return Word(&first) && first == 0;
    }

    // Items start on a 32-bit boundary of the template.
    bool Align() { return Skip((4 - pos % 4) % 4); }

    // The creation data of an item: its size in bytes, then the bytes.
    bool CreationData()
    {
        WORD extra = 0;
        return Word(&extra) && Skip(extra);
    }

private:
    bool Copy(void* out, size_t n)
    {
        if (n > size - pos)
            return false;
        std::memcpy(out, bytes + pos, n);
        pos += n;
        return true;
    }

    const unsigned char* bytes;
    size_t size;
    size_t pos = 0;
};

bool StandardFits(TemplateReader& r)
{
    DWORD style = 0;
    WORD count = 0;
    if (!r.Dword(&style) || !r.Skip(kStandardCountOffset - sizeof style) || !r.Word(&count) ||
        !r.Skip(kStandardFrame))
        return false;
    if (!r.Nothing() || !r.Nothing() || !r.String())  // menu, class, title
        return false;
    if ((style & DS_SETFONT) && (!r.Skip(sizeof(WORD)) || !r.String()))
        return false;
    for (WORD i = 0; i < count; ++i) {
        if (!r.Align() || !r.Skip(kStandardItem) || !r.NameOrNumber() || !r.NameOrNumber() ||
            !r.CreationData())
            return false;
    }
    return true;
}

bool ExtendedFits(TemplateReader& r)
{
    DWORD style = 0;
    WORD count = 0;
    if (!r.Skip(kExtendedStyleOffset + sizeof(DWORD)) || !r.Dword(&style) || !r.Word(&count) ||
        !r.Skip(kExtendedFrame))
        return false;
    if (!r.Nothing() || !r.Nothing() || !r.String())  // menu, class, title
        return false;
    if ((style & DS_SETFONT) && (!r.Skip(kExtendedFontFields) || !r.String()))
        return false;
    for (WORD i = 0; i < count; ++i) {
        if (!r.Align() || !r.Skip(kExtendedItem) || !r.NameOrNumber() || !r.NameOrNumber() ||
            !r.CreationData())
            return false;
    }
    return true;
}

}  // namespace

bool DialogTemplateFits(const void* data, size_t size)
{
    if (!data)
        return false;
    TemplateReader probe(data, size);
    WORD version = 0, signature = 0;
    if (!probe.Word(&version) || !probe.Word(&signature))
        return false;
    TemplateReader reader(data, size);
    if (version == kExtendedVersion && signature == kExtendedSignature)
        return ExtendedFits(reader);
    return StandardFits(reader);
}

namespace {

const uintptr_t kDataFileFlag = 1;   // a module mapped as a plain data file
const uintptr_t kImageFlag = 2;      // one mapped as an image, for its resources
const uintptr_t kMappingFlags = kDataFileFlag | kImageFlag;
const DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                        PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// The view a module mapped as an image lies in: every range is asked for by
// its offset from the base and must lie inside the view, in committed,
// readable memory (what lies beyond the view is another module's or the
// heap's, whatever the file's offsets say).
class ModuleView {
public:
    explicit ModuleView(HMODULE module)
    {
        const uintptr_t handle = reinterpret_cast<uintptr_t>(module);
        if (!handle || (handle & kMappingFlags) != kImageFlag)
            return;
        base = reinterpret_cast<const BYTE*>(handle & ~kMappingFlags);
        MEMORY_BASIC_INFORMATION m;
        const BYTE* at = base;
        while (VirtualQuery(at, &m, sizeof m) && m.AllocationBase == base && m.RegionSize) {
            at = static_cast<const BYTE*>(m.BaseAddress) + m.RegionSize;
            extent = static_cast<uint64_t>(at - base);
        }
    }

    // The bytes [offset, offset + size) of the view, or null.
    const BYTE* At(uint64_t offset, uint64_t size) const
    {
        if (offset > extent || size > extent - offset)
            return nullptr;
        const BYTE* at = base + offset;
        for (const BYTE* p = at; p < at + size;) {
            MEMORY_BASIC_INFORMATION m;
            if (!VirtualQuery(p, &m, sizeof m) || m.State != MEM_COMMIT ||
                (m.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(m.Protect & kReadable))
                return nullptr;
            p = static_cast<const BYTE*>(m.BaseAddress) + m.RegionSize;
        }
        return at;
    }

    template <typename T>
    const T* Get(uint64_t offset) const
    {
        return reinterpret_cast<const T*>(At(offset, sizeof(T)));
    }

private:
    const BYTE* base = nullptr;
    uint64_t extent = 0;
};

template <typename Headers>
uint64_t ResourceOffset(const ModuleView& view, uint64_t ntAt)
{
    const auto* headers = view.Get<Headers>(ntAt);
    if (!headers || headers->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE)
        return 0;
    return headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
}

// Where the resource directory starts, from the module's headers; 0 for none.
uint64_t ResourceRoot(const ModuleView& view)
{
    const auto* dos = view.Get<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0)
        return 0;
    const uint64_t ntAt = static_cast<uint64_t>(dos->e_lfanew);
    const WORD* magic = view.Get<WORD>(ntAt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader.Magic));
    if (!magic)
        return 0;
    if (*magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return ResourceOffset<IMAGE_NT_HEADERS32>(view, ntAt);
    return *magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? ResourceOffset<IMAGE_NT_HEADERS64>(view, ntAt) : 0;
}

// The entries of the directory at offset (from the view's base), with their
// count, or null.
const IMAGE_RESOURCE_DIRECTORY_ENTRY* Directory(const ModuleView& view, uint64_t offset, size_t* named,
                                                size_t* count)
{
    const auto* directory = view.Get<IMAGE_RESOURCE_DIRECTORY>(offset);
    if (!directory)
        return nullptr;
    *named = directory->NumberOfNamedEntries;
    *count = *named + directory->NumberOfIdEntries;
    return reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(
        view.At(offset + sizeof *directory, *count * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY)));
}

// The offset of the directory that the entry numbered id of the directory
// at offset leads to, or 0. The lookup searches the numbered entries by
// halves, so they must be in strictly rising order, as resource compilers
// write them: with two of one number it could take either.
uint64_t Below(const ModuleView& view, uint64_t root, uint64_t offset, WORD id)
{
    size_t named = 0, count = 0;
    const IMAGE_RESOURCE_DIRECTORY_ENTRY* entries = Directory(view, offset, &named, &count);
    if (!entries)
        return 0;
    uint64_t found = 0;
    for (size_t i = named; i < count; ++i) {
        if (i > named && entries[i].Id <= entries[i - 1].Id)
            return 0;
        if (entries[i].Id == id)
            found = entries[i].DataIsDirectory ? root + entries[i].OffsetToDirectory : 0;
    }
    return found;
}

}  // namespace

bool ResourceReadable(HMODULE module, WORD type, WORD id)
{
    const ModuleView view(module);
    const uint64_t root = ResourceRoot(view);
    const uint64_t names = root ? Below(view, root, root, type) : 0;
    const uint64_t languages = names ? Below(view, root, names, id) : 0;
    size_t named = 0, count = 0;
    const IMAGE_RESOURCE_DIRECTORY_ENTRY* entries = languages ? Directory(view, languages, &named, &count) : nullptr;
    if (!entries || !count)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const auto* data = view.Get<IMAGE_RESOURCE_DATA_ENTRY>(root + entries[i].OffsetToData);
        if (entries[i].DataIsDirectory || !data || !view.At(data->OffsetToData, data->Size))
            return false;
    }
    return true;
}
