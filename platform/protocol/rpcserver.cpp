#include "platform/protocol/rpcserver.h"

#include "platform/protocol/socket.h"
#include "platform/protocol/tls.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <unordered_map>

namespace wire {

namespace {

// Set on connection threads, so that stop() called from a handler does not join its own thread.
thread_local const void *t_servingServer = nullptr;
thread_local std::string t_callSession; // the hello's session of the connection this thread serves
thread_local std::string t_callUser;    // the operator the connection signed in as; empty: none

constexpr uint32_t kMaxHelloBytes = 512; // session, user and password included
constexpr int kLingerMs = 200;

std::string formatMs(Clock::duration elapsed)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f",
                  std::chrono::duration<double, std::milli>(elapsed).count());
    return text;
}

} // namespace

struct RpcServer::Impl
{
    struct Connection
    {
        enum Phase { Handshake, Idle, InCall };

        int fd = -1; // Owned; guarded by connectionsMutex, -1 once closed.
        std::string peer;
        std::thread thread;
        std::atomic<bool> finished{false};
        // Phase and evicted are changed under connectionsMutex, so that a connection is never
        // evicted once it has begun a call.
        Phase phase = Handshake;
        Clock::time_point waitingSince = Clock::now();
        bool evicted = false;
    };

    enum class State { Idle, Running, Stopped };

    explicit Impl(Options o) : options(std::move(o)) {}

    Options options;

    mutable std::shared_mutex handlersMutex;
    std::unordered_map<std::string, MethodHandler> handlers;
    FallbackHandler fallback;

    std::mutex logMutex;

    int listenFd = -1;
    int wakeRead = -1;  // Readable once a stop was requested; never drained.
    int wakeWrite = -1;
    uint16_t boundPort = 0;
    std::thread acceptThread;

    mutable std::mutex connectionsMutex;
    std::list<std::unique_ptr<Connection>> connections;

    std::mutex stopMutex; // serializes stop()
    std::mutex stateMutex;
    std::condition_variable stateChanged;
    State state = State::Idle;
    bool acceptLoopEnded = false;

    void log(const std::string &line)
    {
        if (!options.log)
            return;
        std::lock_guard lock(logMutex);
        try {
            options.log(line);
        } catch (...) {
            // A failing log sink must not take a connection down.
        }
    }

    WaitSpec writeWait() const
    {
        WaitSpec wait = WaitSpec::within(options.readTimeoutMs);
        wait.cancelFd = wakeRead;
        return wait;
    }

    // Moves a connection to a phase; false when it was evicted meanwhile (then it must not serve).
    bool enterPhase(Connection &connection, Connection::Phase phase)
    {
        std::lock_guard lock(connectionsMutex);
        if (connection.evicted)
            return false;
        connection.phase = phase;
        connection.waitingSince = Clock::now();
        return true;
    }

    // Makes room for a new connection by closing the one waiting longest outside a call; false when
    // every connection is in a call. The caller holds connectionsMutex.
    bool evictOne()
    {
        Connection *oldest = nullptr;
        for (const auto &connection : connections) {
            if (connection->finished || connection->evicted || connection->phase == Connection::InCall
                || connection->fd < 0)
                continue;
            if (!oldest || connection->waitingSince < oldest->waitingSince)
                oldest = connection.get();
        }
        if (!oldest)
            return false;
        oldest->evicted = true;
        // Wakes its thread out of the wait for the next frame; the thread says why and closes.
        ::shutdown(oldest->fd, SHUT_RD);
        return true;
    }

    void closeConnection(Connection &connection)
    {
        std::lock_guard lock(connectionsMutex);
        if (connection.fd >= 0) {
            ::close(connection.fd);
            connection.fd = -1;
        }
    }

    // Answers a protocol failure with an error frame and ends the connection.
    void refuseConnection(Socket &socket, const std::string &peer, const std::string &text)
    {
        log("connection " + peer + ": " + text);
        sendRefusal(socket, text);
    }

    // The error frame of a refused connection, then the end of it.
    void sendRefusal(Socket &socket, const std::string &text)
    {
        try {
            WaitSpec wait = WaitSpec::within(1000);
            wait.cancelFd = wakeRead;
            socket.sendAll(encodeErrorFrame(text), wait);
        } catch (const std::exception &) {
            // The peer is gone or not reading; nothing more to tell it.
        }
        socket.shutdownAndDrain(kLingerMs, wakeRead);
    }

    // Checks a hello's sign-in. A refusal waits signInDelayMs first (on this connection's thread
    // only, so other connections go on), is logged with the user and the peer, never the password.
    bool signIn(Socket &socket, const std::string &peer, const Credentials &credentials)
    {
        bool accepted = false;
        try {
            accepted = !credentials.empty() && options.checkCredentials(credentials);
        } catch (const std::exception &e) {
            log("connection " + peer + ": the sign-in check failed: " + e.what());
        }
        if (accepted) {
            log("connection " + peer + ": user '" + credentials.user + "' signed in");
            return true;
        }
        log("connection " + peer + ": "
            + (credentials.empty() ? std::string("no user given") : "user '" + credentials.user + "' refused: wrong user or password"));
        if (options.signInDelayMs > 0) {
            pollfd wake{wakeRead, POLLIN, 0};
            ::poll(&wake, 1, options.signInDelayMs);
        }
        sendRefusal(socket, credentials.empty() ? "Este servidor exige usuário e senha" : "Usuário ou senha inválidos");
        return false;
    }

    // The TLS handshake of a new connection; false when the client opened in plain text (answered
    // with a plain error frame) or left. A failed handshake raises TransportError.
    bool startTls(Socket &socket, const std::string &peer, const WaitSpec &wait)
    {
        // A TLS client opens with a handshake record (0x16); a plain hello opens with its length.
        unsigned char first = 0;
        for (;;) {
            const ssize_t count = ::recv(socket.fd(), &first, 1, MSG_PEEK);
            if (count == 0)
                return false;
            if (count > 0)
                break;
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                throw TransportError(errnoText(errno));
            waitFor(socket.fd(), POLLIN, wait);
        }
        if (first != 0x16) {
            refuseConnection(socket, peer, "this server takes TLS connections only");
            return false;
        }
        try {
            socket.startTls(*options.tls, {}, wait);
        } catch (const TimeoutError &e) {
            // Half a TLS handshake: no frame can be sent in the clear any more.
            log("connection " + peer + ": tls handshake " + e.what());
            return false;
        }
        return true;
    }

    Response dispatch(const Request &request)
    {
        if (!request.refused.empty()) {
            Response refusal;
            refusal.id = request.id;
            refusal.ok = false;
            refusal.error = request.refused;
            return refusal;
        }
        MethodHandler handler;
        FallbackHandler fallbackHandler;
        {
            std::shared_lock lock(handlersMutex);
            auto found = handlers.find(request.method);
            if (found != handlers.end())
                handler = found->second;
            else
                fallbackHandler = fallback;
        }
        Response response;
        response.id = request.id;
        try {
            if (handler) {
                response.result = handler(request.args);
            } else if (fallbackHandler) {
                response.result = fallbackHandler(request.method, request.args);
            } else {
                response.ok = false;
                response.error = "unknown method '" + request.method + "'";
            }
        } catch (const std::exception &e) {
            response.ok = false;
            response.error = sanitizeUtf8(e.what());
        } catch (...) {
            response.ok = false;
            response.error = "unknown error";
        }
        if (!response.ok)
            response.result = tk::Variant();
        return response;
    }

    std::string encodeAnswer(Response &response)
    {
        std::string frame;
        try {
            frame = encodeResponse(response, options.limits);
            const size_t payload = frame.size() - kFrameHeaderBytes;
            if (payload <= options.maxFrameBytes)
                return frame;
            response.error = "result too large: " + std::to_string(payload)
                             + " bytes exceed the limit of " + std::to_string(options.maxFrameBytes) + " bytes";
        } catch (const ProtocolError &e) {
            response.error = std::string("cannot send the result: ") + e.what();
        }
        response.ok = false;
        response.result = tk::Variant();
        return encodeResponse(response, options.limits);
    }

    void serve(Connection &connection)
    {
        t_servingServer = this;
        Socket socket(connection.fd);
        struct Release
        {
            Impl &impl;
            Connection &connection;
            Socket &socket;
            ~Release()
            {
                // The descriptor is closed under the lock, so stop() never shuts down a reused number.
                socket.release();
                impl.closeConnection(connection);
            }
        } release{*this, connection, socket};

        const std::string &peer = connection.peer;
        const auto evicted = [&] {
            refuseConnection(socket, peer, "closed to make room for a new connection (limit "
                                               + std::to_string(options.maxConnections) + ")");
        };
        try {
            WaitSpec helloWait = WaitSpec::within(options.handshakeTimeoutMs);
            helloWait.cancelFd = wakeRead;
            std::optional<std::string> hello;
            try {
                if (options.tls && !startTls(socket, peer, helloWait))
                    return;
                hello = socket.readFrame(std::min(options.maxFrameBytes, kMaxHelloBytes), helloWait,
                                         options.handshakeTimeoutMs);
            } catch (const TimeoutError &e) {
                refuseConnection(socket, peer, std::string("no hello: ") + e.what());
                return;
            }
            if (!enterPhase(connection, Connection::Idle))
                return evicted();
            if (!hello)
                return;
            Credentials credentials;
            const uint16_t version = decodeHello(*hello, &t_callSession, &credentials);
            if (version != kProtocolVersion) {
                refuseConnection(socket, peer, "unsupported protocol version " + std::to_string(version)
                                                   + " (server speaks " + std::to_string(kProtocolVersion) + ")");
                return;
            }
            t_callUser.clear();
            if (options.checkCredentials) {
                if (!signIn(socket, peer, credentials))
                    return;
                t_callUser = credentials.user;
            }
            socket.sendAll(encodeHelloAck(kProtocolVersion), writeWait());

            for (;;) {
                WaitSpec idle = WaitSpec::within(options.idleTimeoutMs);
                idle.cancelFd = wakeRead;
                std::optional<std::string> payload;
                try {
                    payload = socket.readFrame(options.maxFrameBytes, idle, options.readTimeoutMs);
                } catch (const TimeoutError &e) {
                    refuseConnection(socket, peer, std::string("read ") + e.what());
                    return;
                }
                if (!enterPhase(connection, Connection::InCall))
                    return evicted(); // whatever was read is not run: the client may send it again
                if (!payload)
                    return;
                const Request request = decodeRequest(*payload, options.limits);

                const auto started = Clock::now();
                Response response = dispatch(request);
                const std::string frame = encodeAnswer(response);
                log(request.method + " " + formatMs(Clock::now() - started) + " ms "
                    + (response.ok ? std::string("ok") : "error: " + response.error));
                socket.sendAll(frame, writeWait());
                if (!enterPhase(connection, Connection::Idle))
                    return evicted();
            }
        } catch (const ProtocolError &e) {
            refuseConnection(socket, peer, std::string("bad frame: ") + e.what());
        } catch (const CancelledError &) {
            // The server is stopping.
        } catch (const TransportError &e) {
            log("connection " + peer + ": " + e.what());
        } catch (const std::exception &e) {
            log("connection " + peer + ": " + e.what());
        }
    }

    size_t activeConnections() const
    {
        size_t count = 0;
        for (const auto &connection : connections)
            if (!connection->finished && !connection->evicted)
                ++count;
        return count;
    }

    void reapFinished()
    {
        std::list<std::unique_ptr<Connection>> done;
        {
            std::lock_guard lock(connectionsMutex);
            for (auto it = connections.begin(); it != connections.end();) {
                if ((*it)->finished) {
                    done.push_back(std::move(*it));
                    it = connections.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (auto &connection : done)
            if (connection->thread.joinable())
                connection->thread.join();
    }

    void refuseOverLimit(int fd)
    {
        Socket socket(fd);
        const std::string peer = peerName(fd);
        try {
            // Read the hello first: closing with unread data would reset the connection and the
            // client would never see why.
            WaitSpec wait = WaitSpec::within(100);
            wait.cancelFd = wakeRead;
            socket.readFrame(kMaxHelloBytes, wait, 100);
        } catch (const std::exception &) {
        }
        refuseConnection(socket, peer, "too many connections (limit "
                                           + std::to_string(options.maxConnections) + ")");
    }

    void acceptLoop()
    {
        for (;;) {
            pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeRead, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                log(std::string("accept loop: poll failed: ") + errnoText(errno));
                break;
            }
            if (fds[1].revents != 0)
                break;
            if (!(fds[0].revents & POLLIN))
                continue;
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                const int error = errno;
                if (error == EINTR || error == EAGAIN || error == EWOULDBLOCK || error == ECONNABORTED)
                    continue;
                log(std::string("accept failed: ") + errnoText(error));
                // Out of descriptors or memory: give the system a moment instead of spinning.
                pollfd wake{wakeRead, POLLIN, 0};
                ::poll(&wake, 1, 100);
                continue;
            }
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

            reapFinished();
            bool full;
            {
                std::lock_guard lock(connectionsMutex);
                full = options.maxConnections > 0
                       && activeConnections() >= static_cast<size_t>(options.maxConnections) && !evictOne();
            }
            if (full) {
                refuseOverLimit(fd);
                continue;
            }

            auto connection = std::make_unique<Connection>();
            connection->fd = fd;
            connection->peer = peerName(fd);
            Connection *raw = connection.get();
            std::lock_guard lock(connectionsMutex);
            connections.push_back(std::move(connection));
            try {
                raw->thread = std::thread([this, raw] {
                    serve(*raw);
                    raw->finished = true;
                });
            } catch (const std::system_error &e) {
                log(std::string("cannot start a connection thread: ") + e.what());
                ::close(raw->fd);
                connections.pop_back();
            }
        }
        {
            std::lock_guard lock(stateMutex);
            acceptLoopEnded = true;
        }
        stateChanged.notify_all();
    }
};

RpcServer::RpcServer(Options options) : d(std::make_unique<Impl>(std::move(options)))
{
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        throw tk::Exception("RpcServer: cannot create its wake pipe: " + errnoText(errno));
    d->wakeRead = fds[0];
    d->wakeWrite = fds[1];
}

RpcServer::~RpcServer()
{
    stop();
    ::close(d->wakeRead);
    ::close(d->wakeWrite);
}

void RpcServer::registerMethod(const std::string &name, MethodHandler handler)
{
    std::unique_lock lock(d->handlersMutex);
    d->handlers[name] = std::move(handler);
}

void RpcServer::setFallback(FallbackHandler handler)
{
    std::unique_lock lock(d->handlersMutex);
    d->fallback = std::move(handler);
}

uint16_t RpcServer::start()
{
    std::lock_guard stopLock(d->stopMutex);
    {
        std::lock_guard lock(d->stateMutex);
        if (d->state != Impl::State::Idle)
            throw tk::Exception(d->state == Impl::State::Running ? "RpcServer is already running"
                                                                  : "RpcServer cannot be restarted");
    }
    const Options &options = d->options;
    const std::string where = options.host + ":" + std::to_string(options.port);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(options.port);
    const int status = ::getaddrinfo(options.host.empty() ? nullptr : options.host.c_str(), service.c_str(),
                                     &hints, &found);
    if (status != 0)
        throw tk::Exception("cannot listen on " + where + ": " + ::gai_strerror(status));

    std::string lastError = "no address";
    int fd = -1;
    for (addrinfo *address = found; address && fd < 0; address = address->ai_next) {
        fd = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                      address->ai_protocol);
        if (fd < 0) {
            lastError = errnoText(errno);
            continue;
        }
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, address->ai_addr, address->ai_addrlen) != 0 || ::listen(fd, 128) != 0) {
            lastError = errnoText(errno);
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd < 0)
        throw tk::Exception("cannot listen on " + where + ": " + lastError);

    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &length);
    if (bound.ss_family == AF_INET)
        d->boundPort = ntohs(reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
    else
        d->boundPort = ntohs(reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port);
    d->listenFd = fd;

    {
        std::lock_guard lock(d->stateMutex);
        d->state = Impl::State::Running;
    }
    d->acceptThread = std::thread([this] { d->acceptLoop(); });
    return d->boundPort;
}

void RpcServer::requestStop() noexcept
{
    const char byte = 1;
    // A full pipe is fine: it is readable already.
    [[maybe_unused]] const ssize_t written = ::write(d->wakeWrite, &byte, 1);
}

void RpcServer::stop()
{
    if (t_servingServer == d.get()) {
        // Called from a handler: this thread cannot join itself. wait() or the destructor finish.
        requestStop();
        return;
    }
    std::lock_guard stopLock(d->stopMutex);
    {
        std::lock_guard lock(d->stateMutex);
        if (d->state == Impl::State::Stopped)
            return;
    }
    requestStop();
    if (d->acceptThread.joinable())
        d->acceptThread.join();

    std::list<std::unique_ptr<Impl::Connection>> connections;
    {
        std::lock_guard lock(d->connectionsMutex);
        // Wakes connections blocked in the kernel; their threads then close the descriptors.
        for (auto &connection : d->connections)
            if (connection->fd >= 0)
                ::shutdown(connection->fd, SHUT_RDWR);
        connections.swap(d->connections);
    }
    for (auto &connection : connections)
        if (connection->thread.joinable())
            connection->thread.join();

    if (d->listenFd >= 0) {
        ::close(d->listenFd);
        d->listenFd = -1;
    }
    {
        std::lock_guard lock(d->stateMutex);
        d->state = Impl::State::Stopped;
    }
    d->stateChanged.notify_all();
}

void RpcServer::wait()
{
    std::unique_lock lock(d->stateMutex);
    d->stateChanged.wait(lock, [this] { return d->state == Impl::State::Stopped || d->acceptLoopEnded; });
    const bool finish = d->state != Impl::State::Stopped;
    lock.unlock();
    if (finish)
        stop();
}

const std::string &RpcServer::callSession()
{
    return t_callSession;
}

const std::string &RpcServer::callUser()
{
    return t_callUser;
}

uint16_t RpcServer::port() const
{
    return d->boundPort;
}

int RpcServer::connectionCount() const
{
    std::lock_guard lock(d->connectionsMutex);
    return static_cast<int>(d->activeConnections());
}

} // namespace wire
