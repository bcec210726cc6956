#pragma once

// The client side of the application server: one connection, remote methods called by name, with
// failover over several servers that serve the same database.

#include "platform/toolkit/data/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wire {
class Socket;
class TlsContext;
}

namespace tk {

// A transport failure: refused, dropped, timed out, or a peer that breaks the protocol.
class ENetError : public Exception
{
public:
    using Exception::Exception;
};

// The server answered the call with an error.
class ERemoteError : public Exception
{
public:
    using Exception::Exception;
};

// One server's address. An IPv6 host is kept without brackets ("::1") and written with them.
struct ServerAddress
{
    std::string host;
    int port = 0;

    std::string text() const; // "host:port", "[::1]:port"
    // Only this machine can reach it: 127.0.0.0/8, ::1 (also as ::ffff:127.x.x.x) or "localhost".
    // Any other host, a wildcard ("0.0.0.0", "::") or another name, may be reached from elsewhere.
    bool isLoopback() const;
    bool operator==(const ServerAddress &) const = default;
};

// "HOST:PORT", "[IPV6]:PORT". With allowPortZero, port 0 (any free port, for listening) passes.
// Nothing, with the reason in error, for anything else.
std::optional<ServerAddress> ParseServerAddress(const std::string &text, std::string &error,
                                                bool allowPortZero = false);
// "HOST:PORT[,HOST:PORT...]": one or more addresses, blanks around each ignored, no duplicates.
std::optional<std::vector<ServerAddress>> ParseServerList(const std::string &text, std::string &error);

// True for a call that changes the database and so is never sent twice without the user knowing:
// DelConsplan, and GetTrabCusto when its last argument asks for the work set to be written. A
// method whose name does not start with "Get" counts as writing: only known reads are repeated.
bool IsWritingCall(const std::string &method, const VariantArray &args);

// Used from one thread (the user-interface thread); not thread-safe.
class TNetConnection
{
public:
    explicit TNetConnection(std::string name = {});
    ~TNetConnection();
    TNetConnection(const TNetConnection &) = delete;
    TNetConnection &operator=(const TNetConnection &) = delete;

    std::string Name;
    std::string Host = "127.0.0.1";
    int Port = 8211;
    // Further servers over the same database, tried in turn after Host:Port (see Call).
    std::vector<ServerAddress> Alternates;
    // Kept for the window's setting. Calls raise on every failure either way: a failed call that
    // returned quietly would hand the caller an empty result as if it were the server's answer.
    bool ThrowException = true;
    int TimeoutMs = 60000;                    // each call's whole round trip; <= 0: none
    int ConnectTimeoutMs = 10000;             // connect and handshake, per server; <= 0: TimeoutMs
    uint32_t MaxFrameBytes = 64u << 20;       // largest response accepted
    // Sent in every hello, to every server and on every reconnection: the server gives the work sets
    // it makes to this session and to no other. By default the process's session, so that a module
    // that a window opens (the report that lists the window's work set) shares the window's.
    std::string SessionId = ProcessSessionId();

    // The id of this process's session: drawn once from the system's random source (32 hex digits).
    static const std::string &ProcessSessionId();
    // The operator's sign-in, sent in every hello when User is not empty; a server with a password
    // file refuses a connection without it ("Usuário ou senha inválidos").
    std::string User;
    std::string Password;
    // The certificate authorities (a PEM file) that a server's TLS certificate must chain to; set, every
    // connection is TLS and the certificate must name the host connected to. Empty: plain TCP, and
    // a password is then only ever sent to a loopback server.
    std::string TlsCaFile;

    std::function<void(TNetConnection &)> BeforeConnect; // runs just before connecting
    // Runs after every connection that completed its handshake; ConnectedTo() names the server.
    std::function<void(TNetConnection &)> AfterConnect;
    // Called about every 50 ms while a call waits for its answer, so the UI can keep repainting
    // (the host sets it to process paint events under the busy indicator).
    std::function<void()> OnWait;

    bool Connected() const;
    // The server of the open connection ("host:port"), or the last one that answered; empty before.
    const std::string &ConnectedTo() const { return m_connectedTo; }
    void SetConnected(bool value); // true: BeforeConnect, connect, handshake; false: close
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Synchronous call by method name. Raises ENetError ("Falha de comunicação com o servidor
    // HOST:PORT ao chamar GetParams: connection refused") or ERemoteError ("GetParams: <server text>").
    // A transport failure or a timeout closes the connection; a server error leaves it open.
    //
    // Failover: the servers are Host:Port and then Alternates, starting from the one that answered
    // last. A server that cannot be reached, or whose connection breaks before the request was
    // written (a connection the server has closed while it was idle included), is passed over for
    // the next. A connection that breaks after the request was written resends a read
    // (!IsWritingCall) once, to the next server; a writing call is not resent and raises. An error
    // frame in place of the answer means the server did not run the call, so any call moves on.
    Variant Call(const std::string &method, const VariantArray &args);

    // Optional recorder: every completed call (method, args, result or error text). The error is the
    // server's own text for a server error (without the "GetParams: " prefix), the whole ENetError
    // text for a transport failure.
    std::function<void(const std::string &method, const VariantArray &args, const Variant *result,
                       const std::string *error)> OnCallDone;

private:
    std::vector<ServerAddress> servers() const;
    void connectAny(const std::string &action);
    void connectTo(const ServerAddress &server, const std::string &action);
    bool staleConnection() const;
    [[noreturn]] void fail(const std::string &action, const std::string &reason) const;
    std::string address() const;

    std::unique_ptr<wire::Socket> m_socket; // Owned; null when not connected.
    std::shared_ptr<const wire::TlsContext> m_tls; // read from m_tlsFile, the TlsCaFile it was made for
    std::string m_tlsFile;
    std::string m_connectedTo;              // "host:port" of the open connection (or the last one)
    std::string m_skip;                     // a server to try last on the next connect (it just failed)
    uint32_t m_nextId = 0;
    bool m_busy = false;                    // a call or a connect is waiting
};

} // namespace tk
