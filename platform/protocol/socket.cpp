#include "platform/protocol/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

namespace wire {

WaitSpec WaitSpec::within(int timeoutMs)
{
    WaitSpec wait;
    if (timeoutMs > 0) {
        wait.deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        wait.timeoutMs = timeoutMs;
    }
    return wait;
}

std::string errnoText(int error)
{
    char buffer[256];
    // GNU strerror_r returns the text, possibly not in buffer.
    std::string text = strerror_r(error, buffer, sizeof buffer);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

void makeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        throw TransportError("cannot make socket non-blocking: " + errnoText(errno));
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

std::string peerName(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return "?";
    char host[NI_MAXHOST];
    char port[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<sockaddr *>(&address), length, host, sizeof host, port, sizeof port,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    return std::string(host) + ":" + port;
}

void waitFor(int fd, short events, const WaitSpec &wait)
{
    for (;;) {
        int sliceMs = -1;
        if (wait.deadline != Clock::time_point::max()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wait.deadline - Clock::now());
            if (left.count() <= 0) {
                // One last non-blocking look, so that data already there is not lost to a timeout.
                pollfd last{fd, events, 0};
                if (::poll(&last, 1, 0) > 0)
                    return;
                throw TimeoutError("timed out after " + std::to_string(wait.timeoutMs) + " ms");
            }
            sliceMs = static_cast<int>(std::min<int64_t>(left.count() + 1, 1 << 30));
        }
        if (wait.onSlice)
            sliceMs = sliceMs < 0 ? wait.sliceMs : std::min(sliceMs, wait.sliceMs);

        pollfd fds[2] = {{fd, events, 0}, {wait.cancelFd, POLLIN, 0}};
        const int count = ::poll(fds, wait.cancelFd >= 0 ? 2 : 1, sliceMs);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throw TransportError("poll failed: " + errnoText(errno));
        }
        if (wait.cancelFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            throw CancelledError("cancelled");
        if (fds[0].revents != 0)
            return; // ready, or an error or hang-up the next call reports
        if (wait.onSlice)
            wait.onSlice();
    }
}

Socket &Socket::operator=(Socket &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

int Socket::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void Socket::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

Socket Socket::connectTo(const std::string &host, uint16_t port, const WaitSpec &wait)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (status != 0)
        throw TransportError("cannot resolve host '" + host + "': " + ::gai_strerror(status));
    std::unique_ptr<addrinfo, void (*)(addrinfo *)> addresses(found, ::freeaddrinfo);

    std::string lastError = "no address";
    for (addrinfo *address = found; address; address = address->ai_next) {
        Socket socket(::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                               address->ai_protocol));
        if (!socket.valid()) {
            lastError = errnoText(errno);
            continue;
        }
        int error = 0;
        if (::connect(socket.fd(), address->ai_addr, address->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                lastError = errnoText(errno);
                continue;
            }
            waitFor(socket.fd(), POLLOUT, wait);
            socklen_t length = sizeof error;
            if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
        }
        if (error != 0) {
            lastError = errnoText(error);
            continue;
        }
        const int one = 1;
        ::setsockopt(socket.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return socket;
    }
    throw TransportError(lastError);
}

void Socket::sendAll(std::string_view data, const WaitSpec &wait)
{
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t count = ::send(m_fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            waitFor(m_fd, POLLOUT, wait);
            continue;
        }
        const int error = errno;
        if (error == EPIPE || error == ECONNRESET)
            throw ClosedError(errnoText(error));
        throw TransportError(errnoText(error));
    }
}

namespace {

// One recv; the count read (> 0), 0 at end of stream, or -1 when nothing is there yet.
ssize_t receiveSome(int fd, char *buffer, size_t size)
{
    for (;;) {
        const ssize_t count = ::recv(fd, buffer, size, 0);
        if (count >= 0)
            return count;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return -1;
        const int error = errno;
        if (error == ECONNRESET)
            throw ClosedError(errnoText(error));
        throw TransportError(errnoText(error));
    }
}

} // namespace

void Socket::readExact(char *buffer, size_t size, const WaitSpec &wait)
{
    size_t got = 0;
    while (got < size) {
        const ssize_t count = receiveSome(m_fd, buffer + got, size - got);
        if (count > 0) {
            got += static_cast<size_t>(count);
        } else if (count == 0) {
            throw ClosedError("connection closed by the peer");
        } else {
            waitFor(m_fd, POLLIN, wait);
        }
    }
}

std::optional<std::string> Socket::readFrame(uint32_t maxFrameBytes, const WaitSpec &firstByte,
                                             int frameTimeoutMs)
{
    unsigned char header[kFrameHeaderBytes];
    ssize_t count;
    for (;;) {
        count = receiveSome(m_fd, reinterpret_cast<char *>(header), sizeof header);
        if (count == 0)
            return std::nullopt;
        if (count > 0)
            break;
        waitFor(m_fd, POLLIN, firstByte);
    }

    WaitSpec rest = firstByte;
    if (frameTimeoutMs > 0) {
        const auto frameDeadline = Clock::now() + std::chrono::milliseconds(frameTimeoutMs);
        if (frameDeadline < rest.deadline) {
            rest.deadline = frameDeadline;
            rest.timeoutMs = frameTimeoutMs;
        }
    }
    if (static_cast<size_t>(count) < sizeof header)
        readExact(reinterpret_cast<char *>(header) + count, sizeof header - count, rest);
    const uint32_t length = decodeFrameLength(header, maxFrameBytes);

    constexpr size_t kFirstChunk = 64 * 1024;
    std::string payload;
    size_t got = 0;
    while (got < length) {
        const size_t target = std::min<size_t>(length, std::max(kFirstChunk, got * 2));
        payload.resize(target);
        readExact(payload.data() + got, target - got, rest);
        got = target;
    }
    return payload;
}

void Socket::shutdownAndDrain(int lingerMs, int cancelFd)
{
    if (m_fd < 0)
        return;
    ::shutdown(m_fd, SHUT_WR);
    WaitSpec wait = WaitSpec::within(lingerMs);
    wait.cancelFd = cancelFd;
    char sink[16 * 1024];
    size_t drained = 0;
    try {
        while (drained < (4u << 20)) {
            const ssize_t count = receiveSome(m_fd, sink, sizeof sink);
            if (count == 0)
                break;
            if (count > 0)
                drained += static_cast<size_t>(count);
            else
                waitFor(m_fd, POLLIN, wait);
        }
    } catch (const TransportError &) {
        // Timed out, reset or cancelled: the connection is being dropped anyway.
    }
    ::shutdown(m_fd, SHUT_RDWR);
}

} // namespace wire
