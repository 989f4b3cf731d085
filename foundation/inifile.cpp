#include "foundation/inifile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD kFormatSize = 256;    // every formatted value is built in this buffer
const DWORD kFontTextSize = 128;
const DWORD kPathSize = 1024;
const int kFontNumbers = 13;

// Parses up to max decimal numbers separated by commas; stops at the first
// piece that is not a number. Returns how many were parsed.
int ParseNumbers(const char* text, long* values, int max)
{
    int count = 0;
    const char* p = text;
    while (count < max) {
        char* end = nullptr;
        long value = std::strtol(p, &end, 10);
        if (end == p)
            break;
        values[count++] = value;
        if (*end != ',')
            break;
        p = end + 1;
    }
    return count;
}

BYTE Low8(long value)
{
    return static_cast<BYTE>(value & 0xFF);
}

}  // namespace

INIFILE::INIFILE() = default;

INIFILE::INIFILE(const INIFILE& other) : fileName(other.fileName) {}

INIFILE::~INIFILE()
{
    fileName.Remove();
}

INIFILE& INIFILE::operator=(const INIFILE& other)
{
    fileName = other.fileName;
    return *this;
}

int INIFILE::Open(const char* path)
{
    fileName.Remove();
    if (!path || !*path)
        return 0;
    fileName = path;
    return 1;
}

int INIFILE::OpenLocal(const char* name)
{
    Close();
    char path[kPathSize];
    DWORD n = GetModuleFileNameA(nullptr, path, kPathSize);
    if (n == 0 || n >= kPathSize)
        return 0;
    char* slash = std::strrchr(path, '\\');
    size_t dir = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    size_t extra = name ? std::strlen(name) : 0;
    if (dir + extra > kPathSize - 1)
        return 0;
    std::memcpy(path + dir, name ? name : "", extra + 1);
    return Open(path);
}

void INIFILE::Close()
{
    fileName.Remove();
}

int INIFILE::Create(const char* section)
{
    if (!Bound())
        return 0;
    // An empty key list: one string terminator followed by the list terminator.
    return WritePrivateProfileSectionA(section, "\0", fileName.String()) ? 1 : 0;
}

bool INIFILE::Bound() const
{
    return fileName.Length() > 0;
}

UINT INIFILE::ReadInteger(const char* section, const char* key, int def) const
{
    return GetPrivateProfileIntA(section, key, def, fileName.String());
}

DWORD INIFILE::ReadText(const char* section, const char* key, char* buffer, DWORD size) const
{
    buffer[0] = '\0';
    return GetPrivateProfileStringA(section, key, "", buffer, size, fileName.String());
}

int INIFILE::Read(const char* section, const char* key, unsigned char def, unsigned char* out)
{
    if (!Bound())
        return 0;
    *out = static_cast<unsigned char>(ReadInteger(section, key, def) & 0xFF);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, short def, short* out)
{
    if (!Bound())
        return 0;
    *out = static_cast<short>(ReadInteger(section, key, def) & 0xFFFF);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, unsigned short def, unsigned short* out)
{
    if (!Bound())
        return 0;
    *out = static_cast<unsigned short>(ReadInteger(section, key, def) & 0xFFFF);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, int def, int* out)
{
    if (!Bound())
        return 0;
    *out = static_cast<int>(ReadInteger(section, key, def));
    return 1;
}

int INIFILE::Read(const char* section, const char* key, unsigned int def, unsigned int* out)
{
    return Read(section, key, static_cast<int>(def), reinterpret_cast<int*>(out));
}

int INIFILE::Read(const char* section, const char* key, long def, long* out)
{
    static_assert(sizeof(long) == sizeof(int), "long is 32 bits on Windows");
    return Read(section, key, static_cast<int>(def), reinterpret_cast<int*>(out));
}

int INIFILE::Read(const char* section, const char* key, unsigned long def, unsigned long* out)
{
    return Read(section, key, static_cast<int>(def), reinterpret_cast<int*>(out));
}

int INIFILE::Read(const char* section, const char* key, float def, float* out)
{
    double value = 0.0;
    if (!Read(section, key, static_cast<double>(def), &value))
        return 0;
    *out = static_cast<float>(value);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, double def, double* out)
{
    if (!Bound())
        return 0;
    char text[kFormatSize];
    *out = ReadText(section, key, text, kFormatSize) ? std::atof(text) : def;
    return 1;
}

int INIFILE::Read(const char* section, const char* key, const char* def, char* buffer,
                  unsigned int size)
{
    if (!Bound())
        return 0;
    GetPrivateProfileStringA(section, key, def ? def : "", buffer, size, fileName.String());
    return 1;
}

int INIFILE::Read(const char* section, const char* key, COLORREF* colour)
{
    char text[kFormatSize];
    if (!Bound() || !ReadText(section, key, text, kFormatSize))
        return 0;
    long rgb[3] = {GetRValue(*colour), GetGValue(*colour), GetBValue(*colour)};
    ParseNumbers(text, rgb, 3);
    *colour = RGB(Low8(rgb[0]), Low8(rgb[1]), Low8(rgb[2]));
    return 1;
}

int INIFILE::Read(const char* section, const char* key, LOGFONTA* font)
{
    char text[kFontTextSize];
    if (!Bound() || !ReadText(section, key, text, kFontTextSize))
        return 0;
    long n[kFontNumbers] = {
        font->lfHeight, font->lfWidth, font->lfEscapement, font->lfOrientation, font->lfWeight,
        font->lfItalic, font->lfUnderline, font->lfStrikeOut, font->lfCharSet,
        font->lfOutPrecision, font->lfClipPrecision, font->lfQuality, font->lfPitchAndFamily};
    ParseNumbers(text, n, kFontNumbers);
    font->lfHeight = n[0];
    font->lfWidth = n[1];
    font->lfEscapement = n[2];
    font->lfOrientation = n[3];
    font->lfWeight = n[4];
    font->lfItalic = Low8(n[5]);
    font->lfUnderline = Low8(n[6]);
    font->lfStrikeOut = Low8(n[7]);
    font->lfCharSet = Low8(n[8]);
    font->lfOutPrecision = Low8(n[9]);
    font->lfClipPrecision = Low8(n[10]);
    font->lfQuality = Low8(n[11]);
    font->lfPitchAndFamily = Low8(n[12]);
    const char* comma = std::strrchr(text, ',');
    if (comma && comma[1])
        lstrcpynA(font->lfFaceName, comma + 1, LF_FACESIZE);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, RECT* rect)
{
    char text[kFormatSize];
    if (!Bound() || !ReadText(section, key, text, kFormatSize))
        return 0;
    long n[4] = {rect->left, rect->top, rect->right, rect->bottom};
    ParseNumbers(text, n, 4);
    *rect = RECT{n[0], n[1], n[2], n[3]};
    return 1;
}

int INIFILE::WriteText(const char* section, const char* key, const char* text)
{
    if (!Bound())
        return 0;
    WritePrivateProfileStringA(section, key, text, fileName.String());
    return 1;
}

int INIFILE::Write(const char* section, const char* key, const char* format, unsigned long value)
{
    char text[kFormatSize];
    std::snprintf(text, sizeof text, format, value);
    return WriteText(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, unsigned char value)
{
    return Write(section, key, "0x%02x", static_cast<unsigned long>(value));
}

int INIFILE::Write(const char* section, const char* key, short value)
{
    return Write(section, key, static_cast<int>(value));
}

int INIFILE::Write(const char* section, const char* key, unsigned short value)
{
    return Write(section, key, "0x%04x", static_cast<unsigned long>(value));
}

int INIFILE::Write(const char* section, const char* key, int value)
{
    return Write(section, key, "%d", static_cast<unsigned long>(value));
}

int INIFILE::Write(const char* section, const char* key, unsigned int value)
{
    return Write(section, key, "%u", static_cast<unsigned long>(value));
}

int INIFILE::Write(const char* section, const char* key, long value)
{
    return Write(section, key, "%ld", static_cast<unsigned long>(value));
}

int INIFILE::Write(const char* section, const char* key, unsigned long value)
{
    return Write(section, key, "0x%08lx", value);
}

int INIFILE::Write(const char* section, const char* key, float value)
{
    return Write(section, key, static_cast<double>(value));
}

int INIFILE::Write(const char* section, const char* key, double value)
{
    char text[kFormatSize];
    std::snprintf(text, sizeof text, "%lf", value);
    return WriteText(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, const char* text)
{
    return WriteText(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, const COLORREF* colour)
{
    char text[kFormatSize];
    std::snprintf(text, sizeof text, "%d,%d,%d", GetRValue(*colour), GetGValue(*colour),
                  GetBValue(*colour));
    return WriteText(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, const LOGFONTA* f)
{
    char text[kFormatSize];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%s",
                  static_cast<int>(f->lfHeight), static_cast<int>(f->lfWidth),
                  static_cast<int>(f->lfEscapement), static_cast<int>(f->lfOrientation),
                  static_cast<int>(f->lfWeight), f->lfItalic, f->lfUnderline, f->lfStrikeOut,
                  f->lfCharSet, f->lfOutPrecision, f->lfClipPrecision, f->lfQuality,
                  f->lfPitchAndFamily, f->lfFaceName);
    return WriteText(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, const RECT* r)
{
    char text[kFormatSize];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", static_cast<int>(r->left),
                  static_cast<int>(r->top), static_cast<int>(r->right), static_cast<int>(r->bottom));
    return WriteText(section, key, text);
}
