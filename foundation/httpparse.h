#pragma once
// The small HTTP/1.x subset the metrics endpoint understands, as plain
// functions of their inputs: the request head, the addresses that may
// connect and the bearer token. Nothing here touches a socket.

#include <cstddef>
#include <cstdint>
#include <string>

// A request head (request line and headers) may hold this many bytes,
// the blank line that ends it included.
const size_t kHttpHeadLimit = 8192;

enum class HttpParse {
    NeedMore,    // no blank line yet, and room for more
    Complete,    // a well-formed head
    Malformed,   // 400
    TooLarge,    // 431: no end within kHttpHeadLimit
};

struct HttpRequest {
    std::string method;         // as sent: GET, HEAD, ...
    std::string path;           // without the query
    bool hasAuthorization = false;
    std::string authorization;  // the header's value, blanks around it removed
};

// Reads the head at the start of data (CRLF or bare LF line ends). Bytes
// after the blank line (a body) are not looked at.
HttpParse ParseHttpRequest(const char* data, size_t length, HttpRequest* request);

// The status a parsed request earns: 200, 401, 404 or 405. documents holds
// the paths answered, count of them; *document becomes the index of the
// one asked for. token empty: no authorization asked.
int HttpStatusFor(const HttpRequest& request, const char* const* documents, int count,
                  const char* token, int* document);

// An "Authorization: Bearer <token>" value against the token, in a time
// that does not depend on where they differ.
bool BearerMatches(const std::string& authorization, const char* token);

// IPv4 in host byte order ("10.0.0.1" is 0x0A000001).
// A dotted address; false for anything else.
bool ParseIpv4(const char* text, uint32_t* address);
// Whether the peer may connect: loopback always; others only when the
// list (addresses or ranges such as 192.168.1.0/24, separated by commas,
// semicolons or blanks) names them. Entries that are not addresses are
// skipped.
bool PeerAllowed(uint32_t peer, const char* allowFrom);
// The list holds nothing that is not an address or a range.
bool AllowListValid(const char* allowFrom);
