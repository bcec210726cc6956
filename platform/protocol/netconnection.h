#pragma once

// The client side of the application server: one connection, remote methods called by name.

#include "platform/toolkit/data/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wire {
class Socket;
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
    // Kept for the window's setting. Calls raise on every failure either way: a failed call that
    // returned quietly would hand the caller an empty result as if it were the server's answer.
    bool ThrowException = true;
    int TimeoutMs = 60000;                    // connect, and each call's whole round trip; <= 0: none
    uint32_t MaxFrameBytes = 64u << 20;       // largest response accepted

    std::function<void(TNetConnection &)> BeforeConnect; // runs just before connecting
    // Called about every 50 ms while a call waits for its answer, so the UI can keep repainting
    // (the host sets it to process paint events under the busy indicator).
    std::function<void()> OnWait;

    bool Connected() const;
    void SetConnected(bool value); // true: BeforeConnect, connect, handshake; false: close
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Synchronous call by method name. Connects first when not connected (the connection reconnects
    // on demand, once per call). Raises ENetError ("Falha de comunicação com o servidor HOST:PORT ao
    // chamar GetParams: connection refused") or ERemoteError ("GetParams: <server text>"). A transport
    // failure or a timeout closes the connection; a server error leaves it open.
    Variant Call(const std::string &method, const VariantArray &args);

    // Optional recorder: every completed call (method, args, result or error text). The error is the
    // server's own text for a server error (without the "GetParams: " prefix), the whole ENetError
    // text for a transport failure.
    std::function<void(const std::string &method, const VariantArray &args, const Variant *result,
                       const std::string *error)> OnCallDone;

private:
    void connect(const std::string &action);
    [[noreturn]] void fail(const std::string &action, const std::string &reason);
    std::string address() const;

    std::unique_ptr<wire::Socket> m_socket; // Owned; null when not connected.
    std::string m_connectedTo;              // "host:port" of the open connection
    uint32_t m_nextId = 0;
    bool m_busy = false;                    // a call or a connect is waiting
};

} // namespace tk
