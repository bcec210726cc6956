#include "platform/protocol/socket.h"

#include "platform/protocol/tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
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

Socket::Socket(Socket &&other) noexcept : m_fd(other.m_fd), m_ssl(other.m_ssl)
{
    other.m_fd = -1;
    other.m_ssl = nullptr;
}

Socket &Socket::operator=(Socket &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_ssl = other.m_ssl;
        other.m_fd = -1;
        other.m_ssl = nullptr;
    }
    return *this;
}

void Socket::freeTls()
{
    if (m_ssl) {
        SSL_free(m_ssl); // the descriptor is not the TLS state's to close
        m_ssl = nullptr;
    }
}

int Socket::release()
{
    freeTls();
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

namespace {

// OpenSSL writes to the descriptor with write(), which raises SIGPIPE on a connection the peer has
// closed. This blocks the signal on the calling thread for one TLS call and takes away a SIGPIPE the
// call raised, so that a closed peer is an error, as with plain send(MSG_NOSIGNAL).
class NoSigPipe
{
public:
    NoSigPipe()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_saved);
    }
    ~NoSigPipe()
    {
        if (!m_wasPending) {
            const timespec now{0, 0};
            while (sigtimedwait(&m_pipe, nullptr, &now) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_saved, nullptr);
    }
    NoSigPipe(const NoSigPipe &) = delete;
    NoSigPipe &operator=(const NoSigPipe &) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_saved;
    bool m_wasPending = false;
};

// What a failed TLS call means: the event to wait for before trying again, or an error raised.
short tlsWaitOrThrow(SSL *ssl, int result, int savedErrno)
{
    switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ: return POLLIN;
    case SSL_ERROR_WANT_WRITE: return POLLOUT;
    case SSL_ERROR_ZERO_RETURN: throw ClosedError("connection closed by the peer");
    case SSL_ERROR_SYSCALL:
        ERR_clear_error();
        if (savedErrno == EPIPE || savedErrno == ECONNRESET || savedErrno == 0)
            throw ClosedError(savedErrno ? errnoText(savedErrno) : "connection closed by the peer");
        throw TransportError(errnoText(savedErrno));
    default: {
        std::string text = "tls: " + tlsErrorText();
        const long verify = SSL_get_verify_result(ssl);
        if (verify != X509_V_OK)
            text += ": " + std::string(X509_verify_cert_error_string(verify));
        throw TransportError(text);
    }
    }
}

} // namespace

void Socket::close()
{
    if (m_ssl && m_fd >= 0) {
        NoSigPipe quiet;
        SSL_shutdown(m_ssl); // the close alert, if the socket takes it now; no wait for the answer
        ERR_clear_error();
    }
    freeTls();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void Socket::startTls(const TlsContext &context, const std::string &host, const WaitSpec &wait)
{
    if (m_ssl)
        throw TransportError("tls: already started");
    ERR_clear_error();
    m_ssl = SSL_new(context.native());
    if (!m_ssl || SSL_set_fd(m_ssl, m_fd) != 1)
        throw TransportError("tls: " + tlsErrorText());
    if (context.isServer()) {
        SSL_set_accept_state(m_ssl);
    } else {
        SSL_set_connect_state(m_ssl);
        unsigned char address[16];
        const bool numeric = inet_pton(AF_INET, host.c_str(), address) == 1
                             || inet_pton(AF_INET6, host.c_str(), address) == 1;
        X509_VERIFY_PARAM *param = SSL_get0_param(m_ssl);
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        const bool named = numeric ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1
                                   : SSL_set1_host(m_ssl, host.c_str()) == 1
                                         && SSL_set_tlsext_host_name(m_ssl, host.c_str()) == 1;
        if (!named)
            throw TransportError("tls: cannot check the certificate against host '" + host + "'");
    }
    for (;;) {
        int result, savedErrno;
        {
            NoSigPipe quiet;
            errno = 0;
            result = SSL_do_handshake(m_ssl);
            savedErrno = errno;
        }
        if (result == 1)
            return;
        waitFor(m_fd, tlsWaitOrThrow(m_ssl, result, savedErrno), wait);
    }
}

bool Socket::readable() const
{
    if (m_ssl && SSL_pending(m_ssl) > 0)
        return true;
    pollfd fd{m_fd, POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0;
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
        if (m_ssl) {
            size_t count = 0;
            int result, savedErrno;
            {
                NoSigPipe quiet;
                errno = 0;
                result = SSL_write_ex(m_ssl, data.data() + sent, data.size() - sent, &count);
                savedErrno = errno;
            }
            if (result == 1)
                sent += count;
            else
                waitFor(m_fd, tlsWaitOrThrow(m_ssl, result, savedErrno), wait);
            continue;
        }
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

ssize_t Socket::receiveSome(char *buffer, size_t size, short &waitEvents)
{
    waitEvents = POLLIN;
    if (m_ssl) {
        size_t count = 0;
        int result, savedErrno;
        {
            NoSigPipe quiet; // a read may have to write (an alert)
            errno = 0;
            result = SSL_read_ex(m_ssl, buffer, size, &count);
            savedErrno = errno;
        }
        if (result == 1)
            return static_cast<ssize_t>(count);
        const int error = SSL_get_error(m_ssl, result);
        if (error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && savedErrno == 0)) {
            ERR_clear_error();
            return 0;
        }
        waitEvents = tlsWaitOrThrow(m_ssl, result, savedErrno);
        return -1;
    }
    for (;;) {
        const ssize_t count = ::recv(m_fd, buffer, size, 0);
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

void Socket::readExact(char *buffer, size_t size, const WaitSpec &wait)
{
    size_t got = 0;
    short events = POLLIN;
    while (got < size) {
        const ssize_t count = receiveSome(buffer + got, size - got, events);
        if (count > 0) {
            got += static_cast<size_t>(count);
        } else if (count == 0) {
            throw ClosedError("connection closed by the peer");
        } else {
            waitFor(m_fd, events, wait);
        }
    }
}

std::optional<std::string> Socket::readFrame(uint32_t maxFrameBytes, const WaitSpec &firstByte,
                                             int frameTimeoutMs)
{
    unsigned char header[kFrameHeaderBytes];
    ssize_t count;
    short events = POLLIN;
    for (;;) {
        count = receiveSome(reinterpret_cast<char *>(header), sizeof header, events);
        if (count == 0)
            return std::nullopt;
        if (count > 0)
            break;
        waitFor(m_fd, events, firstByte);
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
    if (m_ssl) {
        NoSigPipe quiet;
        SSL_shutdown(m_ssl); // the close alert; what the peer still sends is drained as raw bytes
        ERR_clear_error();
    }
    ::shutdown(m_fd, SHUT_WR);
    WaitSpec wait = WaitSpec::within(lingerMs);
    wait.cancelFd = cancelFd;
    char sink[16 * 1024];
    size_t drained = 0;
    try {
        while (drained < (4u << 20)) {
            const ssize_t count = ::recv(m_fd, sink, sizeof sink, 0);
            if (count == 0)
                break;
            if (count > 0)
                drained += static_cast<size_t>(count);
            else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                waitFor(m_fd, POLLIN, wait);
            else
                break; // reset: the connection is gone
        }
    } catch (const TransportError &) {
        // Timed out or cancelled: the connection is being dropped anyway.
    }
    ::shutdown(m_fd, SHUT_RDWR);
}

} // namespace wire
