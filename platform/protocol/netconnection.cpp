#include "platform/protocol/netconnection.h"

#include "platform/protocol/socket.h"
#include "platform/protocol/wire.h"

#include <sys/socket.h>

#include <algorithm>

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

} // namespace

TNetConnection::TNetConnection(std::string name) : Name(std::move(name)) {}

TNetConnection::~TNetConnection() = default;

bool TNetConnection::Connected() const
{
    return m_socket && m_socket->valid();
}

std::string TNetConnection::address() const
{
    return Host + ":" + std::to_string(Port);
}

void TNetConnection::fail(const std::string &action, const std::string &reason)
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
    connect("ao conectar");
}

void TNetConnection::connect(const std::string &action)
{
    if (BeforeConnect)
        BeforeConnect(*this);
    if (Port < 1 || Port > 65535)
        fail(action, "invalid port " + std::to_string(Port));
    if (Host.empty())
        fail(action, "no server address");

    wire::WaitSpec wait = wire::WaitSpec::within(TimeoutMs);
    wait.onSlice = OnWait;
    try {
        auto socket = std::make_unique<wire::Socket>(
            wire::Socket::connectTo(Host, static_cast<uint16_t>(Port), wait));
        socket->sendAll(wire::encodeHello(wire::kProtocolVersion), wait);
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
            throw wire::TransportError("the server refused the connection: "
                                       + wire::decodeErrorFrame(*payload));
        default:
            throw wire::ProtocolError("unexpected frame during the handshake");
        }
        m_socket = std::move(socket);
    } catch (const wire::TransportError &e) {
        fail(action, e.what());
    } catch (const wire::ProtocolError &e) {
        fail(action, std::string("protocol error: ") + e.what());
    }
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
    const auto transportFailure = [&](const std::string &reason) {
        m_socket.reset();
        const std::string text = "Falha de comunicação com o servidor " + address() + " " + action + ": "
                                 + reason;
        record(nullptr, &text);
        throw ENetError(text);
    };

    if (!Connected()) {
        try {
            connect(action);
        } catch (const ENetError &e) {
            const std::string text = e.what();
            record(nullptr, &text);
            throw;
        }
    }

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

    wire::Response response;
    try {
        wire::WaitSpec wait = wire::WaitSpec::within(TimeoutMs);
        wait.onSlice = OnWait;
        m_socket->sendAll(frame, wait);
        const auto payload = m_socket->readFrame(MaxFrameBytes, wait, 0);
        if (!payload)
            throw wire::ClosedError("connection closed by the server");
        switch (wire::frameKind(*payload)) {
        case wire::FrameKind::Response:
            break;
        case wire::FrameKind::Error:
            throw wire::TransportError("the server closed the connection: " + wire::decodeErrorFrame(*payload));
        default:
            throw wire::ProtocolError("unexpected frame in answer to a call");
        }
        response = wire::decodeResponse(*payload);
        if (response.id != id)
            throw wire::ProtocolError("answer " + std::to_string(response.id) + " does not match call "
                                      + std::to_string(id));
    } catch (const wire::TransportError &e) {
        transportFailure(e.what());
    } catch (const wire::ProtocolError &e) {
        transportFailure(std::string("protocol error: ") + e.what());
    } catch (...) {
        // OnWait raised: the answer is still on its way, so the stream cannot be reused.
        m_socket.reset();
        throw;
    }

    if (!response.ok) {
        record(nullptr, &response.error);
        throw ERemoteError(method + ": " + response.error);
    }
    record(&response.result, nullptr);
    return std::move(response.result);
}

} // namespace tk
