#include "platform/protocol/netconnection.h"

#include "platform/protocol/socket.h"
#include "platform/protocol/tls.h"
#include "platform/protocol/wire.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace tk {

namespace {

constexpr uint32_t kMaxHandshakeBytes = 64 * 1024;

// Marks the connection busy for one call or connect, on every exit path.
class BusyScope
{
public:
    explicit BusyScope(bool &busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    bool &m_busy;
};

// The server answered a call with an error frame: it closed the connection without running the call.
class NotRunError : public wire::TransportError
{
public:
    using wire::TransportError::TransportError;
};

std::string trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool truthy(const Variant &value)
{
    switch (value.type()) {
    case VarType::Boolean: return value.asBoolean();
    case VarType::Integer: return value.asInteger() != 0;
    default: return true; // anything but a plain false may ask for the write
    }
}

} // namespace

std::string ServerAddress::text() const
{
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return shown + ":" + std::to_string(port);
}

bool ServerAddress::isLoopback() const
{
    if (host == "localhost")
        return true;
    unsigned char v4[4];
    if (inet_pton(AF_INET, host.c_str(), v4) == 1)
        return v4[0] == 127;
    unsigned char v6[16];
    if (inet_pton(AF_INET6, host.c_str(), v6) != 1)
        return false;
    static const unsigned char loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    return std::equal(v6, v6 + 16, loopback) || (std::equal(v6, v6 + 12, mapped) && v6[12] == 127);
}

std::optional<ServerAddress> ParseServerAddress(const std::string &input, std::string &error, bool allowPortZero)
{
    const std::string text = trimmed(input);
    ServerAddress address;
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            error = "'" + text + "' is not [IPV6]:PORT";
            return std::nullopt;
        }
        address.host = text.substr(1, close - 1);
        portText = text.substr(close + 2);
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string::npos) {
            error = "'" + text + "' is not HOST:PORT";
            return std::nullopt;
        }
        address.host = text.substr(0, colon);
        portText = text.substr(colon + 1);
        if (address.host.find(':') != std::string::npos) {
            error = "'" + text + "': an IPv6 address is written in brackets, [::1]:PORT";
            return std::nullopt;
        }
    }
    if (address.host.empty()) {
        error = "'" + text + "' has no host";
        return std::nullopt;
    }
    const bool digits = !portText.empty() && portText.size() <= 5
                        && std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int port = digits ? std::stoi(portText) : -1;
    if (port < (allowPortZero ? 0 : 1) || port > 65535) {
        error = "'" + text + "' has an invalid port (" + (allowPortZero ? "0" : "1") + " to 65535)";
        return std::nullopt;
    }
    address.port = port;
    return address;
}

std::optional<std::vector<ServerAddress>> ParseServerList(const std::string &text, std::string &error)
{
    std::vector<ServerAddress> list;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string entry = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto address = ParseServerAddress(entry, error);
        if (!address)
            return std::nullopt;
        if (std::find(list.begin(), list.end(), *address) != list.end()) {
            error = "'" + address->text() + "' is listed twice";
            return std::nullopt;
        }
        list.push_back(*address);
        if (comma == std::string::npos)
            return list;
        start = comma + 1;
    }
}

bool IsWritingCall(const std::string &method, const VariantArray &args)
{
    if (method == "GetTrabCusto")
        return args.empty() || truthy(args.back());
    return method.rfind("Get", 0) != 0;
}

TNetConnection::TNetConnection(std::string name) : Name(std::move(name)) {}

TNetConnection::~TNetConnection() = default;

bool TNetConnection::Connected() const
{
    return m_socket && m_socket->valid();
}

std::string TNetConnection::address() const
{
    return m_connectedTo.empty() ? ServerAddress{Host, Port}.text() : m_connectedTo;
}

void TNetConnection::fail(const std::string &action, const std::string &reason) const
{
    throw ENetError("Falha de comunicação com o servidor " + address() + " " + action + ": " + reason);
}

void TNetConnection::SetConnected(bool value)
{
    if (!value) {
        if (m_busy && m_socket) {
            // Called from OnWait: the waiting call sees the closed stream, fails and releases the socket.
            ::shutdown(m_socket->fd(), SHUT_RDWR);
            return;
        }
        m_socket.reset();
        return;
    }
    if (Connected())
        return;
    if (m_busy)
        fail("ao conectar", "another call is already waiting on this connection");
    BusyScope busy(m_busy);
    connectAny("ao conectar");
}

const std::string &TNetConnection::ProcessSessionId()
{
    static const std::string id = [] {
        std::random_device device;
        std::string text;
        for (int i = 0; i < 4; ++i) {
            char part[9];
            std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(device()));
            text += part;
        }
        return text;
    }();
    return id;
}

std::vector<ServerAddress> TNetConnection::servers() const
{
    std::vector<ServerAddress> list{ServerAddress{Host, Port}};
    for (const ServerAddress &alternate : Alternates)
        if (std::find(list.begin(), list.end(), alternate) == list.end())
            list.push_back(alternate);
    // The one that answered last first, the one that just failed last; the order is kept otherwise.
    const auto last = std::find_if(list.begin(), list.end(),
                                   [&](const ServerAddress &s) { return s.text() == m_connectedTo; });
    if (last != list.end())
        std::rotate(list.begin(), last, list.end());
    const auto skipped = std::find_if(list.begin(), list.end(), [&](const ServerAddress &s) { return s.text() == m_skip; });
    if (skipped != list.end())
        std::rotate(skipped, skipped + 1, list.end());
    return list;
}

void TNetConnection::connectAny(const std::string &action)
{
    if (BeforeConnect)
        BeforeConnect(*this);
    const std::vector<ServerAddress> list = servers();
    m_skip.clear();
    std::string reasons;
    for (const ServerAddress &server : list) {
        try {
            connectTo(server, action);
            return;
        } catch (const ENetError &e) {
            if (list.size() == 1)
                throw;
            reasons += (reasons.empty() ? "" : "; ") + server.text() + ": " + e.what();
        }
    }
    std::string names;
    for (const ServerAddress &server : list)
        names += (names.empty() ? "" : ", ") + server.text();
    throw ENetError("Falha de comunicação com os servidores " + names + " " + action + ": " + reasons);
}

// Connects and shakes hands with one server; ENetError with the bare reason for a list of servers,
// the whole text for a single one.
void TNetConnection::connectTo(const ServerAddress &server, const std::string &action)
{
    const bool single = Alternates.empty();
    const auto failHere = [&](const std::string &reason) {
        throw ENetError(single ? "Falha de comunicação com o servidor " + server.text() + " " + action + ": " + reason
                               : reason);
    };
    if (server.port < 1 || server.port > 65535)
        failHere("invalid port " + std::to_string(server.port));
    if (server.host.empty())
        failHere("no server address");

    wire::WaitSpec wait = wire::WaitSpec::within(ConnectTimeoutMs > 0 ? ConnectTimeoutMs : TimeoutMs);
    wait.onSlice = OnWait;
    try {
        if (TlsCaFile.empty() && !User.empty() && !server.isLoopback())
            failHere("a password goes to a server on another machine only over TLS (no TLS CA file is set)");
        if (!TlsCaFile.empty() && (!m_tls || m_tlsFile != TlsCaFile)) {
            try {
                m_tls = wire::TlsContext::client(TlsCaFile);
                m_tlsFile = TlsCaFile;
            } catch (const tk::Exception &e) {
                failHere(e.what());
            }
        }
        auto socket = std::make_unique<wire::Socket>(
            wire::Socket::connectTo(server.host, static_cast<uint16_t>(server.port), wait));
        if (!TlsCaFile.empty())
            socket->startTls(*m_tls, server.host, wait);
        socket->sendAll(wire::encodeHello(wire::kProtocolVersion, SessionId, {User, Password}), wait);
        const auto payload = socket->readFrame(std::min(MaxFrameBytes, kMaxHandshakeBytes), wait, 0);
        if (!payload)
            throw wire::ClosedError("connection closed by the server during the handshake");
        switch (wire::frameKind(*payload)) {
        case wire::FrameKind::HelloAck: {
            const uint16_t version = wire::decodeHelloAck(*payload);
            if (version != wire::kProtocolVersion)
                throw wire::ProtocolError("the server speaks protocol version " + std::to_string(version)
                                          + ", this client " + std::to_string(wire::kProtocolVersion));
            break;
        }
        case wire::FrameKind::Error:
            throw wire::TransportError("the server refused the connection: " + wire::decodeErrorFrame(*payload));
        default:
            throw wire::ProtocolError("unexpected frame during the handshake");
        }
        m_socket = std::move(socket);
    } catch (const wire::TransportError &e) {
        failHere(e.what());
    } catch (const wire::ProtocolError &e) {
        failHere(std::string("protocol error: ") + e.what());
    }
    m_connectedTo = server.text();
    if (AfterConnect)
        AfterConnect(*this);
}

// Anything readable between calls means the server has given the connection up: an error frame
// (idle too long, or closed to make room) or the end of the stream.
bool TNetConnection::staleConnection() const
{
    return m_socket->readable();
}

Variant TNetConnection::Call(const std::string &method, const VariantArray &args)
{
    const std::string action = "ao chamar " + method;
    if (m_busy)
        fail(action, "another call is already waiting on this connection");
    BusyScope busy(m_busy);

    const auto record = [&](const Variant *result, const std::string *error) {
        if (OnCallDone)
            OnCallDone(method, args, result, error);
    };

    const uint32_t id = ++m_nextId;
    std::string frame;
    try {
        frame = wire::encodeRequest(wire::Request{id, method, args});
    } catch (const wire::ProtocolError &e) {
        // Nothing was sent: the connection stays usable.
        const std::string text = "Falha de comunicação com o servidor " + address() + " " + action
                                 + ": cannot send the arguments: " + e.what();
        record(nullptr, &text);
        throw ENetError(text);
    }

    const bool writing = IsWritingCall(method, args);
    bool resent = false;
    size_t passedOver = 0;    // connections given up before the server ran the call
    std::string earlier;      // failures of this call that were followed by another attempt
    const auto transportFailure = [&](const std::string &reason) {
        m_socket.reset();
        std::string text = "Falha de comunicação com o servidor " + address() + " " + action + ": " + reason;
        if (!earlier.empty())
            text += " (antes: " + earlier + ")";
        record(nullptr, &text);
        throw ENetError(text);
    };

    wire::Response response;
    for (;;) {
        if (m_socket && m_socket->valid() && staleConnection())
            m_socket.reset(); // reconnects to the same server first: it only closed an idle connection
        if (!Connected()) {
            try {
                connectAny(action);
            } catch (const ENetError &e) {
                std::string text = e.what();
                if (!earlier.empty())
                    text += " (antes: " + earlier + ")";
                record(nullptr, &text);
                throw ENetError(text);
            }
        }
        const std::string server = m_connectedTo;
        bool written = false;
        try {
            wire::WaitSpec wait = wire::WaitSpec::within(TimeoutMs);
            wait.onSlice = OnWait;
            m_socket->sendAll(frame, wait);
            written = true;
            const auto payload = m_socket->readFrame(MaxFrameBytes, wait, 0);
            if (!payload)
                throw wire::ClosedError("connection closed by the server");
            switch (wire::frameKind(*payload)) {
            case wire::FrameKind::Response:
                break;
            case wire::FrameKind::Error:
                throw NotRunError("the server closed the connection: " + wire::decodeErrorFrame(*payload));
            default:
                throw wire::ProtocolError("unexpected frame in answer to a call");
            }
            response = wire::decodeResponse(*payload);
            if (response.id != id)
                throw wire::ProtocolError("answer " + std::to_string(response.id) + " does not match call "
                                          + std::to_string(id));
            break;
        } catch (const wire::TransportError &e) {
            m_socket.reset();
            const size_t serverCount = servers().size();
            const bool notRun = !written || dynamic_cast<const NotRunError *>(&e) != nullptr;
            // A timeout is resent only to another server: the same one is still busy with the call.
            const bool timedOut = dynamic_cast<const wire::TimeoutError *>(&e) != nullptr;
            const bool again = notRun ? ++passedOver <= serverCount
                                      : !writing && !resent && (!timedOut || serverCount > 1);
            if (!again)
                transportFailure(e.what());
            if (!notRun)
                resent = true;
            earlier += (earlier.empty() ? "" : "; ") + server + ": " + e.what();
            m_skip = server;
        } catch (const wire::ProtocolError &e) {
            transportFailure(std::string("protocol error: ") + e.what());
        } catch (...) {
            // OnWait raised: the answer is still on its way, so the stream cannot be reused.
            m_socket.reset();
            throw;
        }
    }

    if (!response.ok) {
        record(nullptr, &response.error);
        throw ERemoteError(method + ": " + response.error);
    }
    record(&response.result, nullptr);
    return std::move(response.result);
}

} // namespace tk
