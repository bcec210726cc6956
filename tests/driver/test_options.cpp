// The driver's command line.

#include "tools/driver/options.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <filesystem>
#include <unistd.h>

namespace {

using driver::DriverOptions;

struct OptionsCase
{
    const char *name;
    std::vector<std::string> args;
    bool ok;
    const char *error; // part of the error text
};

TEST(DriverOptions, AcceptsAndRefuses)
{
    const OptionsCase cases[] = {
        {"database only", {"--db", "suite.db"}, true, ""},
        {"everything",
         {"--db", "s.db", "--server", "localhost:8211", "--record", "r.json", "--module-ativo", "24",
          "--operator", "maria", "--locale", "en_US"},
         true,
         ""},
        {"replay", {"--db", "s.db", "--replay", "calls.json"}, true, ""},
        {"help needs nothing else", {"--help"}, true, ""},
        {"no database", {"--server", "h:1"}, false, "--db FILE is required"},
        {"server and replay",
         {"--db", "s.db", "--server", "h:1", "--replay", "r.json"},
         false,
         "exclude each other"},
        {"missing value", {"--db"}, false, "--db needs a value"},
        {"empty value", {"--db", ""}, false, "--db needs a value"},
        {"unknown option", {"--db", "s.db", "--verbose"}, false, "unknown option --verbose"},
        {"positional", {"s.db"}, false, "unknown option s.db"},
        {"server without port", {"--db", "s.db", "--server", "localhost"}, false, "HOST:PORT"},
        {"server port zero", {"--db", "s.db", "--server", "h:0"}, false, "HOST:PORT"},
        {"server port too big", {"--db", "s.db", "--server", "h:65536"}, false, "HOST:PORT"},
        {"server port not a number", {"--db", "s.db", "--server", "h:80a"}, false, "HOST:PORT"},
        {"module not a number",
         {"--db", "s.db", "--module-ativo", "x24"},
         false,
         "--module-ativo takes a number"},
        {"module out of range", {"--db", "s.db", "--module-ativo", "-81"}, false, "from 0 to 9999"},
        {"module too big", {"--db", "s.db", "--module-ativo", "10000"}, false, "from 0 to 9999"},
        {"server list", {"--db", "s.db", "--server", "h:1,[::1]:2"}, true, ""},
        {"server list with a bad entry", {"--db", "s.db", "--server", "h:1,h2"}, false, "'h2' is not HOST:PORT"},
        {"server list with a repeat", {"--db", "s.db", "--server", "h:1,h:1"}, false, "listed twice"},
        {"empty locale", {"--db", "s.db", "--locale", ""}, false, "--locale"},
        {"sign-in", {"--db", "s.db", "--server", "h:1", "--user", "ana", "--tls-ca", "/dev/null"}, true, ""},
        {"sign-in without a server", {"--db", "s.db", "--user", "ana"}, false, "for a running server (--server)"},
        {"authorities not there", {"--db", "s.db", "--server", "h:1", "--tls-ca", "/nao/ca.pem"}, false,
         "--tls-ca: no file /nao/ca.pem"},
    };
    // The password of --user comes from the environment only; the authorities file must exist.
    ::setenv("CUSTOS_SENHA", "segredo", 1);
    for (const OptionsCase &c : cases) {
        DriverOptions o;
        std::string error;
        EXPECT_EQ(driver::parseDriverOptions(c.args, o, error), c.ok) << c.name << ": " << error;
        if (!c.ok) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
        }
    }
    DriverOptions signIn;
    std::string error;
    ASSERT_TRUE(driver::parseDriverOptions({"--db", "s.db", "--server", "h:1", "--user", "ana"}, signIn, error));
    EXPECT_EQ(signIn.serverUser, "ana");
    EXPECT_EQ(signIn.serverPassword, "segredo");
    ::unsetenv("CUSTOS_SENHA");
    EXPECT_FALSE(driver::parseDriverOptions({"--db", "s.db", "--server", "h:1", "--user", "ana"}, signIn, error));
    EXPECT_NE(error.find("environment variable CUSTOS_SENHA"), std::string::npos) << error;
}

TEST(DriverOptions, ValuesLandInTheirFields)
{
    DriverOptions o;
    std::string error;
    ASSERT_TRUE(driver::parseDriverOptions({"--db", "s.db", "--server", "10.0.0.5:9000", "--record", "r.json",
                                            "--module-ativo", "81", "--operator", "", "--locale", "en_US"},
                                           o, error))
        << error;
    EXPECT_EQ(o.dbPath, "s.db");
    EXPECT_TRUE(o.externalServer());
    EXPECT_EQ(o.serverHost, "10.0.0.5");
    EXPECT_EQ(o.serverPort, 9000);
    EXPECT_FALSE(o.replay());
    EXPECT_EQ(o.recordPath, "r.json");
    EXPECT_EQ(o.moduloAtiv, 81);
    EXPECT_EQ(o.operatorName, ""); // an empty operator name is a valid setting
    EXPECT_EQ(o.locale, "en_US");

    DriverOptions defaults;
    ASSERT_TRUE(driver::parseDriverOptions({"--db", "s.db"}, defaults, error));
    EXPECT_FALSE(defaults.externalServer());
    EXPECT_FALSE(defaults.replay());
    EXPECT_EQ(defaults.moduloAtiv, 0);
    EXPECT_EQ(defaults.locale, "pt_BR");
}

TEST(DriverOptions, ServerListGivesTheFirstAndTheAlternates)
{
    DriverOptions o;
    std::string error;
    ASSERT_TRUE(driver::parseDriverOptions({"--db", "s.db", "--server", "a:1, [::1]:2,c:3"}, o, error)) << error;
    EXPECT_EQ(o.serverHost, "a");
    EXPECT_EQ(o.serverPort, 1);
    ASSERT_EQ(o.alternateServers.size(), 2u);
    EXPECT_EQ(o.alternateServers[0].text(), "[::1]:2");
    EXPECT_EQ(o.alternateServers[1].text(), "c:3");
}

TEST(DriverOptions, RecordPathIsCheckedBeforeAnythingRuns)
{
    std::string error;
    const std::string folder = testing::TempDir() + "driver_record_" + std::to_string(::getpid());
    EXPECT_FALSE(driver::checkRecordPath(folder + "/missing/r.json", error));
    EXPECT_NE(error.find("cannot write the recording to " + folder + "/missing/r.json"), std::string::npos) << error;
    const std::string fine = folder + "_r.json";
    EXPECT_TRUE(driver::checkRecordPath(fine, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(fine)); // only probed: written when the driver ends
}

TEST(DriverOptions, HostPort)
{
    std::string host;
    int port = 0;
    EXPECT_TRUE(driver::parseHostPort("127.0.0.1:8211", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8211);
    EXPECT_TRUE(driver::parseHostPort("[::1]:5", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 5);
    EXPECT_FALSE(driver::parseHostPort("::1:5", host, port)); // an IPv6 address needs its brackets
    EXPECT_FALSE(driver::parseHostPort(":8211", host, port));
    EXPECT_FALSE(driver::parseHostPort("host:", host, port));
    EXPECT_FALSE(driver::parseHostPort("host:-1", host, port));
}

} // namespace
