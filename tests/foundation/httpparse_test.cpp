// The endpoint's request heads, statuses, bearer tokens and allowed peers,
// as plain functions.

#include <gtest/gtest.h>

#include <string>

#include "foundation/httpparse.h"

namespace {

HttpParse Parse(const std::string& head, HttpRequest* request = nullptr)
{
    HttpRequest scratch;
    return ParseHttpRequest(head.data(), head.size(), request ? request : &scratch);
}

TEST(HttpParse, Heads)
{
    const struct {
        std::string head;
        HttpParse expected;
    } cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", HttpParse::Complete},
        {"GET /metrics HTTP/1.0\n\n", HttpParse::Complete},                  // bare line feeds
        {"HEAD /data.json?x=1 HTTP/1.1\r\n\r\nbody", HttpParse::Complete},   // a body is not read
        {"GET /metrics HTTP/1.1\r\nHost: x\r\n", HttpParse::NeedMore},
        {"", HttpParse::NeedMore},
        {"GET /metrics\r\n\r\n", HttpParse::Malformed},                      // no version
        {"GET  /metrics HTTP/1.1\r\n\r\n", HttpParse::Malformed},            // two blanks
        {"GET metrics HTTP/1.1\r\n\r\n", HttpParse::Malformed},              // not a path
        {"GET /metrics HTTP/2.0\r\n\r\n", HttpParse::Malformed},
        {"G(T /metrics HTTP/1.1\r\n\r\n", HttpParse::Malformed},
        {"GET /metrics HTTP/1.1\r\nNo colon\r\n\r\n", HttpParse::Malformed},
        {"GET /metrics HTTP/1.1\r\nA: b\r\n folded\r\n\r\n", HttpParse::Malformed},
        {"GET /metrics HTTP/1.1\r\nA: b\x01\r\n\r\n", HttpParse::Malformed},
        {"GET /metrics HTTP/1.1\r\nAuthorization: a\r\nauthorization: b\r\n\r\n", HttpParse::Malformed},
        {"\r\n\r\n", HttpParse::Malformed},
        {"GET /metrics HTTP/1.1\r\nX: " + std::string(kHttpHeadLimit, 'a'), HttpParse::TooLarge},
        {"GET /metrics HTTP/1.1\r\nX: " + std::string(kHttpHeadLimit, 'a') + "\r\n\r\n", HttpParse::TooLarge},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Parse(c.head)) << c.head.substr(0, 60);

    HttpRequest request;
    ASSERT_EQ(HttpParse::Complete, Parse("HEAD /data.json?a=b HTTP/1.1\r\nAUTHORIZATION:  Bearer t \r\n\r\n", &request));
    EXPECT_EQ("HEAD", request.method);
    EXPECT_EQ("/data.json", request.path);
    EXPECT_TRUE(request.hasAuthorization);
    EXPECT_EQ("Bearer t", request.authorization);
}

TEST(HttpParse, Statuses)
{
    const char* const documents[] = {"/metrics", "/data.json"};
    const struct {
        const char* head;
        const char* token;
        int status;
        int document;
    } cases[] = {
        {"GET /metrics HTTP/1.1\r\n\r\n", "", 200, 0},
        {"HEAD /data.json HTTP/1.1\r\n\r\n", "", 200, 1},
        {"POST /metrics HTTP/1.1\r\n\r\n", "", 405, 0},
        {"GET /metrics/ HTTP/1.1\r\n\r\n", "", 404, -1},
        {"DELETE / HTTP/1.1\r\n\r\n", "", 404, -1},
        {"GET /metrics HTTP/1.1\r\n\r\n", "s3cret", 401, -1},
        {"GET /nothing HTTP/1.1\r\n\r\n", "s3cret", 401, -1},  // nothing learnt without the token
        {"GET /metrics HTTP/1.1\r\nAuthorization: Bearer wrong\r\n\r\n", "s3cret", 401, -1},
        {"GET /metrics HTTP/1.1\r\nAuthorization: Basic s3cret\r\n\r\n", "s3cret", 401, -1},
        {"GET /metrics HTTP/1.1\r\nAuthorization: bearer s3cret\r\n\r\n", "s3cret", 200, 0},
    };
    for (const auto& c : cases) {
        HttpRequest request;
        ASSERT_EQ(HttpParse::Complete, Parse(c.head, &request)) << c.head;
        int document = 7;
        EXPECT_EQ(c.status, HttpStatusFor(request, documents, 2, c.token, &document)) << c.head;
        EXPECT_EQ(c.document, document) << c.head;
    }
}

TEST(HttpParse, BearerTokens)
{
    const struct {
        const char* header;
        const char* token;
        bool matches;
    } cases[] = {
        {"Bearer abc", "abc", true},   {"Bearer  abc ", "abc", true}, {"Bearer abcd", "abc", false},
        {"Bearer ab", "abc", false},   {"Bearer ", "", false},        {"abc", "abc", false},
        {"Bearer abc", "", false},     {"Bearerabc", "abc", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.matches, BearerMatches(c.header, c.token)) << c.header << " / " << c.token;
}

TEST(HttpParse, PeersAndRanges)
{
    uint32_t address = 0;
    ASSERT_TRUE(ParseIpv4("192.168.1.20", &address));
    EXPECT_EQ(0xC0A80114u, address);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "a.b.c.d", "1.2.3.4 ", "1234.1.1.1"})
        EXPECT_FALSE(ParseIpv4(bad, &address)) << bad;

    const struct {
        const char* peer;
        const char* allowFrom;
        bool allowed;
    } cases[] = {
        {"127.0.0.1", "", true},  // loopback always
        {"127.8.9.10", "", true},
        {"192.168.1.20", "", false},
        {"192.168.1.20", "192.168.1.0/24", true},
        {"192.168.2.20", "192.168.1.0/24", false},
        {"10.0.0.5", "192.168.1.0/24, 10.0.0.5", true},
        {"10.0.0.6", "192.168.1.0/24;10.0.0.5", false},
        {"10.1.2.3", "0.0.0.0/0", true},
        {"10.1.2.3", "10.0.0.0/33 junk", false},  // entries that are not ranges count for nothing
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ParseIpv4(c.peer, &address));
        EXPECT_EQ(c.allowed, PeerAllowed(address, c.allowFrom)) << c.peer << " / " << c.allowFrom;
    }
    EXPECT_TRUE(AllowListValid(""));
    EXPECT_TRUE(AllowListValid("192.168.1.0/24, 10.0.0.5"));
    EXPECT_FALSE(AllowListValid("192.168.1.0/24, host.example"));
    EXPECT_FALSE(AllowListValid("10.0.0.0/"));
}

}  // namespace
