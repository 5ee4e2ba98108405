// vornak-poll over Modbus/TCP Security against pymodbus's TLS server (Debian python3-pymodbus),
// certificates on both sides made by the test: reads, writes, a map, what --tls-info says, and
// files that cannot work refused before anything is sent.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "PeerProcess.h"
#include "SlaveProcess.h"
#include "tests/support/TestPki.h"

using namespace std::chrono_literals;

namespace {

class PollTls : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_pki = new CTestPki; }
    static void TearDownTestSuite() {
        delete s_pki;
        s_pki = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_pki->Ok()) << s_pki->Error();
        const std::string ready =
            m_server.Start({VORNAK_PYTHON, VORNAK_PYMODBUS_TLS_SERVER, s_pki->Cert("device"),
                            s_pki->Key("device"), s_pki->Cert("ca")},
                           "ready ", 20s);
        if (m_server.Output().rfind("no pymodbus", 0) == 0) {
            GTEST_SKIP() << m_server.Output();
        }
        ASSERT_FALSE(ready.empty()) << m_server.Output();
        m_port = ready.substr(6, ready.find_first_not_of("0123456789", 6) - 6);
    }
    SlaveRun Poll(std::vector<std::string> args, const std::string& client = "operator") {
        args.insert(args.end(),
                    {"-m", "tls", "--cert", s_pki->Cert(client), "--key", s_pki->Key(client),
                     "--ca", s_pki->Cert("ca"), "127.0.0.1:" + m_port});
        return RunProgramToEnd(VORNAK_POLL_PATH, args, 20s);
    }

    static CTestPki* s_pki;
    CPeerProcess m_server;
    std::string m_port;
};

CTestPki* PollTls::s_pki = nullptr;

}  // namespace

TEST_F(PollTls, ReadsAndWritesWithCertificatesOnBothSides) {
    const SlaveRun write = Poll({"-r", "1", "-w", "4321,17"});
    EXPECT_EQ(write.status, 0) << write.err;
    const SlaveRun read = Poll({"-r", "1", "-c", "2", "-o", "csv", "--tls-info"});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_NE(read.out.find(",1,3,1,4321,OK\n"), std::string::npos) << read.out;
    EXPECT_NE(read.out.find(",1,3,2,17,OK\n"), std::string::npos) << read.out;
    EXPECT_NE(read.err.find("vornak-poll: tls: TLSv1.3, "), std::string::npos) << read.err;
    EXPECT_NE(read.err.find("vornak-poll: tls: device CN=device,O=Vornak Test\n"
                            "vornak-poll: tls: issued by CN=Vornak Test CA,O=Vornak Test\n"
                            "vornak-poll: tls: role presented: operator\n"),
              std::string::npos)
        << read.err;

    const std::string map = s_pki->File("map.toml");
    std::ofstream(map) << "[[point]]\nname = \"level\"\ntable = \"holding\"\naddress = 1\n"
                          "type = \"uint32\"\nscale = 0.01\nunit = \"m\"\nwritable = true\n";
    const SlaveRun set = Poll({"--map", map, "--set", "level=12.5"});
    EXPECT_EQ(set.status, 0) << set.err;
    const SlaveRun byName = Poll({"--map", map});
    EXPECT_EQ(byName.out, "level = 12.5 m\n") << byName.err;
}

TEST_F(PollTls, RefusesFilesThatCannotWorkBeforeSending) {
    const std::string bad = s_pki->File("empty.pem");
    std::ofstream(bad) << "";
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"-m", "tls", "127.0.0.1:1"}, "-m tls needs --cert FILE, --key FILE and --ca FILE"},
        {{"--cert", "x.pem", "-m", "tcp", "127.0.0.1:1"},
         "--cert, --key, --ca and --tls-info go with"},
        {{"-m", "tls", "--cert", s_pki->Cert("operator"), "--key", s_pki->Key("operator"), "--ca",
          bad, "127.0.0.1:1"},
         "no certificate in CA file " + bad},
    };
    for (const auto& c : cases) {
        const SlaveRun run = RunProgramToEnd(VORNAK_POLL_PATH, c.args, 10s);
        EXPECT_EQ(run.status, 2) << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("PRIVATE KEY"), std::string::npos) << run.err;
    }
    // A key others may read works, with a warning, as ssh gives it.
    const std::string key = s_pki->File("open.key");
    std::ifstream in(s_pki->Key("operator"));
    std::ofstream(key) << in.rdbuf();
    ::chmod(key.c_str(), 0644);
    const SlaveRun open = RunProgramToEnd(VORNAK_POLL_PATH,
                                          {"-m", "tls", "--cert", s_pki->Cert("operator"), "--key",
                                           key, "--ca", s_pki->Cert("ca"), "127.0.0.1:" + m_port},
                                          10s);
    EXPECT_EQ(open.status, 0) << open.err;
    EXPECT_NE(open.err.find("vornak-poll: warning: the private key file " + key +
                            " is readable by others (mode 0644)"),
              std::string::npos)
        << open.err;
}
