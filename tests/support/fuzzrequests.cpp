// The hostile-input target of the endpoint's request parser: random bytes,
// cut requests, huge headers, and every input fed again in many small
// writes, the way a slow client's bytes reach the server.

#include <string>
#include <vector>

#include "foundation/httpparse.h"
#include "support/fuzztargets.h"

namespace {

const char* const kDocuments[] = {"/metrics", "/data.json"};

std::vector<std::string> RequestSeeds()
{
    return {
        "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:9185\r\nUser-Agent: Prometheus/2.42.0\r\nAccept: "
        "application/openmetrics-text;version=1.0.0,text/plain;version=0.0.4;q=0.5\r\nAuthorization: Bearer "
        "s3cret\r\nX-Prometheus-Scrape-Timeout-Seconds: 10\r\n\r\n",
        "HEAD /data.json?x=1 HTTP/1.0\n\n",
        "GET /metrics HTTP/1.1\r\nX: " + std::string(kHttpHeadLimit + 100, 'h') + "\r\n\r\n",
        "GET /metrics HTTP/1.1\r\n" + [] {
            std::string many;
            for (int i = 0; i < 400; ++i)
                many += "A: b\r\n";
            return many;
        }() + "\r\n",
        "POST /metrics HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello",
    };
}

// The verdict once the bytes came in pieces must be the one of the whole,
// and must not change once given.
void Check(Mutator& m, FuzzRun& run, const std::string& input)
{
    HttpRequest whole;
    const HttpParse once = ParseHttpRequest(input.data(), input.size(), &whole);
    if (once == HttpParse::Complete) {
        int document = 0;
        const int status = HttpStatusFor(whole, kDocuments, 2, "s3cret", &document);
        if (whole.path.empty() || whole.path[0] != '/' || (status != 200 && status != 401 && status != 404 && status != 405))
            run.Fail("a complete request without a path or with an unknown status");
    }
    HttpParse decided = HttpParse::NeedMore;
    for (size_t have = 0; have <= input.size();) {
        HttpRequest part;
        const HttpParse now = ParseHttpRequest(input.data(), have, &part);
        if (decided != HttpParse::NeedMore && now != decided)
            run.Fail("a verdict changed as more bytes came");
        decided = now;
        if (have == input.size())
            break;
        have += 1 + m.Below(decided == HttpParse::NeedMore ? 64 : 4096);
        if (have > input.size())
            have = input.size();
    }
    if (decided != once)
        run.Fail("small writes ended in another verdict than the whole");
}

}  // namespace

void FuzzRequests(Mutator& m, FuzzRun& run, int count, const std::string&)
{
    const std::vector<std::string> seeds = RequestSeeds();
    int made = 0;
    auto feed = [&](const std::string& input) {
        run.Begin(input);
        Check(m, run, input);
        run.End();
        ++made;
    };
    for (const std::string& seed : seeds)
        if (made < count)
            feed(seed);
    for (size_t cut = 0; cut < seeds[0].size() && made < count / 4; ++cut)
        feed(seeds[0].substr(0, cut));
    while (made < count) {
        if (m.Below(8) == 0)
            feed(m.RandomBytes(m.Below(kHttpHeadLimit + 64)));
        else
            feed(m.Mutate(seeds[m.Below(seeds.size())], {}));
    }
}
