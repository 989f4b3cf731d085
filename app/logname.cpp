#include "app/logname.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const ULONGLONG kDay = 864000000000ULL;  // in file-time units
const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL"};
const char* const kNumberedDevices[] = {"COM", "LPT"};
const char kDeviceDigits[] = "123456789";
// The superscript digits of the Western code page, which Windows takes for
// device digits too (in Shift-JIS they are katakana).
const char kSuperscriptDigits[] = "\xB9\xB2\xB3";
const UINT kShiftJis = 932;

bool IsDeviceDigit(char c)
{
    return c && (std::strchr(kDeviceDigits, c) || (GetACP() != kShiftJis && std::strchr(kSuperscriptDigits, c)));
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsRelative(const char* path)
{
    return !(path[0] == '\\' || path[0] == '/' || (path[0] && path[1] == ':'));
}

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Digits of a date field in a file name, or -1.
int Digits(const char* text, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// A path component that names a device: its part before the first dot,
// without trailing blanks, is a device name.
bool IsDeviceName(const char* part, size_t length)
{
    size_t base = 0;
    while (base < length && part[base] != '.')
        ++base;
    while (base > 0 && part[base - 1] == ' ')
        --base;
    char name[5] = "";
    if (base < 3 || base > 4)
        return false;
    for (size_t i = 0; i < base; ++i)
        name[i] = Upper(part[i]);
    if (base == 3) {
        for (const char* device : kDeviceNames)
            if (std::strcmp(name, device) == 0)
                return true;
        return false;
    }
    for (const char* device : kNumberedDevices)
        if (std::strncmp(name, device, 3) == 0 && IsDeviceDigit(name[3]))
            return true;
    return false;
}

}  // namespace

bool LogNameAllowed(const char* name)
{
    const size_t length = std::strlen(name);
    return length > 4 && (lstrcmpiA(name + length - 4, ".CSV") == 0 || lstrcmpiA(name + length - 4, ".TSV") == 0);
}

bool LogPathSafe(const char* path)
{
    if (IsSeparator(path[0]) && IsSeparator(path[1]))
        return false;  // \\host\share, \\?\, \\.\ : not a plain file here
    if (std::strpbrk(path, "?*"))
        return false;  // no file name holds them; \??\ names the system's own paths
    const char* part = path;
    for (const char* c = path;; ++c) {
        if (*c && IsDBCSLeadByte(static_cast<BYTE>(*c)) && c[1]) {
            ++c;
            continue;
        }
        if (*c == ':' && c != path + 1)
            return false;  // a stream
        if (*c == '\0' || IsSeparator(*c) || *c == ':') {
            if (IsDeviceName(part, static_cast<size_t>(c - part)))
                return false;
            if (!*c)
                return true;
            part = c + 1;
        }
    }
}

size_t FolderLength(const char* path)
{
    size_t length = 0;
    for (size_t i = 0; path[i]; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1]) {
            ++i;
            continue;
        }
        if (IsSeparator(path[i]) || path[i] == ':')
            length = i + 1;
    }
    return length;
}

bool ExpandLogName(const char* pattern, const char* settingsPath, const SYSTEMTIME& date, char name[kPathSize])
{
    std::string expanded;
    if (IsRelative(pattern)) {
        expanded.assign(settingsPath, FolderLength(settingsPath));
    }
    for (const char* c = pattern; *c; ++c) {
        char field[8] = "";
        if (c[0] == '%' && (c[1] == 'Y' || c[1] == 'm' || c[1] == 'd')) {
            std::snprintf(field, sizeof field, c[1] == 'Y' ? "%04u" : "%02u",
                          c[1] == 'Y' ? date.wYear : c[1] == 'm' ? date.wMonth : date.wDay);
            expanded += field;
            ++c;
        } else {
            expanded += *c;
        }
    }
    if (expanded.size() >= static_cast<size_t>(kPathSize))
        return false;
    lstrcpynA(name, expanded.c_str(), kPathSize);
    return true;
}

bool MatchesPattern(const char* pattern, const char* name, SYSTEMTIME* date)
{
    *date = SYSTEMTIME{};
    const char* p = pattern;
    const char* n = name;
    while (*p) {
        if (p[0] == '%' && (p[1] == 'Y' || p[1] == 'm' || p[1] == 'd')) {
            const int width = p[1] == 'Y' ? 4 : 2;
            const int value = Digits(n, width);
            if (value < 0)
                return false;
            WORD& field = p[1] == 'Y' ? date->wYear : p[1] == 'm' ? date->wMonth : date->wDay;
            field = static_cast<WORD>(value);
            p += 2;
            n += width;
            continue;
        }
        if (*p == '.' && n[0] == '_') {  // NAME_n.EXT
            const char* after = n + 1;
            while (*after >= '0' && *after <= '9')
                ++after;
            if (after > n + 1 && *after == '.')
                n = after;
        }
        if (Upper(*p) != Upper(*n))
            return false;
        ++p;
        ++n;
    }
    return *n == '\0';
}

bool OldEnough(const SYSTEMTIME& date, const SYSTEMTIME& today, int days)
{
    SYSTEMTIME midnight = today;
    midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
    FILETIME a, b;
    if (!SystemTimeToFileTime(&date, &a) || !SystemTimeToFileTime(&midnight, &b))
        return false;  // no real date: never judged old
    const ULONGLONG then = (static_cast<ULONGLONG>(a.dwHighDateTime) << 32) | a.dwLowDateTime;
    const ULONGLONG now = (static_cast<ULONGLONG>(b.dwHighDateTime) << 32) | b.dwLowDateTime;
    return then + static_cast<ULONGLONG>(days) * kDay <= now && then < now;
}
