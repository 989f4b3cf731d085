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

const uintptr_t kMappingFlags = 3;  // the low bits of a module mapped as data
const DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                        PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// Whether [at, at + size) lies wholly in committed memory that may be read.
bool Readable(const void* at, size_t size)
{
    uintptr_t p = reinterpret_cast<uintptr_t>(at);
    const uintptr_t end = p + size;
    if (end < p)
        return false;
    while (p < end) {
        MEMORY_BASIC_INFORMATION m;
        if (!VirtualQuery(reinterpret_cast<const void*>(p), &m, sizeof m) || m.State != MEM_COMMIT ||
            (m.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(m.Protect & kReadable))
            return false;
        p = reinterpret_cast<uintptr_t>(m.BaseAddress) + m.RegionSize;
    }
    return true;
}

template <typename Headers>
const IMAGE_DATA_DIRECTORY* ResourceEntry(const void* nt)
{
    const auto* headers = static_cast<const Headers*>(nt);
    if (!Readable(headers, sizeof *headers) ||
        headers->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE)
        return nullptr;
    return &headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
}

// Where the resource directory starts, from the module's headers, or null.
const BYTE* ResourceRoot(const BYTE* base)
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (!Readable(dos, sizeof *dos) || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0)
        return nullptr;
    const BYTE* nt = base + dos->e_lfanew;
    const size_t magicAt = offsetof(IMAGE_NT_HEADERS32, OptionalHeader.Magic);
    WORD magic = 0;
    if (!Readable(nt, magicAt + sizeof magic))
        return nullptr;
    std::memcpy(&magic, nt + magicAt, sizeof magic);
    const IMAGE_DATA_DIRECTORY* entry = magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC   ? ResourceEntry<IMAGE_NT_HEADERS32>(nt)
                                        : magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? ResourceEntry<IMAGE_NT_HEADERS64>(nt)
                                                                                 : nullptr;
    return entry && entry->VirtualAddress ? base + entry->VirtualAddress : nullptr;
}

// A directory with all its entries in readable memory, or null.
const IMAGE_RESOURCE_DIRECTORY* Directory(const BYTE* root, DWORD offset)
{
    const auto* directory = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(root + offset);
    if (!Readable(directory, sizeof *directory))
        return nullptr;
    const size_t entries = static_cast<size_t>(directory->NumberOfNamedEntries) + directory->NumberOfIdEntries;
    return Readable(directory + 1, entries * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY)) ? directory : nullptr;
}

const IMAGE_RESOURCE_DIRECTORY_ENTRY* EntriesOf(const IMAGE_RESOURCE_DIRECTORY* directory)
{
    return reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(directory + 1);
}

// The directory every entry numbered id leads to (the lookup searches the
// numbered entries by halves, so any of them may be the one it takes), or
// null when there is none or one of them leads nowhere readable.
const IMAGE_RESOURCE_DIRECTORY* Below(const BYTE* root, const IMAGE_RESOURCE_DIRECTORY* directory, WORD id)
{
    const IMAGE_RESOURCE_DIRECTORY* found = nullptr;
    const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = EntriesOf(directory) + directory->NumberOfNamedEntries;
    for (WORD i = 0; i < directory->NumberOfIdEntries; ++i, ++entry) {
        if (entry->Id != id)
            continue;
        found = entry->DataIsDirectory ? Directory(root, entry->OffsetToDirectory) : nullptr;
        if (!found)
            return nullptr;
    }
    return found;
}

}  // namespace

bool ResourceReadable(HMODULE module, WORD type, WORD id)
{
    const BYTE* base = reinterpret_cast<const BYTE*>(reinterpret_cast<uintptr_t>(module) & ~kMappingFlags);
    const BYTE* root = module ? ResourceRoot(base) : nullptr;
    const IMAGE_RESOURCE_DIRECTORY* types = root ? Directory(root, 0) : nullptr;
    const IMAGE_RESOURCE_DIRECTORY* names = types ? Below(root, types, type) : nullptr;
    const IMAGE_RESOURCE_DIRECTORY* languages = names ? Below(root, names, id) : nullptr;
    if (!languages)
        return false;
    const size_t count = static_cast<size_t>(languages->NumberOfNamedEntries) + languages->NumberOfIdEntries;
    const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = EntriesOf(languages);
    for (size_t i = 0; i < count; ++i, ++entry) {
        const auto* data = reinterpret_cast<const IMAGE_RESOURCE_DATA_ENTRY*>(root + entry->OffsetToData);
        if (entry->DataIsDirectory || !Readable(data, sizeof *data) || !Readable(base + data->OffsetToData, data->Size))
            return false;
    }
    return count > 0;
}
