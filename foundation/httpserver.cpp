// winsock2.h must come before windows.h, which the server's header brings.
#include <winsock2.h>

#include "foundation/httpserver.h"

#include <cstdio>

#include "foundation/httpparse.h"

void SocketTraits::Close(UINT_PTR s)
{
    closesocket(static_cast<SOCKET>(s));
}

struct HttpServer::Connection {
    SocketOwner socket;
    HANDLE event = nullptr;  // the server's, one for each slot
    std::string in;
    std::string out;
    size_t sent = 0;
    bool answered = false;
    ULONGLONG deadline = 0;

    bool Open() const { return socket.Valid(); }
    SOCKET Socket() const { return static_cast<SOCKET>(socket.Get()); }
    void Close()
    {
        socket.Reset();
        in.clear();
        out.clear();
        sent = 0;
        answered = false;
    }
};

namespace {

const int kReceiveChunk = 2048;
// Reads of one turn: a whole head and one more, so that a client that never
// stops sending cannot keep the thread from the others and the deadlines.
const int kReceiveTurns = static_cast<int>(kHttpHeadLimit / kReceiveChunk) + 1;

// The listener's queue is looked at this often even without a notice. An
// accept notice comes once and not again until an accept succeeds; one
// that went missing (under Wine, now and then) would leave every client
// after it waiting in the queue for ever.
const DWORD kAcceptCheckMs = 1000;
// Connections refused in one turn; the rest wait for the next.
const int kRefusedPerTurn = 64;

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    default: return "Service Unavailable";
    }
}

// The head of an answer: no cookie, no redirect and no cross-origin
// permission, ever; each answer ends its connection.
std::string Head(int status, const char* contentType, size_t length)
{
    char line[160];
    std::snprintf(line, sizeof line, "HTTP/1.1 %d %s\r\n", status, Reason(status));
    std::string head = line;
    head += "Content-Type: ";
    head += contentType;
    std::snprintf(line, sizeof line, "\r\nContent-Length: %u\r\n", static_cast<unsigned int>(length));
    head += line;
    head += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n";
    if (status == 401)
        head += "WWW-Authenticate: Bearer\r\n";
    if (status == 405)
        head += "Allow: GET, HEAD\r\n";
    return head + "\r\n";
}

bool WouldBlock()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

}  // namespace

int HttpServer::Start(const HttpEndpoint& where, const HttpDocument* docs, int count, HttpBodySource bodies,
                      void* bodyContext)
{
    Stop();
    endpoint = where;
    documents = docs;
    documentCount = count;
    source = bodies;
    context = bodyContext;
    WSADATA data;
    const int startup = WSAStartup(MAKEWORD(2, 2), &data);
    if (startup != 0)
        return startup;
    started = true;
    listener.Reset(static_cast<UINT_PTR>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    SOCKET s = static_cast<SOCKET>(listener.Get());
    int error = listener.Valid() ? 0 : WSAGetLastError();
    // No other program may take the same port while this one listens.
    BOOL exclusive = TRUE;
    if (!error)
        setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address);
    if (!error && bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        error = WSAGetLastError();
    if (!error && listen(s, SOMAXCONN) != 0)
        error = WSAGetLastError();
    auto makeEvent = [&error](HandleOwner& event) {
        event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!error && !event.Valid())
            error = static_cast<int>(GetLastError());
    };
    makeEvent(listenEvent);
    makeEvent(stopEvent);
    for (HandleOwner& event : connectionEvents)
        makeEvent(event);
    if (!error && WSAEventSelect(s, listenEvent.Get(), FD_ACCEPT) != 0)
        error = WSAGetLastError();
    if (!error) {
        thread.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
        if (!thread.Valid())
            error = static_cast<int>(GetLastError());
    }
    if (error)
        Stop();
    return error;
}

void HttpServer::Stop()
{
    if (thread.Valid()) {
        SetEvent(stopEvent.Get());
        WaitForSingleObject(thread.Get(), INFINITE);
        thread.Reset();
    }
    listener.Reset();
    listenEvent.Reset();
    stopEvent.Reset();
    for (HandleOwner& event : connectionEvents)
        event.Reset();
    if (started)
        WSACleanup();
    started = false;
}

DWORD WINAPI HttpServer::Run(void* self)
{
    static_cast<HttpServer*>(self)->Serve();
    return 0;
}

DWORD HttpServer::NextTimeout(const Connection* slots) const
{
    const ULONGLONG now = GetTickCount64();
    DWORD wait = kAcceptCheckMs;
    for (int i = 0; i < kMaxConnections; ++i) {
        if (!slots[i].Open())
            continue;
        const DWORD left = slots[i].deadline > now ? static_cast<DWORD>(slots[i].deadline - now) : 0;
        wait = left < wait ? left : wait;
    }
    return wait;
}

void HttpServer::Serve()
{
    Connection slots[kMaxConnections];
    for (int i = 0; i < kMaxConnections; ++i)
        slots[i].event = connectionEvents[i].Get();
    for (;;) {
        HANDLE waits[2 + kMaxConnections];
        DWORD count = 0;
        waits[count++] = stopEvent.Get();
        int open = 0;
        for (Connection& c : slots)
            if (c.Open()) {
                waits[count++] = c.event;
                ++open;
            }
        if (open < kMaxConnections)
            waits[count++] = listenEvent.Get();
        if (WaitForMultipleObjects(count, waits, FALSE, NextTimeout(slots)) == WAIT_OBJECT_0)
            break;
        WSANETWORKEVENTS accepts = {};
        WSAEnumNetworkEvents(static_cast<SOCKET>(listener.Get()), listenEvent.Get(), &accepts);
        const ULONGLONG now = GetTickCount64();
        for (Connection& c : slots) {
            if (!c.Open())
                continue;
            WSANETWORKEVENTS happened = {};
            if (WSAEnumNetworkEvents(c.Socket(), c.event, &happened) == 0 &&
                (happened.lNetworkEvents & (FD_READ | FD_CLOSE)))
                Receive(c);
            if (c.Open() && c.answered)
                SendPending(c);
            if (c.Open() && now >= c.deadline)
                c.Close();
        }
        // Accepting also lets the listener signal again for the next one.
        AcceptWaiting(slots);
    }
}

void HttpServer::AcceptWaiting(Connection* slots)
{
    // Refused peers free their slot at once: without a bound, a stream of
    // them would keep the thread here, away from the others and from Stop.
    int refused = 0;
    for (int i = 0; i < kMaxConnections && refused < kRefusedPerTurn; ++i) {
        Connection& c = slots[i];
        if (c.Open())
            continue;
        sockaddr_in peer = {};
        int length = sizeof peer;
        const SOCKET s = accept(static_cast<SOCKET>(listener.Get()), reinterpret_cast<sockaddr*>(&peer), &length);
        if (s == INVALID_SOCKET)
            return;
        c.socket.Reset(static_cast<UINT_PTR>(s));
        if (peer.sin_family != AF_INET || !PeerAllowed(ntohl(peer.sin_addr.s_addr), endpoint.allowFrom.c_str()) ||
            WSAEventSelect(s, c.event, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            c.Close();
            ++refused;
            --i;  // the slot is free again for the next one waiting
            continue;
        }
        c.deadline = GetTickCount64() + kRequestTimeoutMs;
    }
}

void HttpServer::Receive(Connection& c)
{
    char chunk[kReceiveChunk];
    bool ended = false;
    for (int turn = 0; turn < kReceiveTurns; ++turn) {
        const int got = recv(c.Socket(), chunk, sizeof chunk, 0);
        if (got > 0) {
            // Past the limit nothing more is kept: the head is too large already.
            if (!c.answered && c.in.size() < kHttpHeadLimit)
                c.in.append(chunk, static_cast<size_t>(got));
            continue;
        }
        ended = got == 0 || !WouldBlock();
        break;
    }
    if (c.answered)
        return;
    HttpRequest request;
    const HttpParse parsed = ParseHttpRequest(c.in.data(), c.in.size(), &request);
    if (parsed == HttpParse::NeedMore) {
        if (ended)
            c.Close();
        return;
    }
    if (parsed != HttpParse::Complete) {
        Answer(c, parsed == HttpParse::TooLarge ? 431 : 400, -1, false);
        return;
    }
    const char* paths[8];
    const int count = documentCount < 8 ? documentCount : 8;
    for (int i = 0; i < count; ++i)
        paths[i] = documents[i].path;
    int document = -1;
    const int status = HttpStatusFor(request, paths, count, endpoint.token.c_str(), &document);
    Answer(c, status, document, request.method == "HEAD");
}

void HttpServer::Answer(Connection& c, int status, int document, bool head)
{
    std::string body;
    if (status == 200 && !source(context, document, &body))
        status = 503;
    const char* type = "text/plain; charset=utf-8";
    if (status == 200)
        type = documents[document].contentType;
    else
        body = std::string(Reason(status)) + "\n";
    c.out = Head(status, type, body.size());
    if (!head)
        c.out += body;
    c.sent = 0;
    c.answered = true;
    c.deadline = GetTickCount64() + kRequestTimeoutMs;
    SendPending(c);
}

void HttpServer::SendPending(Connection& c)
{
    while (c.sent < c.out.size()) {
        const int put = send(c.Socket(), c.out.data() + c.sent, static_cast<int>(c.out.size() - c.sent), 0);
        if (put > 0) {
            c.sent += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && WouldBlock())
            return;  // FD_WRITE brings the rest
        c.Close();
        return;
    }
    shutdown(c.Socket(), SD_SEND);
    c.Close();
}
