#pragma once

// The generic RPC server: listens on TCP, runs the wire protocol's handshake, and answers each
// request by calling the handler registered under the method's name.
//
// One thread per connection, at most Options::maxConnections. A new connection beyond the limit
// takes the place of the connection that has waited longest without a call in progress (idle between
// calls, or still in its handshake), which gets an error frame and is closed; only when every
// connection is in a call is the new one refused. So idle or half-open connections never keep a new
// client out. Calls of one connection run one after the other; calls of different connections run
// at the same time, so handlers must be safe to run concurrently.

#include "platform/protocol/wire.h"
#include "platform/toolkit/data/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wire {

class TlsContext;

// Answers one call. Throwing any std::exception answers an error whose text is its what().
using MethodHandler = std::function<tk::Variant(const tk::VariantArray &args)>;
// For the replay server: answers any method not registered.
using FallbackHandler = std::function<tk::Variant(const std::string &method, const tk::VariantArray &args)>;

class RpcServer
{
public:
    struct Options
    {
        std::string host = "127.0.0.1";
        uint16_t port = 0;                   // 0 picks a free port
        // A started frame must arrive within it; also bounds sending an answer.
        int readTimeoutMs = 30000;
        int handshakeTimeoutMs = 5000;       // the hello must arrive within it
        // Closes a connection idle between calls (with an error frame, which the client takes as
        // "reconnect"); 0: never.
        int idleTimeoutMs = 30000;
        uint32_t maxFrameBytes = 64u << 20;  // larger frames are refused before they are read
        // One line per call: "GetParams 1.2 ms ok" or "GetParams 0.3 ms error: text"; also one line per
        // refused or broken connection. Called from connection threads, one line at a time.
        std::function<void(const std::string &)> log;
        int maxConnections = 64;             // <= 0: no limit
        // How requests are decoded; a refused request (a data packet argument) is answered with an
        // error, not run, and the connection stays open.
        DecodeLimits limits = requestLimits();
        // When set, every connection must sign in: its hello's user and password are handed to it,
        // and a hello without them, or a false answer, refuses the connection with an error frame
        // ("Usuário ou senha inválidos") after signInDelayMs, logged with the user and the peer.
        // Called from connection threads at the same time. Unset: no sign-in, callUser() is empty.
        std::function<bool(const Credentials &)> checkCredentials;
        int signInDelayMs = 1000;
        // When set (a server context), every connection starts with the TLS handshake, within the
        // handshake timeout; a client that opens in plain text gets a plain error frame saying so.
        std::shared_ptr<const TlsContext> tls;
    };

    explicit RpcServer(Options options);
    ~RpcServer(); // stops
    RpcServer(const RpcServer &) = delete;
    RpcServer &operator=(const RpcServer &) = delete;

    // Registration is meant to happen before start(); it is safe at any time.
    void registerMethod(const std::string &name, MethodHandler handler);
    void setFallback(FallbackHandler handler);

    uint16_t start(); // binds and listens (SO_REUSEADDR); returns the port; tk::Exception on failure
    void stop();      // stops accepting, closes connections, joins threads; idempotent
    void wait();      // blocks until stop() (or requestStop()) has finished the server
    uint16_t port() const;

    // Async-signal-safe: asks the server to stop; wait() then completes the stop. For SIGTERM.
    void requestStop() noexcept;

    // Connections being served now.
    int connectionCount() const;

    // The session that the client of the call this thread is answering sent in its hello; empty
    // outside a call or when the client sent none. For handlers: the server keeps nothing per session.
    static const std::string &callSession();
    // The operator the connection of this thread's call signed in as; empty without a sign-in.
    static const std::string &callUser();

private:
    struct Impl;
    std::unique_ptr<Impl> d; // Owned.
};

} // namespace wire
