#include "app/dlgtemplate.h"

#include <windows.h>

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
