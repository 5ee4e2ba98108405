// vornak-slave --tls on a PKI made for the run: pymodbus's TLS client reads and writes, each
// certificate's role deciding what it may do; bad certificates and stalled handshakes are
// refused without holding up anyone else; files that cannot serve end the run.

#include <poll.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "NetClient.h"
#include "SlaveProcess.h"
#include "tests/support/TestPki.h"

namespace {

using namespace std::chrono_literals;

class SlaveTlsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pki.Ok()) << pki.Error(); }

    // Starts the slave with the device's files, or with a simulator file naming them; its port.
    std::string Start(const std::string& roles = "") {
        std::vector<std::string> args = {
            "--tls",           "0",    "--cert",      pki.Cert("device"), "--key",
            pki.Key("device"), "--ca", pki.Cert("ca")};
        if (!roles.empty()) {
            const std::string path = pki.File("roles.toml");
            std::ofstream(path) << "[network]\ntls = 0\ncert = \"device.pem\"\n"
                                   "key = \"device.key\"\nca = \"ca.pem\"\n"
                                << roles << "\n[[unit]]\nid = 1\n";
            args = {"--config", path};
        }
        const std::string& path = slave.Start(args) ? slave.Path() : "";
        return path.substr(path.rfind(':') + 1);
    }
    // pymodbus's client with the named certificate ("-" for none), one line per action.
    SlaveRun Pymodbus(const std::string& port, const std::string& client,
                      const std::vector<std::string>& actions) {
        const bool none = client == "-";
        std::vector<std::string> args = {VORNAK_PYMODBUS_TLS_CLIENT, port, pki.Cert("ca"),
                                         none ? "-" : pki.Cert(client),
                                         none ? "-" : pki.Key(client)};
        args.insert(args.end(), actions.begin(), actions.end());
        SlaveRun run = RunProgramToEnd(VORNAK_PYTHON, args, 30s);
        m_noPymodbus = run.out.rfind("no pymodbus", 0) == 0;
        return run;
    }
    bool Noted(const std::string& note, int count = 1) {
        return slave.WaitForLines(
            [note](const std::string& line) {
                const auto parsed = ParseSlaveLogLine(line);
                return parsed && parsed->direction == "rx" && parsed->note == note;
            },
            count, 5s);
    }

    CTestPki pki;
    CSlaveProcess slave;
    bool m_noPymodbus = false;
};

#define SKIP_WITHOUT_PYMODBUS(run) \
    if (m_noPymodbus) {            \
        GTEST_SKIP() << (run).out; \
    }

TEST_F(SlaveTlsTest, EachCertificateDoesWhatItsRoleAllows) {
    const std::string port = Start(R"([roles]
default = "viewer"
[roles.viewer]
functions = [3]
[roles.operator]
functions = [1, 2, 3, 4]
[roles.engineer]
functions = [1, 2, 3, 4, 5, 6, 15, 16, 22, 23]
addresses = ["0-999"]
exception = 4
)");
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    EXPECT_EQ(slave.FirstLine(), "vornak-slave: listening on 127.0.0.1:" + port + " (TLS, id 1)");
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"operator", {"read:0:2", "write:10:7"}},
        {"engineer", {"write:10:4660", "writes:11:1,2,65535", "read:10:4", "writes:998:4,5,6"}},
        {"plain", {"read:10:1", "write:0:1"}},
    };
    const char* answers[] = {
        "read 0: 0 0\nwrite 10: exception 1\n",
        "write 10: ok\nwrites 11: ok\nread 10: 4660 1 2 65535\nwrites 998: exception 4\n",
        "read 10: 4660\nwrite 0: exception 1\n",
    };
    const char* refusals[] = {
        "CN=operator,O=Vornak Test role operator function 6 address 10 (exception 1)",
        "CN=engineer,O=Vornak Test role engineer function 16 addresses 998-1000 (exception 4)",
        "CN=plain,O=Vornak Test role viewer by default function 6 address 0 (exception 1)",
    };
    for (int i = 0; i < 3; ++i) {
        const SlaveRun run = Pymodbus(port, cases[i].first, cases[i].second);
        SKIP_WITHOUT_PYMODBUS(run);
        EXPECT_EQ(run.out, answers[i]);
        const std::string logged = std::string("vornak-slave: refused: ") + refusals[i];
        EXPECT_TRUE(slave.WaitForLines([&](const std::string& l) { return l == logged; }, 1, 5s));
    }
    EXPECT_TRUE(Noted("TLSv1.3 CN=engineer,O=Vornak Test, role engineer"));
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, ClientsWithoutAGoodCertificateAreRefusedInTheHandshake) {
    const std::string port = Start();
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    const std::pair<const char*, const char*> cases[] = {
        {"-", "TLS refused: the client showed no certificate"},
        {"stranger", "TLS refused: unknown CA: the client's certificate is not signed by the CA"},
    };
    for (const auto& [client, note] : cases) {
        const SlaveRun run = Pymodbus(port, client, {"read:0:1"});
        SKIP_WITHOUT_PYMODBUS(run);
        // TLS 1.3 ends the client's handshake before the device has judged its certificate:
        // the refusal may come as the first answer.
        EXPECT_TRUE(run.out == "no connection\n" || run.out == "read 0: no answer\n") << run.out;
        EXPECT_TRUE(Noted(note)) << note;
    }
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, AClientStalledInItsHandshakeHoldsUpNoOtherAndIsClosedInTime) {
    const std::string port = Start();
    ASSERT_FALSE(port.empty()) << slave.FirstLine();
    const Stopwatch watch;
    // One stops after a record header; the other sends one byte of a long record every 300 ms.
    CNetClient stalled(true, slave.Path());
    CNetClient dribbling(true, slave.Path());
    ASSERT_TRUE(stalled.Fd() >= 0 && dribbling.Fd() >= 0);
    stalled.Send({0x16, 0x03, 0x01});
    dribbling.Send({0x16, 0x03, 0x01, 0x40, 0x00});
    std::atomic<bool> done{false};
    std::thread dribble([&] {
        for (; !done; std::this_thread::sleep_for(300ms)) {
            dribbling.Send({0x01});
        }
    });
    const SlaveRun run = Pymodbus(port, "operator", {"read:0:2"});
    const long long servedMs = watch.Ms();
    pollfd fds[] = {{stalled.Fd(), POLLIN, 0}, {dribbling.Fd(), POLLIN, 0}};
    const int readable = ::poll(fds, 2, 0);
    if (!m_noPymodbus) {
        EXPECT_EQ(run.out, "read 0: 0 0\n");
        EXPECT_LT(servedMs, 4000);
        EXPECT_EQ(readable, 0);  // both still waiting when the other had its answer
    }
    EXPECT_TRUE(stalled.Closed(8s));
    EXPECT_GE(watch.Ms(), 4900);
    EXPECT_TRUE(dribbling.Closed(3s));
    EXPECT_LT(watch.Ms(), 8000);
    done = true;
    dribble.join();
    EXPECT_TRUE(Noted("TLS handshake not over within 5 s, closed", 2));
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

TEST_F(SlaveTlsTest, FilesThatCannotServeEndTheRunWithTheReason) {
    const std::string missing = pki.File("missing.pem");
    const std::string cert = pki.Cert("device"), key = pki.Key("device"), ca = pki.Cert("ca");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{missing, key, ca},
         "cannot read the certificate file " + missing + ": No such file or directory (errno 2)"},
        {{cert, pki.Key("plain"), ca},
         "the key in " + pki.Key("plain") + " does not match the certificate in " + cert},
        {{cert, key, pki.Key("ca")}, "no certificate in CA file " + pki.Key("ca")},
    };
    for (const auto& [files, err] : cases) {
        const SlaveRun run =
            RunSlaveToEnd({"--tls", "0", "--cert", files[0], "--key", files[1], "--ca", files[2]});
        EXPECT_EQ(run.status, 2) << err;
        EXPECT_EQ(run.err, "vornak-slave: " + err + "\n");
        EXPECT_EQ(run.out, "");
    }
}

}  // namespace
