#include "foundation/cstr.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

unsigned int TextLength(const char* text)
{
    return text ? static_cast<unsigned int>(std::strlen(text)) : 0;
}

}  // namespace

CSTR::CSTR(const char* source) : length(0), text(nullptr), errorHandler(nullptr)
{
    Append(source);
}

CSTR::CSTR(int value) : length(0), text(nullptr), errorHandler(nullptr)
{
    *this = value;
}

CSTR::CSTR(const CSTR& other) : length(0), text(nullptr), errorHandler(other.errorHandler)
{
    Append(other.text);
}

CSTR::~CSTR()
{
    Remove();
}

CSTR& CSTR::operator=(const CSTR& other)
{
    if (&other != this)
        *this = other.text;
    return *this;
}

CSTR& CSTR::operator=(const char* source)
{
    // Built before the old buffer goes, so a pointer into our own text stays readable.
    Rebuild(source, TextLength(source), nullptr, 0, nullptr, 0);
    return *this;
}

CSTR& CSTR::operator=(int value)
{
    char digits[16];
    int count = std::snprintf(digits, sizeof digits, "%d", value);
    Rebuild(digits, static_cast<unsigned int>(count), nullptr, 0, nullptr, 0);
    return *this;
}

CSTR& CSTR::operator+=(const CSTR& other)
{
    Append(other.text);
    return *this;
}

CSTR& CSTR::operator+=(const char* source)
{
    Append(source);
    return *this;
}

bool CSTR::operator==(const CSTR& other) const
{
    return *this == other.text;
}

bool CSTR::operator==(const char* other) const
{
    if (other == text)
        return true;
    if (!text || !other || !*other)
        return false;
    return std::strncmp(text, other, length) == 0;
}

const char* CSTR::Append(const char* source)
{
    if (!source || !*source || source == text)
        return text;
    Rebuild(text, length, source, TextLength(source), nullptr, 0);
    return text;
}

const char* CSTR::Insert(const char* source, unsigned int position)
{
    if (!source || !*source || source == text || position >= length)
        return text;
    Rebuild(text, position, source, TextLength(source), text + position, length - position);
    return text;
}

void CSTR::Remove()
{
    std::free(text);
    text = nullptr;
    length = 0;
}

bool CSTR::Compare(const char* other, unsigned int count) const
{
    if (other == text)
        return true;
    if (!text || !other || !*other)
        return false;
    return std::strncmp(text, other, count ? count : length) == 0;
}

unsigned int CSTR::Length() const
{
    return length;
}

const char* CSTR::String(unsigned int index) const
{
    return text ? text + index : "";
}

const char* CSTR::Upper()
{
    for (unsigned int i = 0; i < length; ++i)
        text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    return text;
}

const char* CSTR::Lower()
{
    for (unsigned int i = 0; i < length; ++i)
        text[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    return text;
}

const char* CSTR::Convert(bool upper)
{
    return upper ? Upper() : Lower();
}

long CSTR::Bit() const { return Convert(2); }
long CSTR::Oct() const { return Convert(8); }
long CSTR::Dec() const { return Convert(10); }
long CSTR::Hex() const { return Convert(16); }

long CSTR::Convert(int radix) const
{
    return text ? std::strtol(text, nullptr, radix) : 0;
}

long CSTR::Convert(int radix)
{
    return static_cast<const CSTR&>(*this).Convert(radix);
}

const char* CSTR::Trim(const char* set)
{
    TrimLeft(set);
    return TrimRight(set);
}

const char* CSTR::TrimLeft(const char* set)
{
    if (!text)
        return text;
    unsigned int skip = 0;
    while (skip < length && IsTrim(text[skip], set))
        ++skip;
    Rebuild(text + skip, length - skip, nullptr, 0, nullptr, 0);
    return text;
}

const char* CSTR::TrimRight(const char* set)
{
    if (!text)
        return text;
    unsigned int keep = length;
    while (keep > 0 && IsTrim(text[keep - 1], set))
        --keep;
    Rebuild(text, keep, nullptr, 0, nullptr, 0);
    return text;
}

void CSTR::RegisterErrorTrap(void (*handler)())
{
    errorHandler = handler;
}

void CSTR::ErrorTrap()
{
    std::exit(0);
}

bool CSTR::IsTrim(char ch, const char* set) const
{
    if (!set)
        return std::isspace(static_cast<unsigned char>(ch)) != 0;
    return ch != '\0' && std::memchr(set, ch, std::strlen(set)) != nullptr;
}

void CSTR::Rebuild(const char* a, unsigned int na, const char* b, unsigned int nb,
                   const char* c, unsigned int nc)
{
    unsigned int total = na + nb + nc;
    char* fresh = nullptr;
    if (total > 0) {
        fresh = static_cast<char*>(std::calloc(total + 1, 1));
        if (!fresh)
            ErrorTrap();
        if (na) std::memcpy(fresh, a, na);
        if (nb) std::memcpy(fresh + na, b, nb);
        if (nc) std::memcpy(fresh + na + nb, c, nc);
    }
    std::free(text);
    text = fresh;
    length = total;
}
