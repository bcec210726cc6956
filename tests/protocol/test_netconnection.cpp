// TNetConnection against the real server over loopback, and against scripted peers for the
// failures a real server does not produce on demand.

#include "platform/protocol/netconnection.h"
#include "platform/protocol/tls.h"
#include "tests/protocol/protocol_test_support.h"
#include "tests/protocol/tls_test_support.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using protocol_test::kWaitMs;
using protocol_test::samplePacket;
using protocol_test::ScriptedPeer;
using protocol_test::TestServer;
using protocol_test::unusedPort;
using tk::ENetError;
using tk::ERemoteError;
using tk::TNetConnection;
using tk::Variant;
using tk::VariantArray;

std::string failureText(const std::function<void()> &action)
{
    try {
        action();
    } catch (const ENetError &e) {
        return std::string("ENetError: ") + e.what();
    } catch (const ERemoteError &e) {
        return std::string("ERemoteError: ") + e.what();
    }
    return "no error";
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

struct CallRecord
{
    std::string method;
    VariantArray args;
    std::optional<Variant> result;
    std::optional<std::string> error;
};

void recordCalls(TNetConnection &connection, std::vector<CallRecord> &records)
{
    connection.OnCallDone = [&records](const std::string &method, const VariantArray &args, const Variant *result,
                                       const std::string *error) {
        CallRecord record{method, args, {}, {}};
        if (result)
            record.result = *result;
        if (error)
            record.error = *error;
        records.push_back(std::move(record));
    };
}

TEST(TNetConnection, BeforeConnectRunsFirstAndCanSetTheAddress)
{
    TestServer server;
    TNetConnection connection("netCustoServ");
    connection.Host = "servidor.invalido";
    connection.Port = 1;
    int runs = 0;
    bool connectedDuringBeforeConnect = true;
    connection.BeforeConnect = [&](TNetConnection &self) {
        ++runs;
        connectedDuringBeforeConnect = self.Connected();
        self.Host = "127.0.0.1";
        self.Port = server.port;
    };
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(connection.Call("Echo", {"um", int32_t(2)}), Variant(VariantArray{"um", int32_t(2)}));
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(connectedDuringBeforeConnect);
    EXPECT_TRUE(connection.Connected());

    connection.Call("Echo", {});
    EXPECT_EQ(runs, 1); // one connection serves every call

    connection.Close();
    EXPECT_FALSE(connection.Connected());
    connection.Close(); // closing a closed connection is harmless
    connection.Call("Echo", {});
    EXPECT_EQ(runs, 2); // reconnected on demand
    connection.SetConnected(true);
    EXPECT_EQ(runs, 2);
}

TEST(TNetConnection, RefusedConnectionGivesAClearError)
{
    const uint16_t port = unusedPort();
    TNetConnection connection;
    connection.Port = port;
    std::vector<CallRecord> records;
    recordCalls(connection, records);
    const std::string expected = "Falha de comunicação com o servidor 127.0.0.1:" + std::to_string(port)
                                 + " ao chamar GetParams: connection refused";
    EXPECT_EQ(failureText([&] { connection.Call("GetParams", {"0001"}); }), "ENetError: " + expected);
    EXPECT_FALSE(connection.Connected());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].error, expected);
    EXPECT_EQ(records[0].args, VariantArray{"0001"});

    EXPECT_EQ(failureText([&] { connection.Open(); }),
              "ENetError: Falha de comunicação com o servidor 127.0.0.1:" + std::to_string(port)
                  + " ao conectar: connection refused");
}

TEST(TNetConnection, BadAddressesAreReportedWithoutConnecting)
{
    TNetConnection connection;
    connection.Port = 0;
    EXPECT_EQ(failureText([&] { connection.Call("GetParams", {}); }),
              "ENetError: Falha de comunicação com o servidor 127.0.0.1:0 ao chamar GetParams: invalid port 0");
    connection.Port = 8211;
    connection.Host = "nome.que.nao.existe.invalid";
    EXPECT_TRUE(contains(failureText([&] { connection.Open(); }),
                         "cannot resolve host 'nome.que.nao.existe.invalid'"));
}

TEST(TNetConnection, ServerErrorsRaiseERemoteErrorAndKeepTheConnection)
{
    TestServer server;
    TNetConnection connection;
    connection.Port = server.port;
    std::vector<CallRecord> records;
    recordCalls(connection, records);

    EXPECT_EQ(failureText([&] { connection.Call("Fail", {}); }), "ERemoteError: Fail: boom: falhou");
    EXPECT_TRUE(connection.Connected());
    EXPECT_EQ(failureText([&] { connection.Call("GetNada", {}); }),
              "ERemoteError: GetNada: unknown method 'GetNada'");
    EXPECT_EQ(connection.Call("Echo", {"depois"}), Variant(VariantArray{"depois"}));

    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].error, "boom: falhou");
    EXPECT_FALSE(records[0].result);
    EXPECT_EQ(records[1].error, "unknown method 'GetNada'");
    EXPECT_EQ(records[2].result, Variant(VariantArray{"depois"}));
    EXPECT_FALSE(records[2].error);
}

TEST(TNetConnection, PacketsArriveIntact)
{
    TestServer server;
    TNetConnection connection;
    connection.Port = server.port;
    const Variant result = connection.Call("Packet", {});
    ASSERT_TRUE(result.isArray());
    EXPECT_EQ(result[0], Variant("key"));
    EXPECT_EQ(result[1].packet(), samplePacket());
}

// The server answers only once OnWait has run: no bound on how fast a loaded machine runs it.
TEST(TNetConnection, OnWaitRunsWhileASlowCallWaits)
{
    TestServer server;
    TNetConnection connection;
    connection.Port = server.port;
    connection.Open();
    int waits = 0;
    connection.OnWait = [&] {
        if (++waits == 3)
            server.gate.open();
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(connection.Call("Slow", {}), Variant("done"));
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waits, 3);
    // Paced, not a busy loop: a loaded machine only makes the calls rarer.
    EXPECT_LE(waits, elapsedMs / 10 + 3) << elapsedMs << " ms";
}

TEST(TNetConnection, ACallFromInsideOnWaitIsRefused)
{
    TestServer server;
    TNetConnection connection;
    connection.Port = server.port;
    std::string inner;
    connection.OnWait = [&] {
        if (inner.empty()) {
            inner = failureText([&] { connection.Call("Echo", {}); });
            server.gate.open();
        }
    };
    EXPECT_EQ(connection.Call("Slow", {}), Variant("done"));
    EXPECT_EQ(inner, "ENetError: Falha de comunicação com o servidor 127.0.0.1:" + std::to_string(server.port)
                         + " ao chamar Echo: another call is already waiting on this connection");
    EXPECT_TRUE(connection.Connected());
}

TEST(TNetConnection, TimeoutClosesTheConnectionAndTheNextCallReconnects)
{
    TestServer server;
    TNetConnection connection;
    connection.Port = server.port;
    connection.TimeoutMs = 200;
    const std::string text = failureText([&] { connection.Call("Slow", {}); });
    EXPECT_EQ(text, "ENetError: Falha de comunicação com o servidor 127.0.0.1:" + std::to_string(server.port)
                        + " ao chamar Slow: timed out after 200 ms");
    EXPECT_FALSE(connection.Connected());
    server.gate.open();
    connection.TimeoutMs = kWaitMs;
    EXPECT_EQ(connection.Call("Echo", {"again"}), Variant(VariantArray{"again"}));
}

TEST(TNetConnection, ConnectionDroppedMidCallRaisesAndDisconnects)
{
    ScriptedPeer peer([](wire::Socket &socket) {
        ScriptedPeer::acceptHello(socket);
        ScriptedPeer::readRequest(socket);
        socket.close(); // gone without an answer
    });
    TNetConnection connection;
    connection.Port = peer.port;
    const std::string text = failureText([&] { connection.Call("GetTrabCusto", {}); });
    EXPECT_TRUE(contains(text, "ENetError: Falha de comunicação com o servidor 127.0.0.1:"
                                   + std::to_string(peer.port) + " ao chamar GetTrabCusto: "))
        << text;
    EXPECT_TRUE(contains(text, "connection closed") || contains(text, "reset")) << text;
    EXPECT_FALSE(connection.Connected());
}

TEST(TNetConnection, ServerStoppedUnderAnOpenConnection)
{
    TestServer server;
    TNetConnection connection;
    connection.Port = server.port;
    connection.Open();
    server.server->stop();
    EXPECT_TRUE(contains(failureText([&] { connection.Call("Echo", {}); }), "ENetError: "));
    EXPECT_FALSE(connection.Connected());
}

TEST(TNetConnection, PeersThatBreakTheProtocol)
{
    struct Case
    {
        const char *name;
        std::function<void(wire::Socket &)> script;
        std::string error;
    };
    const auto within = [] { return wire::WaitSpec::within(kWaitMs); };
    const Case cases[] = {
        {"refuses the handshake",
         [&](wire::Socket &s) {
             s.readFrame(1024, within(), kWaitMs);
             s.sendAll(wire::encodeErrorFrame("too many connections (limit 64)"), within());
             s.shutdownAndDrain(kWaitMs);
         },
         "ao chamar Echo: the server refused the connection: too many connections (limit 64)"},
        {"speaks another version",
         [&](wire::Socket &s) {
             s.readFrame(1024, within(), kWaitMs);
             s.sendAll(wire::encodeHelloAck(9), within());
             s.shutdownAndDrain(kWaitMs);
         },
         "ao chamar Echo: protocol error: the server speaks protocol version 9, this client 1"},
        {"answers another call",
         [&](wire::Socket &s) {
             ScriptedPeer::acceptHello(s);
             const wire::Request request = ScriptedPeer::readRequest(s);
             wire::Response response;
             response.id = request.id + 1;
             s.sendAll(wire::encodeResponse(response), within());
             s.shutdownAndDrain(kWaitMs);
         },
         "ao chamar Echo: protocol error: answer 2 does not match call 1"},
        {"sends garbage",
         [&](wire::Socket &s) {
             ScriptedPeer::acceptHello(s);
             ScriptedPeer::readRequest(s);
             s.sendAll(protocol_test::rawFrame(std::string("\x04\x01\x00\x00\x00\x00\x09", 7)), within());
             s.shutdownAndDrain(kWaitMs);
         },
         "ao chamar Echo: protocol error: unknown variant tag 9"},
        {"announces a frame beyond the limit",
         [&](wire::Socket &s) {
             ScriptedPeer::acceptHello(s);
             ScriptedPeer::readRequest(s);
             s.sendAll(protocol_test::le32(2000), within());
             s.shutdownAndDrain(kWaitMs);
         },
         "ao chamar Echo: protocol error: frame of 2000 bytes exceeds the limit of 1024 bytes"},
        // The server did not run the call: it is tried once more (this peer then never answers).
        {"closes the call with an error frame",
         [&](wire::Socket &s) {
             ScriptedPeer::acceptHello(s);
             ScriptedPeer::readRequest(s);
             s.sendAll(wire::encodeErrorFrame("bad frame: whatever"), within());
             s.shutdownAndDrain(kWaitMs);
         },
         "(antes: 127.0.0.1:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer(c.script);
        TNetConnection connection;
        connection.Port = peer.port;
        connection.MaxFrameBytes = 1024;
        connection.ConnectTimeoutMs = 300;
        const std::string text = failureText([&] { connection.Call("Echo", {}); });
        EXPECT_TRUE(contains(text, "ENetError: Falha de comunicação com o servidor 127.0.0.1:")) << text;
        EXPECT_TRUE(contains(text, c.error)) << text;
        EXPECT_FALSE(connection.Connected());
    }
}

TEST(TNetConnection, ArgumentsThatCannotBeSentLeaveTheConnectionUsable)
{
    TestServer server;
    TNetConnection connection;
    connection.Port = server.port;
    connection.Open();
    const std::string text = failureText([&] { connection.Call("Echo", {"Almo\xE7o"}); });
    EXPECT_TRUE(contains(text, "ao chamar Echo: cannot send the arguments: string value is not valid UTF-8"))
        << text;
    EXPECT_TRUE(connection.Connected());
    EXPECT_EQ(connection.Call("Echo", {"Almoço"}), Variant(VariantArray{"Almoço"}));
}

// A peer that serves `calls` calls on each of `connections` connections, answering each with
// answer(request), and records every request it received.
class CountingPeer
{
public:
    using Script = std::function<void(wire::Socket &, int connection)>;
    explicit CountingPeer(Script script, int connections = 1)
    {
        for (int i = 0; i < connections; ++i)
            m_peers.push_back(std::make_unique<ScriptedPeer>([script, i](wire::Socket &s) { script(s, i); }));
    }
    uint16_t port(int i = 0) const { return m_peers.at(static_cast<size_t>(i))->port; }

private:
    std::vector<std::unique_ptr<ScriptedPeer>> m_peers;
};

TEST(ServerAddresses, ParseHostPortListsAndIpv6)
{
    std::string error;
    const auto list = tk::ParseServerList(" 127.0.0.1:8211, servidor:9000 ,[::1]:8212", error);
    ASSERT_TRUE(list) << error;
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[1], (tk::ServerAddress{"servidor", 9000}));
    EXPECT_EQ((*list)[2].host, "::1");
    EXPECT_EQ((*list)[2].text(), "[::1]:8212");
    EXPECT_TRUE(tk::ParseServerAddress("[::]:0", error, true));
    struct Bad { const char *text; const char *error; };
    for (const Bad &bad : {Bad{"servidor", "is not HOST:PORT"}, Bad{":8211", "has no host"},
                           Bad{"a:0", "invalid port"}, Bad{"a:65536", "invalid port"}, Bad{"a:12x", "invalid port"},
                           Bad{"::1:8211", "in brackets"}, Bad{"[::1]8211", "is not [IPV6]:PORT"},
                           Bad{"a:1,", "is not HOST:PORT"}, Bad{"a:1,a:1", "listed twice"}}) {
        SCOPED_TRACE(bad.text);
        error.clear();
        EXPECT_FALSE(tk::ParseServerList(bad.text, error));
        EXPECT_TRUE(contains(error, bad.error)) << error;
    }
}

TEST(ServerAddresses, LoopbackIsOnlyThisMachine)
{
    for (const char *host : {"127.0.0.1", "127.0.0.2", "127.255.0.9", "::1", "::ffff:127.0.0.1", "localhost"})
        EXPECT_TRUE((tk::ServerAddress{host, 8211}.isLoopback())) << host;
    for (const char *host : {"0.0.0.0", "::", "10.0.0.1", "128.0.0.1", "::2", "::ffff:10.0.0.1", "app1", "localhost2"})
        EXPECT_FALSE((tk::ServerAddress{host, 8211}.isLoopback())) << host;
}

TEST(ServerAddresses, OnlyKnownReadsCountAsRepeatable)
{
    EXPECT_FALSE(tk::IsWritingCall("GetProduto", {"0001"}));
    EXPECT_FALSE(tk::IsWritingCall("GetTrabCusto", {"0001", false}));
    EXPECT_TRUE(tk::IsWritingCall("GetTrabCusto", {"0001", true}));
    EXPECT_TRUE(tk::IsWritingCall("GetTrabCusto", {"0001", int32_t(-1)}));
    EXPECT_TRUE(tk::IsWritingCall("GetTrabCusto", {}));
    EXPECT_TRUE(tk::IsWritingCall("DelConsplan", {"AAAAAAAAAA", "0001"}));
    EXPECT_TRUE(tk::IsWritingCall("Echo", {}));
}

TEST(TNetConnectionFailover, AServerThatCannotBeReachedIsPassedOver)
{
    TestServer second;
    const uint16_t dead = unusedPort();
    TNetConnection connection;
    connection.Port = dead;
    connection.Alternates = {{"127.0.0.1", second.port}};
    std::vector<std::string> connectedTo;
    connection.AfterConnect = [&](TNetConnection &c) { connectedTo.push_back(c.ConnectedTo()); };
    EXPECT_EQ(connection.Call("Echo", {"um"}), Variant(VariantArray{"um"}));
    EXPECT_EQ(connectedTo, std::vector<std::string>{"127.0.0.1:" + std::to_string(second.port)});
    // The server that answered is tried first on the next connection.
    connection.Close();
    connection.Open();
    EXPECT_EQ(connectedTo.size(), 2u);
    EXPECT_EQ(connectedTo.back(), "127.0.0.1:" + std::to_string(second.port));

    // None reachable: one error naming every server and why.
    second.server->stop();
    connection.Close();
    const std::string text = failureText([&] { connection.Call("Echo", {}); });
    EXPECT_TRUE(contains(text, "ENetError: Falha de comunicação com os servidores 127.0.0.1:")) << text;
    EXPECT_TRUE(contains(text, "127.0.0.1:" + std::to_string(dead) + ": connection refused")) << text;
    EXPECT_TRUE(contains(text, "ao chamar Echo")) << text;
}

// A read whose connection breaks after the request was written goes once to the next server; a
// writing call is not sent again and the user sees the failure.
TEST(TNetConnectionFailover, ReadsAreResentOnceWritesNever)
{
    std::atomic<int> received{0};
    const auto dropAfterRequest = [&](wire::Socket &s, int) {
        ScriptedPeer::acceptHello(s);
        ScriptedPeer::readRequest(s);
        ++received;
        s.close();
    };
    {
        CountingPeer breaking(dropAfterRequest);
        TestServer healthy;
        healthy.server->registerMethod("GetEcho", [](const VariantArray &args) { return Variant(args); });
        TNetConnection connection;
        connection.Port = breaking.port();
        connection.Alternates = {{"127.0.0.1", healthy.port}};
        EXPECT_EQ(connection.Call("GetEcho", {"lido"}), Variant(VariantArray{"lido"}));
        EXPECT_EQ(received, 1);
        EXPECT_EQ(connection.ConnectedTo(), "127.0.0.1:" + std::to_string(healthy.port));
    }
    for (const char *method : {"DelConsplan", "GetTrabCusto"}) {
        SCOPED_TRACE(method);
        received = 0;
        CountingPeer breaking(dropAfterRequest);
        TestServer healthy;
        TNetConnection connection;
        connection.Port = breaking.port();
        connection.Alternates = {{"127.0.0.1", healthy.port}};
        const std::string text = failureText([&] { connection.Call(method, {"AAAAAAAAAA", true}); });
        EXPECT_TRUE(contains(text, "ENetError: Falha de comunicação com o servidor 127.0.0.1:"
                                       + std::to_string(breaking.port()) + " ao chamar " + method))
            << text;
        EXPECT_EQ(received, 1);
        EXPECT_TRUE(healthy.log().empty()) << "a writing call reached the second server";
    }
    // Both servers break: the read is sent twice in all, never a third time.
    received = 0;
    CountingPeer both(dropAfterRequest, 2);
    TNetConnection connection;
    connection.Port = both.port(0);
    connection.Alternates = {{"127.0.0.1", both.port(1)}};
    connection.ConnectTimeoutMs = 300;
    const std::string text = failureText([&] { connection.Call("GetParams", {"0001"}); });
    EXPECT_TRUE(contains(text, "(antes: 127.0.0.1:" + std::to_string(both.port(0)))) << text;
    EXPECT_EQ(received, 2);
}

// A connection the server closed while it was idle is replaced before the call is written, so
// even a writing call goes through without the user seeing anything.
TEST(TNetConnectionFailover, AConnectionClosedWhileIdleIsReopenedTransparently)
{
    const protocol_test::TestCertificates certs;
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "tls" : "plain");
        wire::RpcServer::Options options;
        options.idleTimeoutMs = 100;
        if (tls)
            options.tls = wire::TlsContext::server(certs.certFile, certs.keyFile);
        TestServer server(options);
        TNetConnection connection;
        connection.Port = server.port;
        connection.TlsCaFile = tls ? certs.caFile : "";
        int connects = 0;
        connection.AfterConnect = [&](TNetConnection &) { ++connects; };
        EXPECT_EQ(connection.Call("Echo", {"1"}), Variant(VariantArray{"1"}));
        EXPECT_EQ(connection.Call("Echo", {"1b"}), Variant(VariantArray{"1b"}));
        ASSERT_TRUE(protocol_test::eventually([&] { return server.server->connectionCount() == 0; }));
        EXPECT_EQ(connection.Call("Echo", {"2"}), Variant(VariantArray{"2"}));
        EXPECT_EQ(connects, 2);
    }
}

} // namespace
