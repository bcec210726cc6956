#pragma once

// Helpers shared by the protocol tests: a raw protocol client that speaks frames byte by byte, a
// gate that holds a handler until the test lets it go, a real RpcServer with a set of test methods,
// and a one-connection scripted peer for the client's failure cases.

#include "platform/protocol/rpcserver.h"
#include "platform/protocol/socket.h"
#include "platform/protocol/wire.h"
#include "platform/toolkit/data/datapacket.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace protocol_test {

constexpr int kWaitMs = 5000; // upper bound of every wait in these tests

inline std::string le32(uint32_t value)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>(value >> (8 * i));
    return out;
}

// A frame around an arbitrary payload (the length is the payload's unless given).
inline std::string rawFrame(const std::string &payload, std::optional<uint32_t> length = std::nullopt)
{
    return le32(length.value_or(static_cast<uint32_t>(payload.size()))) + payload;
}

inline std::string payloadOf(const std::string &frame)
{
    return frame.substr(wire::kFrameHeaderBytes);
}

// Polls a condition until it holds or the bound passes.
inline bool eventually(const std::function<bool()> &condition, int timeoutMs = kWaitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The encoded bytes of a packet of eight integer fields and `rows` rows of nulls: one byte per row,
// the most cells a byte of packet can announce.
inline std::string nullRowsPacket(uint32_t rows)
{
    std::string packet = std::string("KPVP") + std::string("\x01\x00\x00\x00", 4) + le32(8);
    for (int i = 0; i < 8; ++i)
        packet += le32(1) + static_cast<char>('A' + i) + static_cast<char>(tk::FieldType::Integer) + le32(0) + le32(0);
    return packet + le32(rows) + std::string(rows, '\xFF');
}

// A protocol client without any of TNetConnection's logic, to send what a real client never would.
class RawClient
{
public:
    explicit RawClient(uint16_t port)
        : m_socket(wire::Socket::connectTo("127.0.0.1", port, wire::WaitSpec::within(kWaitMs)))
    {
    }

    void send(const std::string &bytes) { m_socket.sendAll(bytes, wire::WaitSpec::within(kWaitMs)); }

    // The next payload; nothing when the server closed the connection.
    std::optional<std::string> read(int timeoutMs = kWaitMs)
    {
        try {
            return m_socket.readFrame(wire::kDefaultMaxFrameBytes, wire::WaitSpec::within(timeoutMs), timeoutMs);
        } catch (const wire::ClosedError &) {
            return std::nullopt;
        }
    }

    void handshake()
    {
        send(wire::encodeHello());
        auto ack = read();
        ASSERT_TRUE(ack.has_value()) << "server closed during the handshake";
        ASSERT_EQ(wire::frameKind(*ack), wire::FrameKind::HelloAck);
        ASSERT_EQ(wire::decodeHelloAck(*ack), wire::kProtocolVersion);
    }

    wire::Response call(const std::string &method, const tk::VariantArray &args, uint32_t id = 1)
    {
        send(wire::encodeRequest({id, method, args}));
        auto payload = read();
        if (!payload)
            throw std::runtime_error("server closed the connection instead of answering " + method);
        return wire::decodeResponse(*payload);
    }

    // Reads the error frame a refused connection gets, then expects the connection to end.
    std::string expectErrorAndClose()
    {
        auto payload = read();
        if (!payload)
            return "<closed without an error frame>";
        std::string text = wire::frameKind(*payload) == wire::FrameKind::Error ? wire::decodeErrorFrame(*payload)
                                                                                 : "<not an error frame>";
        EXPECT_TRUE(closedByServer()) << "connection still open after: " << text;
        return text;
    }

    // True when the server ends the connection within the bound (bytes before the end are discarded).
    bool closedByServer(int timeoutMs = kWaitMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char buffer[4096];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd fd{m_socket.fd(), POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                continue;
            const ssize_t count = ::recv(m_socket.fd(), buffer, sizeof buffer, 0);
            if (count == 0 || (count < 0 && errno == ECONNRESET))
                return true;
        }
    }

    void close() { m_socket.close(); }
    int fd() const { return m_socket.fd(); }

private:
    wire::Socket m_socket;
};

// Holds handlers until the test opens it; every wait is bounded.
class Gate
{
public:
    // Called by a handler: counts it in and waits for the gate (at most kWaitMs).
    bool pass()
    {
        std::unique_lock lock(m_mutex);
        ++m_entered;
        m_changed.notify_all();
        return m_changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), [this] { return m_open; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool waitEntered(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return m_entered >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_entered = 0;
    bool m_open = false;
};

inline tk::DataPacket samplePacket()
{
    tk::DataPacket packet;
    packet.addField("CDPRODUTO", tk::FieldType::String, 10)
        .addField("NMPRODUTO", tk::FieldType::String, 50)
        .addField("QTPRODUTO", tk::FieldType::Float)
        .addField("NRDIAS", tk::FieldType::Integer)
        .addField("IDATIVO", tk::FieldType::Boolean)
        .addField("DTCARDAPIO", tk::FieldType::DateTime)
        .addField("IDTIPO", tk::FieldType::FixedString, 1);
    packet.addRow({"0000000001", "Feijão carioca", 0.125, 3, true, tk::Variant::fromDateTime(45000.0), "S"});
    packet.addRow({"0000000002", "", tk::Variant(), tk::Variant(), false, tk::Variant(), tk::Variant()});
    return packet;
}

// A real server with the methods the tests call.
class TestServer
{
public:
    explicit TestServer(wire::RpcServer::Options options = {})
    {
        options.log = [this](const std::string &line) {
            std::lock_guard lock(m_logMutex);
            m_log.push_back(line);
        };
        server = std::make_unique<wire::RpcServer>(std::move(options));
        server->registerMethod("Echo", [](const tk::VariantArray &args) { return tk::Variant(args); });
        server->registerMethod("Fail", [](const tk::VariantArray &) -> tk::Variant {
            throw std::runtime_error("boom: falhou");
        });
        server->registerMethod("ThrowInt", [](const tk::VariantArray &) -> tk::Variant { throw 42; });
        server->registerMethod("BadUtf8", [](const tk::VariantArray &) { return tk::Variant("ok\xff"); });
        server->registerMethod("Big", [](const tk::VariantArray &args) {
            return tk::Variant(std::string(static_cast<size_t>(args.at(0).asInteger()), 'x'));
        });
        server->registerMethod("Packet", [](const tk::VariantArray &) {
            return tk::Variant::array({"key", samplePacket()});
        });
        server->registerMethod("Slow", [this](const tk::VariantArray &) {
            return tk::Variant(gate.pass() ? "done" : "gate timed out");
        });
        server->registerMethod("Sleep", [](const tk::VariantArray &args) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(args.at(0).asInteger(), kWaitMs)));
            return tk::Variant("slept");
        });
        port = server->start();
    }

    std::vector<std::string> log() const
    {
        std::lock_guard lock(m_logMutex);
        return m_log;
    }

    bool logContains(const std::string &text) const
    {
        for (const std::string &line : log())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

    Gate gate;
    std::unique_ptr<wire::RpcServer> server;
    uint16_t port = 0;

private:
    mutable std::mutex m_logMutex;
    std::vector<std::string> m_log;
};

// Listens on a free port and runs a script against the first connection, for peers that misbehave
// in ways the real server never does.
class ScriptedPeer
{
public:
    explicit ScriptedPeer(std::function<void(wire::Socket &)> script)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::listen(m_listen, 4) != 0)
            throw std::runtime_error("scripted peer cannot listen");
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length);
        port = ntohs(address.sin_port);
        m_thread = std::thread([this, script = std::move(script)] {
            pollfd fd{m_listen, POLLIN, 0};
            if (::poll(&fd, 1, kWaitMs) <= 0)
                return;
            const int accepted = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (accepted < 0)
                return;
            wire::Socket socket(accepted);
            try {
                script(socket);
            } catch (const std::exception &) {
                // The client under test went away first; its side of the story is what is checked.
            }
        });
    }

    ~ScriptedPeer()
    {
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
    }

    // Reads and answers the hello as a real server would.
    static void acceptHello(wire::Socket &socket)
    {
        socket.readFrame(1024, wire::WaitSpec::within(kWaitMs), kWaitMs);
        socket.sendAll(wire::encodeHelloAck(), wire::WaitSpec::within(kWaitMs));
    }

    static wire::Request readRequest(wire::Socket &socket)
    {
        auto payload = socket.readFrame(wire::kDefaultMaxFrameBytes, wire::WaitSpec::within(kWaitMs), kWaitMs);
        if (!payload)
            throw std::runtime_error("client closed");
        return wire::decodeRequest(*payload);
    }

    uint16_t port = 0;

private:
    int m_listen = -1;
    std::thread m_thread;
};

// A port nobody listens on (bound for a moment, then released).
inline uint16_t unusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace protocol_test
