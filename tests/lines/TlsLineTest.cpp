// tls:// lines on a PKI made for the run: a Modbus read through pymodbus's TLS server, refusals
// by openssl s_server, files that cannot serve, and peers that never finish a handshake.

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <tuple>

#include "PeerProcess.h"
#include "PtyPair.h"
#include "lines/LinePort.h"
#include "lines/ModbusTlsPort.h"
#include "lines/TlsContext.h"
#include "tests/support/HostileServer.h"
#include "tests/support/TestPki.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr long long kSlackMs = 2000;

long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string name;
    long kb = 0;
    while (status >> name && !(name == field + ":" && status >> kb)) {
    }
    return kb;
}

std::string PortOf(const std::string& readyLine) {
    const std::size_t colon = readyLine.rfind(':');
    return readyLine.substr((colon == std::string::npos ? readyLine.rfind(' ') : colon) + 1);
}

// Replaces each mark by its value, as the tables write what only the run knows.
std::string Filled(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& marks) {
    for (const auto& [mark, value] : marks) {
        if (const std::size_t at = text.find(mark); at != std::string::npos) {
            text.replace(at, mark.size(), value);
        }
    }
    return text;
}

class TlsLineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_pki = new CTestPki; }
    static void TearDownTestSuite() {
        delete s_pki;
        s_pki = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_pki->Ok()) << s_pki->Error(); }

    static std::string Url(const std::string& host, const std::string& port) {
        return "tls://" + host + ":" + port + "?cert=" + s_pki->Cert("operator") +
               "&key=" + s_pki->Key("operator") + "&ca=" + s_pki->Cert("ca");
    }

    static CTestPki* s_pki;
};
CTestPki* TlsLineTest::s_pki = nullptr;

TEST_F(TlsLineTest, FilesThatCannotServeAreNamedWithoutTheirContents) {
    CTestPki& pki = *s_pki;
    ASSERT_TRUE(pki.Run("openssl pkey -in plain.key -aes128 -passout pass:secret -out locked.key"));
    const std::string missing = pki.File("missing.pem");
    const std::string cert = pki.Cert("plain"), key = pki.Key("plain"), ca = pki.Cert("ca");
    const std::string notFound = ": No such file or directory (errno 2)";
    const std::pair<TlsFiles, std::string> cases[] = {
        {{missing, key, ca}, "cannot read the certificate file " + missing + notFound},
        {{cert, key, missing}, "cannot read the CA file " + missing + notFound},
        {{key, key, ca}, "no certificate in " + key},
        {{cert, cert, ca}, "no private key in " + cert},
        {{cert, pki.Key("operator"), ca},
         "the key in " + pki.Key("operator") + " does not match the certificate in " + cert},
        {{cert, pki.File("locked.key"), ca},
         "the key in " + pki.File("locked.key") +
             " is protected by a password, which a line cannot ask for"},
        {{cert, key, pki.Key("ca")}, "no certificate in CA file " + pki.Key("ca")},
    };
    for (const auto& [files, text] : cases) {
        int error = 0;
        std::string reason;
        EXPECT_EQ(CTlsContext::Load(files, CTlsContext::Role::Client, error, reason), nullptr);
        EXPECT_EQ(error, text.find(notFound) == std::string::npos ? EINVAL : ENOENT) << text;
        EXPECT_EQ(reason, text);
    }
}

TEST_F(TlsLineTest, ReadsHoldingRegistersThroughPymodbusTlsServer) {
    CPeerProcess server;
    const std::string ready =
        server.Start({VORNAK_PYTHON, VORNAK_PYMODBUS_TLS_SERVER, s_pki->Cert("device"),
                      s_pki->Key("device"), s_pki->Cert("ca"), "1.3"},
                     "ready ", 20s);
    if (server.Output().rfind("no pymodbus", 0) == 0) {
        GTEST_SKIP() << server.Output();
    }
    ASSERT_FALSE(ready.empty()) << server.Output();
    CLinePort line;
    ASSERT_TRUE(line.Open(Url("localhost", PortOf(ready)))) << line.LastErrorText();
    EXPECT_EQ(line.Framing(), LineFraming::Mbap);
    ASSERT_TRUE(line.SetTimeouts({100, 0, 2000, 0, 1000}));
    // Holding registers 0 and 1 of unit 1.
    const Bytes request = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x02};
    std::uint32_t done = 0;
    ASSERT_TRUE(line.Write(request.data(), 12, &done)) << line.LastErrorText();
    Bytes answer(300);
    ASSERT_TRUE(line.Read(answer.data(), 300, &done)) << line.LastErrorText();
    answer.resize(done);
    EXPECT_EQ(answer, (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x01, 0x03, 0x04, 0x12, 0x34, 0xFF,
                             0xFF}));
    const std::optional<TlsSessionInfo> session = line.TlsSession();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->protocol, "TLSv1.3");
    EXPECT_EQ(session->peerSubject, "CN=device,O=Vornak Test");
    EXPECT_EQ(session->peerIssuer, "CN=Vornak Test CA,O=Vornak Test");
    EXPECT_TRUE(line.Close());
    EXPECT_FALSE(line.TlsSession());
}

struct Refusal {
    const char* name;
    const char* device;  // the device's certificate
    std::vector<std::string> options;
    const char* host;
    const char* text;  // $CA and $END stand for the CA file and the certificate's end
};

class OpenSslServerTest : public TlsLineTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(OpenSslServerTest, RefusesWithItsReason) {
    const Refusal& r = GetParam();
    std::vector<std::string> argv = {
        "openssl", "s_server",          "-accept", "127.0.0.1:0", "-cert", s_pki->Cert(r.device),
        "-key",    s_pki->Key(r.device)};
    for (const std::string& arg : r.options) {
        argv.push_back(
            Filled(arg, {{"$CA", s_pki->Cert("ca")}, {"$OTHER", s_pki->Cert("other-ca")}}));
    }
    CPeerProcess server;
    const std::string ready = server.Start(argv, "ACCEPT ", 10s);
    ASSERT_FALSE(ready.empty()) << server.Output();
    const std::string text =
        Filled(r.text, {{"$CA", s_pki->Cert("ca")}, {"$END", s_pki->NotAfter(r.device)}});
    CLinePort line;
    const Stopwatch watch;
    const bool opened = line.Open(Url(r.host, PortOf(ready)));
    EXPECT_LT(watch.Ms(), CNetworkPort::kOpenBoundMs + kSlackMs);
    EXPECT_EQ(opened, text.empty()) << line.LastErrorText();
    if (!text.empty()) {
        EXPECT_FALSE(line.IsOpen());
        EXPECT_EQ(line.LastError(), EPROTO);
        EXPECT_EQ(line.LastErrorText(), text);
        return;
    }
    // A device that accepts and never answers: a read waits out its total bound, not less.
    ASSERT_TRUE(line.SetTimeouts({100, 0, 1000, 0, 1000}));
    Bytes answer(300);
    std::uint32_t got = 99;
    const Stopwatch silent;
    EXPECT_TRUE(line.Read(answer.data(), 300, &got)) << line.LastErrorText();
    EXPECT_EQ(got, 0U);
    EXPECT_GE(silent.Ms(), 950);
    EXPECT_LT(silent.Ms(), 1000 + kSlackMs);
}

const Refusal kRefusals[] = {
    {"Accepts",
     "device",
     {"-Verify", "1", "-verify_return_error", "-CAfile", "$CA"},
     "127.0.0.1",
     ""},
    {"AsksForNoClientCertificate",
     "device",
     {},
     "127.0.0.1",
     "the device accepted no client certificate (it asked for none)"},
    {"RefusesTheClientAfterTheHandshake",
     "device",
     {"-Verify", "1", "-verify_return_error", "-CAfile", "$OTHER"},
     "127.0.0.1",
     "the device accepted no client certificate (it answered: unknown CA)"},
    {"IsSignedByAnotherCa",
     "device-other-ca",
     {"-Verify", "1"},
     "127.0.0.1",
     "unknown CA: the device's certificate is not signed by the CA in $CA"},
    {"HasAnExpiredCertificate",
     "device-expired",
     {"-Verify", "1"},
     "127.0.0.1",
     "certificate expired: the device's certificate was valid until $END"},
    {"IsForAnotherName",
     "device-other-name",
     {"-Verify", "1"},
     "localhost",
     "the device's certificate is for another name than localhost"},
    {"SpeaksOnlyTls11",
     "device",
     {"-Verify", "1", "-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"},
     "127.0.0.1",
     "protocol version refused (TLS 1.2 or newer needed)"},
};
INSTANTIATE_TEST_SUITE_P(Devices, OpenSslServerTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// Peers that never complete a handshake: one byte a second of a handshake record announcing
// 16 kB, or a flood of what is no TLS at all. The line ends within its bound either way, and
// what it reads meanwhile does not grow its memory.
TEST_F(TlsLineTest, APeerThatNeverEndsItsHandshakeIsLeftWithinTheBound) {
    CPeerProcess dribbler;
    const std::string ready =
        dribbler.Start({VORNAK_PYTHON, "-c",
                        "import socket, time\ns = socket.create_server(('127.0.0.1', 0))\n"
                        "print('ready', s.getsockname()[1], flush=True)\nc = s.accept()[0]\n"
                        "for b in b'\\x16\\x03\\x03\\x40\\x00' + b'\\x02' * 20:\n"
                        "    c.send(bytes([b]))\n    time.sleep(1)\n"},
                       "ready ", 10s);
    ASSERT_FALSE(ready.empty()) << dribbler.Output();
    CHostileServer flood;
    ASSERT_TRUE(flood.Start(Hostility::Flood));
    const std::string dribblerPort = PortOf(ready);
    const std::tuple<std::string, int, std::string> cases[] = {
        {"127.0.0.1:" + dribblerPort, ETIMEDOUT,
         "the TLS handshake with 127.0.0.1 port " + dribblerPort + " did not end within 3000 ms"},
        {flood.Endpoint(), EPROTO, "the device does not speak TLS (wrong version number)"},
    };
    for (const auto& [endpoint, error, text] : cases) {
        CModbusTlsPort port({s_pki->Cert("operator"), s_pki->Key("operator"), s_pki->Cert("ca")});
        std::ofstream("/proc/self/clear_refs") << "5";
        const long rssKb = StatusKb("VmRSS");
        const Stopwatch watch;
        EXPECT_FALSE(port.Open(endpoint));
        EXPECT_LT(watch.Ms(), CNetworkPort::kOpenBoundMs + kSlackMs);
        EXPECT_TRUE(error != ETIMEDOUT || watch.Ms() >= CNetworkPort::kOpenBoundMs - 100);
        EXPECT_EQ(port.LastError(), error);
        EXPECT_EQ(port.LastErrorText(), text);
        EXPECT_LT(StatusKb("VmHWM") - rssKb, 64 * 1024);
    }
}

}  // namespace
