// The RPC server over real loopback sockets: calls, errors, refused handshakes, broken frames,
// clients that vanish, many clients at once, and stopping with clients connected.

#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/protocol/tls.h"
#include "tests/protocol/protocol_test_support.h"
#include "tests/protocol/tls_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <regex>

namespace {

using protocol_test::eventually;
using protocol_test::kWaitMs;
using protocol_test::le32;
using protocol_test::rawFrame;
using protocol_test::RawClient;
using protocol_test::samplePacket;
using protocol_test::TestServer;
using tk::Variant;
using tk::VariantArray;

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// Every kind but a data packet, which no method takes (see FailedCallsAnswerAnErrorAndKeepTheConnection).
TEST(RpcServer, EchoCarriesEveryKindOfArgument)
{
    TestServer server;
    RawClient client(server.port);
    client.handshake();
    const VariantArray args{Variant(), true, int32_t(-5), 2.75, Variant::fromDateTime(45000.5), "Almoço",
                            Variant::array({"a", Variant::array({})})};
    const wire::Response response = client.call("Echo", args, 77);
    EXPECT_EQ(response.id, 77u);
    ASSERT_TRUE(response.ok) << response.error;
    EXPECT_EQ(response.result, Variant(args));

    const wire::Response packet = client.call("Packet", {}, 78);
    ASSERT_TRUE(packet.ok);
    EXPECT_EQ(packet.result[1].packet(), samplePacket());
}

TEST(RpcServer, FailedCallsAnswerAnErrorAndKeepTheConnection)
{
    wire::RpcServer::Options options;
    options.maxFrameBytes = 4096;
    TestServer server(options);
    RawClient client(server.port);
    client.handshake();

    struct Case
    {
        const char *method;
        VariantArray args;
        std::string error;
    };
    const Case cases[] = {
        {"Fail", {}, "boom: falhou"},
        {"Nope", {int32_t(1)}, "unknown method 'Nope'"},
        {"ThrowInt", {}, "unknown error"},
        {"BadUtf8", {}, "cannot send the result: string value is not valid UTF-8"},
        {"Big", {int32_t(5000)}, "result too large: 5011 bytes exceed the limit of 4096 bytes"},
        {"Echo", {"a", samplePacket()}, "argument 2 is a data packet, which no method takes"},
        {"Echo", {Variant::array({1, samplePacket()}), samplePacket()},
         "an array in argument 1 is a data packet, which no method takes"},
    };
    uint32_t id = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.method);
        const wire::Response response = client.call(c.method, c.args, id);
        EXPECT_EQ(response.id, id);
        EXPECT_FALSE(response.ok);
        EXPECT_TRUE(contains(response.error, c.error)) << response.error;
        EXPECT_TRUE(response.result.isNull());
        const wire::Response after = client.call("Echo", {"still here"}, ++id);
        EXPECT_TRUE(after.ok);
        ++id;
    }
}

TEST(RpcServer, FallbackAnswersUnregisteredMethodsOnly)
{
    TestServer server;
    server.server->setFallback([](const std::string &method, const VariantArray &args) {
        return Variant("replay:" + method + ":" + std::to_string(args.size()));
    });
    RawClient client(server.port);
    client.handshake();
    EXPECT_EQ(client.call("GetParams", {"0001"}).result, Variant("replay:GetParams:1"));
    EXPECT_EQ(client.call("Echo", {"x"}).result, Variant(VariantArray{"x"}));
}

TEST(RpcServer, LogsOneLinePerCallWithDurationAndOutcome)
{
    TestServer server;
    {
        RawClient client(server.port);
        client.handshake();
        client.call("Echo", {});
        client.call("Fail", {});
        client.call("Nope", {});
    }
    const std::vector<std::string> lines = server.log();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(Echo \d+\.\d ms ok)"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(Fail \d+\.\d ms error: boom: falhou)"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(Nope \d+\.\d ms error: unknown method 'Nope')")))
        << lines[2];
}

TEST(RpcServer, RefusedHandshakesGetAnErrorFrameAndAreClosed)
{
    TestServer server;
    struct Case
    {
        const char *name;
        std::string bytes;
        std::string error;
    };
    const Case cases[] = {
        {"newer protocol version", wire::encodeHello(2), "unsupported protocol version 2 (server speaks 1)"},
        {"wrong magic", rawFrame(std::string("\x01HTTP\x01\x00", 7)), "bad magic"},
        {"request before the hello", wire::encodeRequest({1, "Echo", {}}), "unexpected frame kind 3"},
        {"oversized hello", rawFrame(std::string(600, '\x01')), "exceeds the limit of 512 bytes"},
        {"an HTTP request", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", "exceeds the limit"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RawClient client(server.port);
        client.send(c.bytes);
        const std::string error = client.expectErrorAndClose();
        EXPECT_TRUE(contains(error, c.error)) << error;
    }
    // None of it disturbed the server.
    RawClient client(server.port);
    client.handshake();
    EXPECT_TRUE(client.call("Echo", {}).ok);
}

TEST(RpcServer, ASignInIsCheckedInTheHandshakeAndARefusalIsDelayedAndLogged)
{
    wire::RpcServer::Options options;
    options.checkCredentials = [](const wire::Credentials &c) { return c.user == "ana" && c.password == "certa"; };
    // Long enough that a refusal blocking the server would stall the next client; the stop ends it.
    options.signInDelayMs = 60000;
    TestServer server(options);
    server.server->registerMethod("WhoAmI", [](const VariantArray &) { return Variant(wire::RpcServer::callUser()); });

    RawClient wrong(server.port);
    wrong.send(wire::encodeHello(1, "s1", {"ana", "errada"}));
    ASSERT_TRUE(eventually([&] { return server.logContains("user 'ana' refused: wrong user or password"); }));
    for (const std::string &line : server.log())
        EXPECT_FALSE(contains(line, "errada")) << line;

    // Another connection signs in meanwhile and its calls know their operator.
    RawClient right(server.port);
    right.send(wire::encodeHello(1, "s2", {"ana", "certa"}));
    auto ack = right.read();
    ASSERT_TRUE(ack.has_value());
    ASSERT_EQ(wire::frameKind(*ack), wire::FrameKind::HelloAck);
    EXPECT_EQ(right.call("WhoAmI", {}).result.asString(), "ana");
    EXPECT_TRUE(server.logContains("user 'ana' signed in"));
}

TEST(RpcServer, WithoutAValidSignInTheConnectionIsRefused)
{
    wire::RpcServer::Options options;
    options.checkCredentials = [](const wire::Credentials &c) { return c.user == "ana" && c.password == "certa"; };
    options.signInDelayMs = 1;
    TestServer server(options);
    const std::pair<std::string, std::string> cases[] = {
        {wire::encodeHello(1, "s1", {"ana", "errada"}), "Usuário ou senha inválidos"},
        {wire::encodeHello(1, "s1", {"bruno", "certa"}), "Usuário ou senha inválidos"},
        {wire::encodeHello(1, "s1"), "Este servidor exige usuário e senha"},
        {wire::encodeHello(), "Este servidor exige usuário e senha"},
    };
    for (const auto &[hello, text] : cases) {
        RawClient client(server.port);
        client.send(hello);
        EXPECT_EQ(client.expectErrorAndClose(), text);
    }
    EXPECT_TRUE(server.logContains("user 'bruno' refused"));
    EXPECT_TRUE(server.logContains("no user given"));
    // Through the client: its user and password travel in every hello.
    tk::TNetConnection connection;
    connection.Port = server.port;
    connection.User = "ana";
    connection.Password = "errada";
    try {
        connection.Call("Echo", {});
        ADD_FAILURE() << "a wrong password was accepted";
    } catch (const tk::ENetError &e) {
        EXPECT_TRUE(contains(e.what(), "Usuário ou senha inválidos")) << e.what();
    }
    connection.Password = "certa";
    EXPECT_TRUE(connection.Call("Echo", {"um"}).isArray());
}

TEST(RpcServer, WithoutACheckASignInIsIgnoredAndCallsHaveNoUser)
{
    TestServer server;
    server.server->registerMethod("WhoAmI", [](const VariantArray &) { return Variant(wire::RpcServer::callUser()); });
    RawClient client(server.port);
    client.send(wire::encodeHello(1, "s1", {"ana", "qualquer"}));
    ASSERT_TRUE(client.read().has_value());
    EXPECT_EQ(client.call("WhoAmI", {}).result.asString(), "");
}

// Over TLS: the sign-in and the calls travel encrypted; a client trusts only a certificate of its
// authority that names the host it connected to, and a plain client is told the server wants TLS.
TEST(RpcServer, TlsCarriesTheSignInAndRefusesWhatTheClientCannotTrust)
{
    const protocol_test::TestCertificates certs;
    const auto serverWith = [&](const std::string &cert, const std::string &key) {
        wire::RpcServer::Options options;
        options.tls = wire::TlsContext::server(cert, key);
        options.checkCredentials = [](const wire::Credentials &c) { return c.user == "ana" && c.password == "certa"; };
        options.signInDelayMs = 1;
        options.handshakeTimeoutMs = 300;
        return std::make_unique<TestServer>(options);
    };
    const auto good = serverWith(certs.certFile, certs.keyFile);
    tk::TNetConnection client;
    client.Port = good->port;
    client.TlsCaFile = certs.caFile;
    client.User = "ana";
    client.Password = "certa";
    EXPECT_EQ(client.Call("Echo", {"um"}), Variant(VariantArray{"um"}));
    // A 3 MB answer crosses many TLS records and partial writes; the connection stays the same.
    EXPECT_EQ(client.Call("Big", {3000000}).asString().size(), 3000000u);
    EXPECT_EQ(client.Call("Echo", {"dois"}), Variant(VariantArray{"dois"}));
    client.Close();
    client.Host = "localhost"; // checked against the certificate's DNS name this time
    EXPECT_EQ(client.Call("Echo", {"três"}), Variant(VariantArray{"três"}));
    const std::vector<std::string> log = good->log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string &l) { return contains(l, "user 'ana' signed in"); }),
              2);

    const auto plain = std::make_unique<TestServer>();
    const auto selfSigned = serverWith(certs.selfSignedCert, certs.selfSignedKey);
    const auto otherHost = serverWith(certs.otherHostCert, certs.otherHostKey);
    struct Case { const char *what; uint16_t port; std::string ca, password; const char *error; };
    const Case cases[] = {
        {"wrong password", good->port, certs.caFile, "errada", "Usuário ou senha inválidos"},
        {"plain client", good->port, "", "certa", "this server takes TLS connections only"},
        {"self-signed", selfSigned->port, certs.caFile, "certa", "certificate verify failed: self-signed certificate"},
        {"another host's", otherHost->port, certs.caFile, "certa", "certificate verify failed: IP address mismatch"},
        {"the server's own as the authority", selfSigned->port, certs.certFile, "certa", "certificate verify failed"},
        {"a server without TLS", plain->port, certs.caFile, "certa", "tls: "},
        {"an authority file that is not there", good->port, certs.dir + "/none.pem", "certa",
         "cannot read the TLS certificate authorities"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        tk::TNetConnection refused;
        refused.Port = c.port;
        refused.TlsCaFile = c.ca;
        refused.User = "ana";
        refused.Password = c.password;
        try {
            refused.Call("Echo", {});
            ADD_FAILURE() << "accepted";
        } catch (const tk::ENetError &e) {
            EXPECT_TRUE(contains(e.what(), c.error)) << e.what();
            EXPECT_FALSE(contains(e.what(), c.password)) << e.what();
        }
    }
    EXPECT_TRUE(eventually([&] { return selfSigned->logContains("tls: "); }));
    // A password is never sent in the clear to another machine: refused before any connection.
    tk::TNetConnection remote;
    remote.Host = "192.0.2.1";
    remote.User = "ana";
    remote.Password = "certa";
    EXPECT_THROW(
        {
            try {
                remote.Call("Echo", {});
            } catch (const tk::ENetError &e) {
                EXPECT_TRUE(contains(e.what(), "only over TLS")) << e.what();
                throw;
            }
        },
        tk::ENetError);
    // A client that connects and says nothing is closed after the handshake timeout.
    RawClient silent(good->port);
    EXPECT_TRUE(contains(silent.expectErrorAndClose(), "no hello: timed out after 300 ms"));
}

TEST(RpcServer, BadFramesCloseOnlyTheirOwnConnection)
{
    wire::RpcServer::Options options;
    options.maxFrameBytes = 1024;
    TestServer server(options);
    RawClient bystander(server.port);
    bystander.handshake();

    struct Case
    {
        const char *name;
        std::string bytes;
        std::string error;
    };
    const std::string head = "\x03" + le32(1) + le32(4) + "Echo";
    const Case cases[] = {
        {"oversized length", le32(4096) + std::string(64, 'x'),
         "frame of 4096 bytes exceeds the limit of 1024 bytes"},
        {"huge length", le32(0xFFFFFFFFu), "exceeds the limit"},
        {"zero length", le32(0), "empty frame"},
        {"unknown variant tag", rawFrame(head + le32(1) + "\x0B"), "unknown variant tag 11"},
        {"huge argument count", rawFrame(head + le32(0x40000000u)), "announces"},
        {"invalid UTF-8 method", rawFrame("\x03" + le32(1) + le32(2) + "\xC3\x28" + le32(0)), "not valid UTF-8"},
        {"unknown frame kind", rawFrame("\x09"), "unexpected frame kind 9"},
        {"a second hello", wire::encodeHello(), "unexpected frame kind 1"},
    };
    uint32_t id = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RawClient client(server.port);
        client.handshake();
        client.send(c.bytes);
        const std::string error = client.expectErrorAndClose();
        EXPECT_TRUE(contains(error, c.error)) << error;
        const wire::Response response = bystander.call("Echo", {c.name}, ++id);
        EXPECT_EQ(response.result, Variant(VariantArray{c.name}));
    }
    EXPECT_TRUE(server.logContains("bad frame: frame of 4096 bytes exceeds the limit of 1024 bytes"));
}

TEST(RpcServer, TruncatedFrameFromADepartingClientDoesNotHarmOthers)
{
    TestServer server;
    {
        RawClient client(server.port);
        client.handshake();
        client.send(le32(100) + std::string(10, '\x03'));
    } // closed mid-frame
    {
        RawClient client(server.port);
        client.handshake();
        client.send(std::string("\x20\x00", 2)); // half a length
    }
    EXPECT_TRUE(eventually([&] { return server.server->connectionCount() == 0; }));
    RawClient client(server.port);
    client.handshake();
    EXPECT_TRUE(client.call("Echo", {}).ok);
}

TEST(RpcServer, ReadTimeoutClosesAConnectionStalledInsideAFrame)
{
    wire::RpcServer::Options options;
    options.readTimeoutMs = 150;
    options.handshakeTimeoutMs = 150;
    TestServer server(options);

    RawClient stalled(server.port);
    stalled.handshake();
    stalled.send(le32(50) + "\x03\x01");
    const std::string error = stalled.expectErrorAndClose();
    EXPECT_TRUE(contains(error, "timed out after 150 ms")) << error;

    // A client that never says hello is dropped too.
    RawClient silent(server.port);
    EXPECT_TRUE(contains(silent.expectErrorAndClose(), "no hello"));

    // Idle between frames is not a stalled frame: the connection outlives the read timeout.
    RawClient idle(server.port);
    idle.handshake();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(idle.call("Echo", {}).ok);
}

TEST(RpcServer, IdleTimeoutClosesAnIdleConnectionWhenConfigured)
{
    wire::RpcServer::Options options;
    options.idleTimeoutMs = 100;
    TestServer server(options);
    RawClient idle(server.port);
    idle.handshake();
    EXPECT_TRUE(idle.call("Echo", {}).ok);
    EXPECT_TRUE(contains(idle.expectErrorAndClose(), "timed out after 100 ms"));
}

TEST(RpcServer, ClientThatDisconnectsMidCallDoesNotDisturbOthers)
{
    TestServer server;
    {
        RawClient leaving(server.port);
        leaving.handshake();
        leaving.send(wire::encodeRequest({1, "Slow", {}}));
        ASSERT_TRUE(server.gate.waitEntered(1));
    } // gone while its handler runs

    RawClient other(server.port);
    other.handshake();
    EXPECT_EQ(other.call("Echo", {"ok"}).result, Variant(VariantArray{"ok"}));

    server.gate.open();
    EXPECT_TRUE(eventually([&] { return server.logContains("Slow"); }));
    EXPECT_TRUE(eventually([&] { return server.server->connectionCount() == 1; }));
    EXPECT_TRUE(other.call("Echo", {}).ok);
}

TEST(RpcServer, SeveralClientsAtOnceEachGetTheirOwnAnswers)
{
    TestServer server;
    constexpr int kClients = 8;
    constexpr int kCalls = 40;
    std::atomic<int> wrong{0};
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, c] {
            try {
                RawClient client(server.port);
                client.handshake();
                for (int i = 0; i < kCalls; ++i) {
                    const VariantArray args{int32_t(c), int32_t(i), "cliente " + std::to_string(c)};
                    const wire::Response response = client.call("Echo", args, static_cast<uint32_t>(i + 1));
                    if (response.id != static_cast<uint32_t>(i + 1) || response.result != Variant(args))
                        ++wrong;
                    else
                        ++done;
                }
            } catch (const std::exception &) {
                ++wrong;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(done, kClients * kCalls);

    // Handlers of different connections run at the same time.
    std::vector<std::unique_ptr<RawClient>> slow;
    for (int c = 0; c < 4; ++c) {
        slow.push_back(std::make_unique<RawClient>(server.port));
        slow.back()->handshake();
        slow.back()->send(wire::encodeRequest({1, "Slow", {}}));
    }
    EXPECT_TRUE(server.gate.waitEntered(4));
    server.gate.open();
    for (auto &client : slow) {
        auto payload = client->read();
        ASSERT_TRUE(payload);
        EXPECT_EQ(wire::decodeResponse(*payload).result, Variant("done"));
    }
}

// At the limit a new connection takes the place of the one idle longest; it is refused only when
// every connection is in a call.
TEST(RpcServer, ANewConnectionBeyondTheLimitReplacesTheLongestIdle)
{
    wire::RpcServer::Options options;
    options.maxConnections = 2;
    TestServer server(options);
    RawClient first(server.port);
    first.handshake();
    RawClient second(server.port);
    second.handshake();
    EXPECT_TRUE(second.call("Echo", {}).ok); // first is now the one idle longest

    RawClient third(server.port);
    third.handshake();
    EXPECT_TRUE(third.call("Echo", {}).ok);
    EXPECT_EQ(first.expectErrorAndClose(), "closed to make room for a new connection (limit 2)");
    EXPECT_TRUE(second.call("Echo", {}).ok);

    // Both in a call: nobody can be evicted, and the newcomer is told why.
    second.send(wire::encodeRequest({7, "Slow", {}}));
    third.send(wire::encodeRequest({7, "Slow", {}}));
    ASSERT_TRUE(server.gate.waitEntered(2));
    RawClient fourth(server.port);
    fourth.send(wire::encodeHello());
    EXPECT_EQ(fourth.expectErrorAndClose(), "too many connections (limit 2)");
    server.gate.open();
    ASSERT_TRUE(second.read());
    ASSERT_TRUE(third.read());
}

// 64 idle connections and as many that never said hello: a normal client still gets straight in,
// and every idle client's next call reconnects without an error.
TEST(RpcServer, IdleAndHalfOpenConnectionsNeverLockANewClientOut)
{
    wire::RpcServer::Options options;
    options.handshakeTimeoutMs = 60000;
    options.idleTimeoutMs = 60000; // only the limit is at work here
    TestServer server(options);
    std::vector<std::unique_ptr<tk::TNetConnection>> idle;
    for (int i = 0; i < options.maxConnections; ++i) {
        idle.push_back(std::make_unique<tk::TNetConnection>());
        idle.back()->Port = server.port;
        idle.back()->Open();
    }
    std::vector<std::unique_ptr<RawClient>> silent;
    for (int i = 0; i < options.maxConnections; ++i)
        silent.push_back(std::make_unique<RawClient>(server.port));
    EXPECT_LE(server.server->connectionCount(), options.maxConnections);

    tk::TNetConnection newcomer;
    newcomer.Port = server.port;
    EXPECT_EQ(newcomer.Call("Echo", {"entrou"}), Variant(VariantArray{"entrou"}));
    for (auto &client : idle)
        EXPECT_EQ(client->Call("Echo", {"de volta"}), Variant(VariantArray{"de volta"}));
    EXPECT_TRUE(server.logContains("closed to make room"));
}

// A short idle timeout frees the slots by itself, and the handshake timeout drops a silent client.
TEST(RpcServer, IdleAndHandshakeTimeoutsCloseWaitingConnections)
{
    wire::RpcServer::Options options;
    options.handshakeTimeoutMs = 100;
    options.idleTimeoutMs = 150;
    TestServer server(options);
    RawClient silent(server.port);
    RawClient idle(server.port);
    idle.handshake();
    EXPECT_TRUE(contains(silent.expectErrorAndClose(), "no hello: timed out after 100 ms"));
    EXPECT_TRUE(contains(idle.expectErrorAndClose(), "timed out after 150 ms"));
    EXPECT_TRUE(eventually([&] { return server.server->connectionCount() == 0; }));
}

// IPv6: the loopback and the any-address, reached by a client that names the host as [::1].
TEST(RpcServer, ListensOnIpv6Addresses)
{
    for (const char *host : {"::1", "::"}) {
        SCOPED_TRACE(host);
        wire::RpcServer::Options options;
        options.host = host;
        wire::RpcServer server(options);
        server.registerMethod("Echo", [](const VariantArray &args) { return Variant(args); });
        uint16_t port = 0;
        try {
            port = server.start();
        } catch (const tk::Exception &e) {
            GTEST_SKIP() << "no IPv6 here: " << e.what();
        }
        std::string error;
        const auto address = tk::ParseServerAddress("[::1]:" + std::to_string(port), error);
        ASSERT_TRUE(address) << error;
        tk::TNetConnection client;
        client.Host = address->host;
        client.Port = address->port;
        EXPECT_EQ(client.Call("Echo", {"v6"}), Variant(VariantArray{"v6"}));
        EXPECT_EQ(client.ConnectedTo(), "[::1]:" + std::to_string(port));
    }
}

TEST(RpcServer, StopDoesNotHangWithClientsConnected)
{
    TestServer server;
    RawClient idle(server.port);
    idle.handshake();
    RawClient midFrame(server.port);
    midFrame.handshake();
    midFrame.send(le32(1000) + "\x03");
    RawClient noHello(server.port);
    RawClient inCall(server.port);
    inCall.handshake();
    inCall.send(wire::encodeRequest({1, "Slow", {}}));
    ASSERT_TRUE(server.gate.waitEntered(1));
    ASSERT_TRUE(eventually([&] { return server.server->connectionCount() == 4; }));

    auto stopped = std::async(std::launch::async, [&] { server.server->stop(); });
    // Stop waits only for the running handler, not for any client.
    server.gate.open();
    ASSERT_EQ(stopped.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
    EXPECT_TRUE(idle.closedByServer());
    EXPECT_TRUE(midFrame.closedByServer());
    EXPECT_TRUE(noHello.closedByServer());
    EXPECT_TRUE(inCall.closedByServer());
    EXPECT_EQ(server.server->connectionCount(), 0);

    server.server->stop(); // idempotent
    EXPECT_THROW(RawClient{server.port}, wire::TransportError);
    EXPECT_THROW(server.server->start(), tk::Exception);
}

TEST(RpcServer, WaitReturnsAfterStopOrAStopRequest)
{
    {
        TestServer server;
        auto waiting = std::async(std::launch::async, [&] { server.server->wait(); });
        EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        server.server->stop();
        EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
    }
    {
        // The signal-handler path: requestStop only wakes; wait() finishes the stop.
        TestServer server;
        RawClient client(server.port);
        client.handshake();
        auto waiting = std::async(std::launch::async, [&] { server.server->wait(); });
        server.server->requestStop();
        ASSERT_EQ(waiting.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
        EXPECT_TRUE(client.closedByServer());
        EXPECT_THROW(RawClient{server.port}, wire::TransportError);
    }
}

TEST(RpcServer, StopCalledFromAHandlerDoesNotDeadlock)
{
    TestServer server;
    wire::RpcServer *raw = server.server.get();
    raw->registerMethod("Shutdown", [raw](const VariantArray &) {
        raw->stop();
        return Variant("bye");
    });
    RawClient client(server.port);
    client.handshake();
    client.send(wire::encodeRequest({1, "Shutdown", {}}));
    auto waiting = std::async(std::launch::async, [&] { raw->wait(); });
    ASSERT_EQ(waiting.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
    EXPECT_TRUE(client.closedByServer());
}

TEST(RpcServer, StartReportsAnAddressInUse)
{
    TestServer first;
    wire::RpcServer::Options options;
    options.port = first.port;
    wire::RpcServer second(options);
    try {
        second.start();
        FAIL() << "second server bound a port in use";
    } catch (const tk::Exception &e) {
        EXPECT_TRUE(contains(e.what(), "cannot listen on 127.0.0.1:" + std::to_string(first.port))) << e.what();
    }
    EXPECT_EQ(first.port, first.server->port());
}

} // namespace
