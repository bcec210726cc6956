#pragma once

// Plain POSIX TCP sockets for the wire protocol: non-blocking descriptors driven by poll(), so that
// every wait has a deadline, can be cancelled through a descriptor, and can call back while it waits.

#include "platform/protocol/wire.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

struct ssl_st;

namespace wire {

class TlsContext;

// A transport failure: refused, reset, closed, timed out. The text is short and lower case
// ("connection refused"), for callers to put in context.
class TransportError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

class TimeoutError : public TransportError
{
public:
    using TransportError::TransportError;
};

// The peer closed the connection.
class ClosedError : public TransportError
{
public:
    using TransportError::TransportError;
};

// The wait's cancel descriptor became readable.
class CancelledError : public TransportError
{
public:
    using TransportError::TransportError;
};

using Clock = std::chrono::steady_clock;

// How a blocking socket operation waits.
struct WaitSpec
{
    Clock::time_point deadline = Clock::time_point::max(); // max(): no deadline
    int timeoutMs = 0;             // the deadline's origin, for the error text only
    int cancelFd = -1;             // readable: give up with CancelledError
    std::function<void()> onSlice; // called about every sliceMs while waiting
    int sliceMs = 50;

    static WaitSpec within(int timeoutMs); // timeoutMs <= 0: no deadline
};

// A TCP connection, plain or, after startTls, encrypted: every read and write below goes through TLS
// then, with the same waits.
class Socket
{
public:
    Socket() = default;
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() { close(); }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    Socket(Socket &&other) noexcept;
    Socket &operator=(Socket &&other) noexcept;

    int fd() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release(); // gives the descriptor up (and drops the TLS state without a close alert)
    void close();  // a TLS connection sends its close alert first, without waiting

    // Runs the TLS handshake within wait. A client context verifies the server's certificate and
    // that it names host (a DNS name or an IP address); TransportError says why it failed ("tls:
    // certificate verify failed: self-signed certificate").
    void startTls(const TlsContext &context, const std::string &host, const WaitSpec &wait);
    bool tls() const { return m_ssl != nullptr; }
    // Something to read now (data, an alert, the end of the stream), without reading it.
    bool readable() const;

    // Resolves host, connects (non-blocking, within wait's deadline) and sets TCP_NODELAY.
    static Socket connectTo(const std::string &host, uint16_t port, const WaitSpec &wait);

    void sendAll(std::string_view data, const WaitSpec &wait);
    // Reads exactly size bytes; ClosedError when the peer closes first.
    void readExact(char *buffer, size_t size, const WaitSpec &wait);

    // One frame's payload. Waits for its first byte under firstByte; once a frame has begun, the
    // rest must arrive before firstByte's deadline and within frameTimeoutMs (0: no own limit).
    // Returns nothing when the peer closed cleanly between frames. The payload buffer grows with
    // the bytes actually received, never straight to the announced length.
    std::optional<std::string> readFrame(uint32_t maxFrameBytes, const WaitSpec &firstByte,
                                         int frameTimeoutMs);

    // Half-closes the sending side, then discards what the peer still sends for up to lingerMs
    // (or until it closes), so that a last error frame is not destroyed by a reset.
    void shutdownAndDrain(int lingerMs, int cancelFd = -1);

private:
    // One read: the count (> 0), 0 at the end of the stream, or -1 with the events to wait for.
    ssize_t receiveSome(char *buffer, size_t size, short &waitEvents);
    void freeTls();

    int m_fd = -1;
    ssl_st *m_ssl = nullptr; // Owned; set by startTls.
};

// Waits until fd is ready for events (POLLIN/POLLOUT) under wait's rules.
void waitFor(int fd, short events, const WaitSpec &wait);

// A socket's peer as "host:port", or "?" when unknown.
std::string peerName(int fd);

// The lower-case text of an errno value ("connection refused").
std::string errnoText(int error);

// Sets O_NONBLOCK and FD_CLOEXEC on fd.
void makeNonBlocking(int fd);

} // namespace wire
