#pragma once
// HttpServer: a read-only HTTP endpoint on a thread of its own. One
// non-blocking listener, at most kMaxConnections connections at once, each
// dropped when its request is not whole within kRequestTimeoutMs; every
// answer closes its connection. The thread also looks for waiting clients
// once a second, should a notice of one have gone missing. The documents'
// bodies come from a callback on the server's thread, which must not wait
// on anything slow.

#include <windows.h>

#include <cstdint>
#include <string>

#include "foundation/owner.h"

// A Winsock SOCKET, named without winsock2.h, which must come before
// windows.h in a file and so stays out of headers.
struct SocketTraits {
    using Type = UINT_PTR;
    static UINT_PTR Invalid() { return ~static_cast<UINT_PTR>(0); }  // INVALID_SOCKET
    static void Close(UINT_PTR s);
};
using SocketOwner = Owner<SocketTraits>;

struct HttpDocument {
    const char* path;         // "/metrics"
    const char* contentType;  // "text/plain; version=0.0.4; charset=utf-8"
};

// Fills body with the document's current text; false: 503.
using HttpBodySource = bool (*)(void* context, int document, std::string* body);

struct HttpEndpoint {
    uint32_t address;  // host byte order; 0x7F000001 is 127.0.0.1
    uint16_t port;
    std::string allowFrom;  // who else than loopback may connect (httpparse.h)
    std::string token;      // empty: no authorization asked
};

const int kMaxConnections = 8;
const DWORD kRequestTimeoutMs = 2000;

class HttpServer {
public:
    HttpServer() = default;
    ~HttpServer() { Stop(); }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens and starts the thread; 0 on success, else the Winsock or
    // system error (WSAEADDRINUSE for a port in use). documents live as
    // long as the server.
    int Start(const HttpEndpoint& endpoint, const HttpDocument* documents, int count,
              HttpBodySource source, void* context);
    // Ends the thread and every connection; harmless when not started.
    void Stop();
    bool Running() const { return thread.Valid(); }

private:
    struct Connection;
    static DWORD WINAPI Run(void* self);
    void Serve();
    void AcceptWaiting(Connection* slots);
    void Receive(Connection& c);
    void Answer(Connection& c, int status, int document, bool head);
    void SendPending(Connection& c);
    DWORD NextTimeout(const Connection* slots) const;

    HttpEndpoint endpoint{};
    const HttpDocument* documents = nullptr;
    int documentCount = 0;
    HttpBodySource source = nullptr;
    void* context = nullptr;
    bool started = false;  // Winsock is started and owes a cleanup
    SocketOwner listener;
    HandleOwner listenEvent;
    HandleOwner stopEvent;
    HandleOwner connectionEvents[kMaxConnections];  // made in Start: a start fails without them
    HandleOwner thread;
};
