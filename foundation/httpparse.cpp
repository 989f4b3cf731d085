#include "foundation/httpparse.h"

#include <cstring>

namespace {

bool IsTokenChar(char c)
{
    // RFC 9110 tchar: the characters a method or header name may use.
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsToken(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (!IsTokenChar(c))
            return false;
    return true;
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(const std::string& a, const char* b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

std::string Trimmed(const std::string& text)
{
    size_t first = 0, last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t'))
        ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t'))
        --last;
    return text.substr(first, last - first);
}

// The head's lines, without their ends; false when a line holds a stray
// carriage return or a control byte.
bool SplitLines(const char* data, size_t end, std::string* lines, size_t maxLines, size_t* count)
{
    *count = 0;
    size_t start = 0;
    while (start < end) {
        size_t stop = start;
        while (stop < end && data[stop] != '\n')
            ++stop;
        size_t last = stop;
        if (last > start && data[last - 1] == '\r')
            --last;
        std::string line(data + start, last - start);
        for (char c : line)
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)
                return false;
        if (*count == maxLines)
            return false;
        lines[(*count)++] = line;
        start = stop + 1;
    }
    return true;
}

bool ParseRequestLine(const std::string& line, HttpRequest* request)
{
    const size_t first = line.find(' ');
    const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos || line.find(' ', second + 1) != std::string::npos)
        return false;
    request->method = line.substr(0, first);
    const std::string target = line.substr(first + 1, second - first - 1);
    const std::string version = line.substr(second + 1);
    if (!IsToken(request->method) || target.empty() || target[0] != '/')
        return false;
    if (version != "HTTP/1.0" && version != "HTTP/1.1")
        return false;
    request->path = target.substr(0, target.find('?'));
    return true;
}

bool ParseHeader(const std::string& line, HttpRequest* request)
{
    const size_t colon = line.find(':');
    if (colon == std::string::npos || !IsToken(line.substr(0, colon)))
        return false;  // a folded line starts with a blank, which no name holds
    if (!SameWord(line.substr(0, colon), "Authorization"))
        return true;
    if (request->hasAuthorization)
        return false;  // two would leave it open which one counts
    request->hasAuthorization = true;
    request->authorization = Trimmed(line.substr(colon + 1));
    return true;
}

// The end of the head: the offset of the blank line's last byte plus one.
size_t HeadEnd(const char* data, size_t length)
{
    for (size_t i = 0; i + 1 < length; ++i) {
        if (data[i] != '\n')
            continue;
        if (data[i + 1] == '\n')
            return i + 2;
        if (data[i + 1] == '\r' && i + 2 < length && data[i + 2] == '\n')
            return i + 3;
    }
    return 0;
}

const size_t kMaxLines = 128;

}  // namespace

HttpParse ParseHttpRequest(const char* data, size_t length, HttpRequest* request)
{
    *request = HttpRequest();
    const size_t end = HeadEnd(data, length < kHttpHeadLimit ? length : kHttpHeadLimit);
    if (end == 0)
        return length >= kHttpHeadLimit ? HttpParse::TooLarge : HttpParse::NeedMore;
    static_assert(kMaxLines > 2, "a request line, a header and the blank line");
    std::string lines[kMaxLines];
    size_t count = 0;
    if (!SplitLines(data, end, lines, kMaxLines, &count))
        return HttpParse::Malformed;
    // The last line is the blank one that ends the head.
    if (count < 2 || !ParseRequestLine(lines[0], request))
        return HttpParse::Malformed;
    for (size_t i = 1; i + 1 < count; ++i)
        if (!ParseHeader(lines[i], request))
            return HttpParse::Malformed;
    return HttpParse::Complete;
}

bool BearerMatches(const std::string& authorization, const char* token)
{
    const char kScheme[] = "bearer ";
    const size_t schemeLength = sizeof kScheme - 1;
    bool scheme = authorization.size() > schemeLength;
    for (size_t i = 0; scheme && i < schemeLength; ++i)
        scheme = Lower(authorization[i]) == kScheme[i];
    const std::string given = scheme ? Trimmed(authorization.substr(schemeLength)) : std::string();
    const size_t tokenLength = std::strlen(token);
    // Every byte of the longer one is looked at, whatever differs first.
    const size_t span = given.size() > tokenLength ? given.size() : tokenLength;
    unsigned int difference = given.size() == tokenLength ? 0u : 1u;
    for (size_t i = 0; i < span; ++i) {
        const unsigned char a = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        const unsigned char b = i < tokenLength ? static_cast<unsigned char>(token[i]) : 0;
        difference |= static_cast<unsigned int>(a ^ b);
    }
    return scheme && tokenLength > 0 && difference == 0;
}

int HttpStatusFor(const HttpRequest& request, const char* const* documents, int count,
                  const char* token, int* document)
{
    *document = -1;
    if (token && token[0] && !(request.hasAuthorization && BearerMatches(request.authorization, token)))
        return 401;
    for (int i = 0; i < count; ++i)
        if (request.path == documents[i])
            *document = i;
    if (*document < 0)
        return 404;
    return request.method == "GET" || request.method == "HEAD" ? 200 : 405;
}

bool ParseIpv4(const char* text, uint32_t* address)
{
    uint32_t value = 0;
    int parts = 0;
    const char* p = text;
    while (parts < 4) {
        if (*p < '0' || *p > '9')
            return false;
        unsigned int part = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) {
            part = part * 10 + static_cast<unsigned int>(*p++ - '0');
            ++digits;
        }
        if (digits > 3 || part > 255)
            return false;
        value = (value << 8) | part;
        if (++parts < 4 && *p++ != '.')
            return false;
    }
    if (*p != '\0')
        return false;
    *address = value;
    return true;
}

namespace {

// One entry: an address, or an address and a prefix length.
bool ParseRange(const std::string& entry, uint32_t* network, uint32_t* mask)
{
    const size_t slash = entry.find('/');
    uint32_t address = 0;
    if (!ParseIpv4(entry.substr(0, slash).c_str(), &address))
        return false;
    int bits = 32;
    if (slash != std::string::npos) {
        const std::string length = entry.substr(slash + 1);
        if (length.empty() || length.size() > 2 || length.find_first_not_of("0123456789") != std::string::npos)
            return false;
        bits = 0;
        for (char c : length)
            bits = bits * 10 + (c - '0');
        if (bits > 32)
            return false;
    }
    *mask = bits == 0 ? 0u : 0xFFFFFFFFu << (32 - bits);
    *network = address & *mask;
    return true;
}

template <typename Visit>
void ForEachEntry(const char* list, Visit visit)
{
    std::string entry;
    for (const char* p = list;; ++p) {
        const bool separator = *p == '\0' || *p == ',' || *p == ';' || *p == ' ' || *p == '\t';
        if (!separator) {
            entry += *p;
            continue;
        }
        if (!entry.empty() && !visit(entry))
            return;
        entry.clear();
        if (*p == '\0')
            return;
    }
}

const uint32_t kLoopbackNetwork = 0x7F000000;
const uint32_t kLoopbackMask = 0xFF000000;

}  // namespace

bool PeerAllowed(uint32_t peer, const char* allowFrom)
{
    if ((peer & kLoopbackMask) == kLoopbackNetwork)
        return true;
    bool allowed = false;
    ForEachEntry(allowFrom, [&](const std::string& entry) {
        uint32_t network = 0, mask = 0;
        if (ParseRange(entry, &network, &mask) && (peer & mask) == network)
            allowed = true;
        return !allowed;
    });
    return allowed;
}

bool AllowListValid(const char* allowFrom)
{
    bool valid = true;
    ForEachEntry(allowFrom, [&](const std::string& entry) {
        uint32_t network = 0, mask = 0;
        valid = ParseRange(entry, &network, &mask);
        return valid;
    });
    return valid;
}
