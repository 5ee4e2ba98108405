// vornak-slave --tls on a PKI made for the run: pymodbus's TLS client and vornak's own tls://
// line read and write through it, each certificate's role deciding what it may do; clients
// without a good certificate, older TLS, garbage and stalled handshakes are refused without
// holding up anyone else; files that cannot serve end the run with the reason.

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "NetClient.h"
#include "SlaveProcess.h"
#include "lines/LinePort.h"
#include "tests/support/TestPki.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kRoles = R"([roles]
default = "viewer"
[roles.viewer]
functions = [3]
[roles.operator]
functions = [1, 2, 3, 4]
[roles.engineer]
functions = [1, 2, 3, 4, 5, 6, 15, 16, 22, 23]
addresses = ["0-999"]
exception = 4
)";

class SlaveTlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_pki = new CTestPki; }
    static void TearDownTestSuite() {
        delete s_pki;
        s_pki = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_pki->Ok()) << s_pki->Error(); }

    // The device's files on the command line, beside the arguments given.
    static std::vector<std::string> TlsArgs(std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--tls",  "0",
                                         "--cert", s_pki->Cert("device"),
                                         "--key",  s_pki->Key("device"),
                                         "--ca",   s_pki->Cert("ca")};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    // A simulator file in the PKI's folder naming its files relative to it, with the roles.
    static std::string Config(const std::string& name, const std::string& roles) {
        const std::string path = s_pki->File(name);
        std::ofstream(path) << "[network]\ntls = 0\ncert = \"device.pem\"\nkey = \"device.key\"\n"
                               "ca = \"ca.pem\"\n"
                            << roles << "\n[[unit]]\nid = 1\n";
        return path;
    }
    // Starts the slave; its port, or empty.
    static std::string Start(CSlaveProcess& slave, const std::vector<std::string>& args) {
        if (!slave.Start(args)) {
            return {};
        }
        const std::string& path = slave.Path();
        return path.substr(path.rfind(':') + 1);
    }
    // pymodbus's client with the named certificate ("-" for none), one line per action.
    static SlaveRun Pymodbus(const std::string& port, const std::string& client,
                             const std::vector<std::string>& actions, bool only12 = false) {
        std::vector<std::string> args = {VORNAK_PYMODBUS_TLS_CLIENT};
        if (only12) {
            args.push_back("--tls1.2");
        }
        const bool none = client == "-";
        args.insert(args.end(), {port, s_pki->Cert("ca"), none ? "-" : s_pki->Cert(client),
                                 none ? "-" : s_pki->Key(client)});
        args.insert(args.end(), actions.begin(), actions.end());
        return RunProgramToEnd(VORNAK_PYTHON, args, 30s);
    }
    static bool NoPymodbus(const SlaveRun& run) { return run.out.rfind("no pymodbus", 0) == 0; }

    static std::function<bool(const std::string&)> Is(const std::string& wanted) {
        return [wanted](const std::string& line) { return line == wanted; };
    }
    static std::function<bool(const std::string&)> Noted(const std::string& note) {
        return [note](const std::string& line) {
            const auto parsed = ParseSlaveLogLine(line);
            return parsed && parsed->direction == "rx" && parsed->bytes.empty() &&
                   parsed->note == note;
        };
    }

    static CTestPki* s_pki;
};
CTestPki* SlaveTlsTest::s_pki = nullptr;

#define SKIP_WITHOUT_PYMODBUS(run) \
    if (NoPymodbus(run)) {         \
        GTEST_SKIP() << (run).out; \
    }

TEST_F(SlaveTlsTest, PymodbusReadsAndWritesWithEveryRightWithoutARolesTable) {
    CSlaveProcess slave;
    const std::string port = Start(slave, TlsArgs());
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    EXPECT_EQ(slave.FirstLine(), "vornak-slave: listening on 127.0.0.1:" + port + " (TLS, id 1)");
    for (const bool only12 : {false, true}) {
        SCOPED_TRACE(only12 ? "TLS 1.2" : "TLS 1.3");
        const int at = only12 ? 100 : 10;
        const std::string a = std::to_string(at);
        const SlaveRun run =
            Pymodbus(port, "plain",
                     {"write:" + a + ":4660", "writes:" + std::to_string(at + 1) + ":1,2,65535",
                      "read:" + a + ":4"},
                     only12);
        SKIP_WITHOUT_PYMODBUS(run);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "write " + a + ": ok\nwrites " + std::to_string(at + 1) + ": ok\nread " +
                               a + ": 4660 1 2 65535\n");
        EXPECT_TRUE(slave.WaitForLines(
            Noted(std::string(only12 ? "TLSv1.2" : "TLSv1.3") + " CN=plain,O=Vornak Test, no role"),
            1, 5s));
    }
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, AnOperatorReadsAndIsRefusedAWriteWithALogLine) {
    CSlaveProcess slave;
    const std::string port = Start(slave, {"--config", Config("operator.toml", kRoles)});
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    const SlaveRun run =
        Pymodbus(port, "operator", {"read:0:2", "write:10:7", "writes:20:1,2", "read:10:1"});
    SKIP_WITHOUT_PYMODBUS(run);
    EXPECT_EQ(run.out, "read 0: 0 0\nwrite 10: exception 1\nwrites 20: exception 1\nread 10: 0\n");
    EXPECT_TRUE(slave.WaitForLines(
        Is("vornak-slave: refused: CN=operator,O=Vornak Test role operator function 6 address 10 "
           "(exception 1)"),
        1, 5s));
    EXPECT_TRUE(slave.WaitForLines(
        Is("vornak-slave: refused: CN=operator,O=Vornak Test role operator function 16 "
           "addresses 20-21 (exception 1)"),
        1, 5s));
    // The refused request is in the log with its note, its exception answer after it.
    const std::vector<std::string> lines = slave.Lines();
    const auto refused = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        const auto parsed = ParseSlaveLogLine(line);
        return parsed && parsed->note == "refused" && parsed->bytes.size() == 12;
    });
    ASSERT_NE(refused, lines.end());
    const auto answer = std::find_if(refused, lines.end(), IsFrame("tx"));
    ASSERT_NE(answer, lines.end());
    EXPECT_EQ(ParseSlaveLogLine(*answer)->bytes,
              (Bytes{0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x01, 0x86, 0x01}));
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, AnEngineerWritesWithinItsAddressesOnly) {
    CSlaveProcess slave;
    const std::string port = Start(slave, {"--config", Config("engineer.toml", kRoles)});
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    const SlaveRun run = Pymodbus(
        port, "engineer", {"write:10:7", "writes:997:1,2,3", "writes:998:4,5,6", "read:997:3"});
    SKIP_WITHOUT_PYMODBUS(run);
    EXPECT_EQ(run.out, "write 10: ok\nwrites 997: ok\nwrites 998: exception 4\nread 997: 1 2 3\n");
    EXPECT_TRUE(slave.WaitForLines(
        Is("vornak-slave: refused: CN=engineer,O=Vornak Test role engineer function 16 "
           "addresses 998-1000 (exception 4)"),
        1, 5s));
    // What the engineer wrote, an operator reads.
    const SlaveRun check = Pymodbus(port, "operator", {"read:10:1"});
    EXPECT_EQ(check.out, "read 10: 7\n");
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, ACertificateWithoutARoleGetsTheDefaultOrNothing) {
    {
        CSlaveProcess slave;
        const std::string port = Start(slave, {"--config", Config("default.toml", kRoles)});
        ASSERT_FALSE(port.empty()) << slave.FirstLine();
        const SlaveRun run = Pymodbus(port, "plain", {"read:0:1", "write:0:1"});
        SKIP_WITHOUT_PYMODBUS(run);
        EXPECT_EQ(run.out, "read 0: 0\nwrite 0: exception 1\n");
        EXPECT_TRUE(slave.WaitForLines(
            Is("vornak-slave: refused: CN=plain,O=Vornak Test role viewer by default function 6 "
               "address 0 (exception 1)"),
            1, 5s));
        EXPECT_EQ(slave.Stop(SIGTERM), 0);
    }
    std::string roles = kRoles;
    roles.erase(roles.find("default = "), std::string("default = \"viewer\"\n").size());
    CSlaveProcess slave;
    const std::string port = Start(slave, {"--config", Config("nodefault.toml", roles)});
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    const SlaveRun run = Pymodbus(port, "plain", {"read:0:1"});
    EXPECT_EQ(run.out, "read 0: exception 1\n");
    EXPECT_TRUE(slave.WaitForLines(
        Is("vornak-slave: refused: CN=plain,O=Vornak Test no role function 3 address 0 "
           "(exception 1)"),
        1, 5s));
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, ClientsWithoutAGoodCertificateAreRefusedInTheHandshake) {
    CSlaveProcess slave;
    const std::string port = Start(slave, TlsArgs());
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    const std::pair<const char*, const char*> cases[] = {
        {"-", "TLS refused: the client showed no certificate"},
        {"stranger", "TLS refused: unknown CA: the client's certificate is not signed by the CA"},
    };
    for (const auto& [client, note] : cases) {
        for (const bool only12 : {false, true}) {
            SCOPED_TRACE(std::string(client) + (only12 ? " TLS 1.2" : " TLS 1.3"));
            const SlaveRun run = Pymodbus(port, client, {"read:0:1"}, only12);
            SKIP_WITHOUT_PYMODBUS(run);
            // TLS 1.3 ends the client's handshake before the device has judged its certificate:
            // the refusal comes as the first answer.
            EXPECT_TRUE(run.out == "no connection\n" || run.out == "read 0: no answer\n")
                << run.out;
        }
        EXPECT_TRUE(slave.WaitForLines(Noted(note), 2, 5s)) << note;
    }
    // vornak's own line hears the refusal within its open.
    CLinePort line;
    EXPECT_FALSE(line.Open("tls://127.0.0.1:" + port + "?cert=" + s_pki->Cert("stranger") +
                           "&key=" + s_pki->Key("stranger") + "&ca=" + s_pki->Cert("ca")));
    EXPECT_EQ(line.LastErrorText(),
              "the device accepted no client certificate (it answered: "
              "unknown CA)");
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, OlderTlsAndGarbageAreRefused) {
    CSlaveProcess slave;
    const std::string port = Start(slave, TlsArgs());
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    const SlaveRun old =
        RunProgramToEnd("/bin/sh",
                        {"-c", "openssl s_client -connect 127.0.0.1:" + port +
                                   " -tls1_1 -cipher DEFAULT@SECLEVEL=0 -cert " +
                                   s_pki->Cert("operator") + " -key " + s_pki->Key("operator") +
                                   " -CAfile " + s_pki->Cert("ca") + " </dev/null"},
                        10s);
    EXPECT_NE(old.status, 0) << old.out;
    EXPECT_TRUE(slave.WaitForLines(
        Noted("TLS refused: protocol version refused, TLS 1.2 or newer needed"), 1, 5s));

    // A plain Modbus TCP master, and a flood of noise: each closed at its first bytes.
    const Bytes plainRequest = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06,
                                0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    const Bytes noise(1 << 20, 'G');
    for (const Bytes* bytes : {&plainRequest, &noise}) {
        CNetClient client(true, slave.Path());
        ASSERT_GE(client.Fd(), 0);
        const Stopwatch watch;
        client.Send(*bytes);
        EXPECT_TRUE(client.Closed(3s));
        EXPECT_LT(watch.Ms(), 3000);
    }
    EXPECT_TRUE(slave.WaitForLines(Noted("TLS refused: the client does not speak TLS"), 2, 5s));
    // The device serves on.
    const SlaveRun run = Pymodbus(port, "operator", {"read:0:1"});
    SKIP_WITHOUT_PYMODBUS(run);
    EXPECT_EQ(run.out, "read 0: 0\n");
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, AClientStalledInItsHandshakeHoldsUpNoOtherAndIsClosedInTime) {
    CSlaveProcess slave;
    const std::string port = Start(slave, TlsArgs());
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    const Stopwatch watch;
    // One stops after a record header; the other sends one byte of a long record every 300 ms.
    CNetClient stalled(true, slave.Path());
    CNetClient dribbling(true, slave.Path());
    ASSERT_GE(stalled.Fd(), 0);
    ASSERT_GE(dribbling.Fd(), 0);
    stalled.Send({0x16, 0x03, 0x01});
    dribbling.Send({0x16, 0x03, 0x01, 0x40, 0x00});
    std::atomic<bool> done{false};
    std::thread dribble([&] {
        while (!done) {
            dribbling.Send({0x01});
            std::this_thread::sleep_for(300ms);
        }
    });
    const SlaveRun run = Pymodbus(port, "operator", {"read:0:2"});
    const long long servedMs = watch.Ms();
    pollfd fds[] = {{stalled.Fd(), POLLIN, 0}, {dribbling.Fd(), POLLIN, 0}};
    const int readable = ::poll(fds, 2, 0);
    if (!NoPymodbus(run)) {
        EXPECT_EQ(run.out, "read 0: 0 0\n");
        EXPECT_LT(servedMs, 4000);
        // Both were still waiting when the other client had its answer.
        EXPECT_EQ(readable, 0);
    }
    EXPECT_TRUE(stalled.Closed(8s));
    EXPECT_GE(watch.Ms(), 4900);
    EXPECT_LT(watch.Ms(), 8000);
    EXPECT_TRUE(dribbling.Closed(3s));
    EXPECT_LT(watch.Ms(), 8000);
    done = true;
    dribble.join();
    EXPECT_TRUE(slave.WaitForLines(Noted("TLS handshake not over within 5 s, closed"), 2, 5s));
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, FilesThatCannotServeEndTheRunWithTheReason) {
    CTestPki& pki = *s_pki;
    std::ofstream(pki.File("empty.pem")).flush();
    const std::string missing = pki.File("missing.pem");
    const std::string usage = "\nTry 'vornak-slave --help'.\n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"--tls", "0", "--cert", missing, "--key", pki.Key("device"), "--ca", pki.Cert("ca")},
         "vornak-slave: cannot read the certificate file " + missing +
             ": No such file or directory (errno 2)\n"},
        {{"--tls", "0", "--cert", pki.Cert("device"), "--key", pki.Key("plain"), "--ca",
          pki.Cert("ca")},
         "vornak-slave: the key in " + pki.Key("plain") + " does not match the certificate in " +
             pki.Cert("device") + "\n"},
        {{"--tls", "0", "--cert", pki.Cert("device"), "--key", pki.Key("device"), "--ca",
          pki.File("empty.pem")},
         "vornak-slave: no certificate in CA file " + pki.File("empty.pem") + "\n"},
        {{"--tls", "0", "--cert", pki.Key("device"), "--key", pki.Key("device"), "--ca",
          pki.Cert("ca")},
         "vornak-slave: no certificate in " + pki.Key("device") + "\n"},
        {{"--tls", "0", "--cert", pki.Cert("device"), "--ca", pki.Cert("ca")},
         "vornak-slave: --tls needs --key FILE (the device's certificate, its key and the "
         "clients' CA)" +
             usage},
        {{"--tcp", "0", "--cert", pki.Cert("device")}, "vornak-slave: --cert needs --tls" + usage},
    };
    for (const Case& c : cases) {
        const SlaveRun run = RunSlaveToEnd(c.args);
        EXPECT_EQ(run.status, 2) << c.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.find("BEGIN"), std::string::npos);
    }
}

}  // namespace
