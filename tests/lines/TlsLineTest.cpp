// tls:// lines on a PKI made for the run: Modbus reads through pymodbus's TLS server, refusals
// by openssl s_server, files that cannot serve, and peers that never finish a handshake.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <memory>
#include <thread>

#include "PeerProcess.h"
#include "PtyPair.h"
#include "lines/LinePort.h"
#include "lines/ModbusTlsPort.h"
#include "lines/TlsContext.h"
#include "tests/support/TestPki.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr long kMemoryLimitKb = 64 * 1024;
constexpr long long kSlackMs = 2000;

// Holding registers 0 and 1 of unit 1, and the answer of the Python server's datastore.
const Bytes kRequest = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x02};
const Bytes kAnswer = {0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x01,
                       0x03, 0x04, 0x12, 0x34, 0xFF, 0xFF};

long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string name;
    long kb = 0;
    while (status >> name && !(name == field + ":" && status >> kb)) {
    }
    return kb;
}

std::string PortOf(const std::string& readyLine) {
    return readyLine.substr(readyLine.rfind(':') == std::string::npos ? readyLine.rfind(' ') + 1
                                                                      : readyLine.rfind(':') + 1);
}

class TlsLineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_pki = new CTestPki; }
    static void TearDownTestSuite() {
        delete s_pki;
        s_pki = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_pki->Ok()) << s_pki->Error(); }

    static std::string Url(const std::string& host, const std::string& port,
                           const std::string& client = "operator") {
        return "tls://" + host + ":" + port + "?cert=" + s_pki->Cert(client) +
               "&key=" + s_pki->Key(client) + "&ca=" + s_pki->Cert("ca");
    }
    static TlsFiles Files(const std::string& client = "operator") {
        return {s_pki->Cert(client), s_pki->Key(client), s_pki->Cert("ca")};
    }

    static CTestPki* s_pki;
};
CTestPki* TlsLineTest::s_pki = nullptr;

Bytes Exchange(CSerialPort& port, const Bytes& request) {
    std::uint32_t done = 0;
    EXPECT_TRUE(port.Write(request.data(), static_cast<std::uint32_t>(request.size()), &done))
        << port.LastErrorText();
    Bytes answer(300);
    EXPECT_TRUE(port.Read(answer.data(), static_cast<std::uint32_t>(answer.size()), &done))
        << port.LastErrorText();
    answer.resize(done);
    return answer;
}

TEST(TlsAddressTest, ALineNeedsItsThreeFilesAndSaysWhichIsAmiss) {
    const std::pair<const char*, const char*> cases[] = {
        {"tls://127.0.0.1?cert=c.pem&key=k.pem&ca=ca.pem", "127.0.0.1:802 c.pem k.pem ca.pem"},
        {"tls://plc.local:8020?ca=a&key=k&cert=c", "plc.local:8020 c k a"},
        {"tls://[::1]?cert=c&key=k&ca=a", "[::1]:802 c k a"},
        {"tls://plc?cert=c&key=k",
         "missing option ca=FILE (a tls:// line needs cert=FILE, key=FILE and ca=FILE)"},
        {"tls://plc?key=k&ca=a",
         "missing option cert=FILE (a tls:// line needs cert=FILE, key=FILE and ca=FILE)"},
        {"tls://plc",
         "missing option cert=FILE (a tls:// line needs cert=FILE, key=FILE and ca=FILE)"},
        {"tls://plc?cert=&key=k&ca=a", "option cert needs a file (cert=FILE)"},
        {"tls://plc?cert=c&key&ca=a", "option key needs a file (key=FILE)"},
        {"tls://plc?cert=c&cert=d&key=k&ca=a", "option cert given twice"},
        {"tls://plc?cert=c&key=k&ca=a&echo",
         "unknown option \"echo\" (a tls:// line accepts: cert=FILE, key=FILE, ca=FILE)"},
        {"tls://plc:0?cert=c&key=k&ca=a",
         "bad port \"0\" in \"plc:0\" (accepted: 1 to 65535, or none for 802)"},
        {"tls://", "no HOST[:PORT] after the kind"},
    };
    for (const auto& [device, expected] : cases) {
        std::string error;
        const std::optional<LineAddress> a = ParseLineAddress(device, error);
        const std::string got =
            a ? a->target + " " + a->tls.cert + " " + a->tls.key + " " + a->tls.ca : error;
        EXPECT_EQ(got, expected) << device;
        EXPECT_TRUE(!a || a->kind == LineKind::Tls) << device;
    }
    EXPECT_STREQ(LineKindName(LineKind::Tls), "tls://");
    EXPECT_TRUE(IsModbusNetwork(LineKind::Tls));
    EXPECT_STREQ(LineSettingsNote(LineKind::Tls),
                 "Modbus/TCP Security, line settings do not apply");
}

TEST_F(TlsLineTest, FilesThatCannotServeAreNamedWithoutTheirContents) {
    CTestPki& pki = *s_pki;
    std::ofstream(pki.File("empty.pem")).flush();
    ASSERT_TRUE(pki.Run("openssl pkey -in plain.key -aes128 -passout pass:secret -out locked.key"));
    struct Case {
        TlsFiles files;
        int error;
        std::string text;
    };
    const std::string missing = pki.File("missing.pem");
    const Case cases[] = {
        {{missing, pki.Key("plain"), pki.Cert("ca")},
         ENOENT,
         "cannot read the certificate file " + missing + ": No such file or directory (errno 2)"},
        {{pki.Cert("plain"), missing, pki.Cert("ca")},
         ENOENT,
         "cannot read the key file " + missing + ": No such file or directory (errno 2)"},
        {{pki.Cert("plain"), pki.Key("plain"), missing},
         ENOENT,
         "cannot read the CA file " + missing + ": No such file or directory (errno 2)"},
        {{pki.Key("plain"), pki.Key("plain"), pki.Cert("ca")},
         EINVAL,
         "no certificate in " + pki.Key("plain")},
        {{pki.Cert("plain"), pki.Cert("plain"), pki.Cert("ca")},
         EINVAL,
         "no private key in " + pki.Cert("plain")},
        {{pki.Cert("plain"), pki.Key("operator"), pki.Cert("ca")},
         EINVAL,
         "the key in " + pki.Key("operator") + " does not match the certificate in " +
             pki.Cert("plain")},
        {{pki.Cert("plain"), pki.File("locked.key"), pki.Cert("ca")},
         EINVAL,
         "the key in " + pki.File("locked.key") +
             " is protected by a password, which a line cannot ask for"},
        {{pki.Cert("plain"), pki.Key("plain"), pki.File("empty.pem")},
         EINVAL,
         "no certificate in CA file " + pki.File("empty.pem")},
        {{pki.Cert("plain"), pki.Key("plain"), pki.Key("ca")},
         EINVAL,
         "no certificate in CA file " + pki.Key("ca")},
    };
    for (const Case& c : cases) {
        int error = 0;
        std::string reason;
        const auto context = CTlsContext::Load(c.files, CTlsContext::Role::Client, error, reason);
        EXPECT_EQ(context, nullptr) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(reason, c.text);
        EXPECT_EQ(reason.find("BEGIN"), std::string::npos);
    }
    int error = 0;
    std::string reason;
    EXPECT_NE(CTlsContext::Load(Files(), CTlsContext::Role::Client, error, reason), nullptr)
        << reason;
    // Through the line the same words come back, before anything is connected.
    CLinePort port;
    EXPECT_FALSE(port.Open("tls://127.0.0.1:1?cert=" + pki.Cert("plain") +
                           "&key=" + pki.Key("operator") + "&ca=" + pki.Cert("ca")));
    EXPECT_EQ(port.LastError(), EINVAL);
    EXPECT_EQ(port.LastErrorText(), "the key in " + pki.Key("operator") +
                                        " does not match the certificate in " + pki.Cert("plain"));
}

// pymodbus's device, TLS 1.3 or held to 1.2, asking for this end's certificate.
class PymodbusTlsTest : public TlsLineTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        TlsLineTest::SetUp();
        const std::string ready =
            server.Start({VORNAK_PYTHON, VORNAK_PYMODBUS_TLS_SERVER, s_pki->Cert("device"),
                          s_pki->Key("device"), s_pki->Cert("ca"), GetParam()},
                         "ready ", 20s);
        if (server.Output().rfind("no pymodbus", 0) == 0) {
            GTEST_SKIP() << server.Output();
        }
        ASSERT_FALSE(ready.empty()) << server.Output();
        port = PortOf(ready);
    }

    CPeerProcess server;
    std::string port;
};

TEST_P(PymodbusTlsTest, ReadsHoldingRegistersThroughTheLine) {
    const std::string version = std::string("TLSv") + GetParam();
    for (const char* host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        CLinePort line;
        ASSERT_TRUE(line.Open(Url(host, port))) << line.LastErrorText();
        EXPECT_EQ(line.Framing(), LineFraming::Mbap);
        ASSERT_TRUE(line.SetTimeouts({100, 0, 2000, 0, 1000}));
        ASSERT_TRUE(line.Purge(kPurgeAll));
        EXPECT_EQ(Exchange(line, kRequest), kAnswer);
        EXPECT_EQ(Exchange(line, kRequest), kAnswer);
        const std::optional<TlsSessionInfo> session = line.TlsSession();
        ASSERT_TRUE(session);
        EXPECT_EQ(session->protocol, version);
        EXPECT_FALSE(session->cipher.empty());
        EXPECT_EQ(session->peerSubject, "CN=device,O=Vornak Test");
        EXPECT_EQ(session->peerIssuer, "CN=Vornak Test CA,O=Vornak Test");
        EXPECT_TRUE(line.Close());
        EXPECT_FALSE(line.TlsSession());
    }
}

TEST_P(PymodbusTlsTest, ADeviceThatGoesAwayFailsTheLineUntilItOpensAgain) {
    CLinePort line;
    ASSERT_TRUE(line.Open(Url("127.0.0.1", port))) << line.LastErrorText();
    ASSERT_TRUE(line.SetTimeouts({100, 0, 2000, 0, 1000}));
    EXPECT_EQ(Exchange(line, kRequest), kAnswer);
    server.Stop();
    std::uint32_t done = 0;
    Bytes answer(300);
    const bool wrote = line.Write(kRequest.data(), 12, &done);
    const bool read = wrote && line.Read(answer.data(), 300, &done);
    EXPECT_FALSE(read);
    std::uint32_t errors = 0;
    SerialStatus status;
    line.ClearError(&errors, &status);
    EXPECT_EQ(errors & kCommErrorDevice, kCommErrorDevice);
}

INSTANTIATE_TEST_SUITE_P(Versions, PymodbusTlsTest, ::testing::Values("1.3", "1.2"),
                         [](const auto& info) {
                             return std::string(info.param) == "1.3" ? "Tls13" : "Tls12";
                         });

// A device that accepts and then never answers: a read waits out its total bound, not less,
// and an abort ends a longer one at once.
TEST_F(TlsLineTest, AReadWaitsItsBoundUnlessAnAbortEndsIt) {
    CPeerProcess server;
    const std::string ready =
        server.Start({"openssl", "s_server", "-accept", "127.0.0.1:0", "-cert",
                      s_pki->Cert("device"), "-key", s_pki->Key("device"), "-Verify", "1",
                      "-verify_return_error", "-CAfile", s_pki->Cert("ca")},
                     "ACCEPT ", 10s);
    ASSERT_FALSE(ready.empty()) << server.Output();
    CLinePort line;
    ASSERT_TRUE(line.Open(Url("127.0.0.1", PortOf(ready)))) << line.LastErrorText();
    ASSERT_TRUE(line.SetTimeouts({100, 0, 1000, 0, 1000}));
    Bytes answer(300);
    std::uint32_t got = 99;
    const Stopwatch silent;
    EXPECT_TRUE(line.Read(answer.data(), 300, &got)) << line.LastErrorText();
    EXPECT_EQ(got, 0U);
    EXPECT_GE(silent.Ms(), 950);
    EXPECT_LT(silent.Ms(), 1000 + kSlackMs);
    ASSERT_TRUE(line.SetTimeouts({0, 0, 10000, 0, 1000}));
    const Stopwatch watch;
    std::thread aborter([&] {
        std::this_thread::sleep_for(200ms);
        line.Abort();
    });
    EXPECT_FALSE(line.Read(answer.data(), 300, &got));
    aborter.join();
    EXPECT_EQ(line.LastError(), ECANCELED);
    EXPECT_LT(watch.Ms(), 200 + 1000);
}

struct Refusal {
    const char* name;
    const char* device;  // the device's certificate
    std::vector<std::string> options;
    const char* host;
    std::string text;  // $CA and $END stand for the CA file and the certificate's end
};

class OpenSslServerTest : public TlsLineTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(OpenSslServerTest, RefusesWithItsReason) {
    const Refusal& r = GetParam();
    std::vector<std::string> argv = {"openssl", "s_server", "-accept", "127.0.0.1:0"};
    argv.insert(argv.end(), {"-cert", s_pki->Cert(r.device), "-key", s_pki->Key(r.device)});
    argv.insert(argv.end(), r.options.begin(), r.options.end());
    for (std::string& arg : argv) {
        arg = arg == "$CA" ? s_pki->Cert("ca") : arg == "$OTHER" ? s_pki->Cert("other-ca") : arg;
    }
    CPeerProcess server;
    const std::string ready = server.Start(argv, "ACCEPT ", 10s);
    ASSERT_FALSE(ready.empty()) << server.Output();
    std::string text = r.text;
    for (const auto& [mark, value] : {std::pair<std::string, std::string>{"$CA", s_pki->Cert("ca")},
                                      {"$END", s_pki->NotAfter(r.device)}}) {
        if (const std::size_t at = text.find(mark); at != std::string::npos) {
            text.replace(at, mark.size(), value);
        }
    }
    CLinePort line;
    const Stopwatch watch;
    const bool opened = line.Open(Url(r.host, PortOf(ready)));
    EXPECT_LT(watch.Ms(), CNetworkPort::kOpenBoundMs + kSlackMs);
    if (text.empty()) {
        EXPECT_TRUE(opened) << line.LastErrorText();
        const std::optional<TlsSessionInfo> session = line.TlsSession();
        ASSERT_TRUE(session);
        EXPECT_EQ(session->protocol, "TLSv1.3");
        return;
    }
    EXPECT_FALSE(opened);
    EXPECT_FALSE(line.IsOpen());
    EXPECT_EQ(line.LastError(), EPROTO);
    EXPECT_EQ(line.LastErrorText(), text);
}

const Refusal kRefusals[] = {
    {"Accepts",
     "device",
     {"-Verify", "1", "-verify_return_error", "-CAfile", "$CA"},
     "127.0.0.1",
     ""},
    {"AcceptsWithoutTickets",
     "device",
     {"-Verify", "1", "-verify_return_error", "-CAfile", "$CA", "-no_ticket"},
     "localhost",
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
    {"RefusesTheClientInTheHandshake",
     "device",
     {"-Verify", "1", "-verify_return_error", "-CAfile", "$OTHER", "-tls1_2"},
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
    {"IsForAnotherAddress",
     "device-other-name",
     {"-Verify", "1"},
     "127.0.0.1",
     "the device's certificate is for another name than 127.0.0.1"},
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

// A device that never completes a handshake: one byte a second of a record that never ends,
// or a flood of what is no TLS at all. Gives up by itself after a while.
class HandshakeSpoiler {
public:
    enum class Way { Dribble, Garbage };
    static constexpr std::size_t kGarbageBytes = 10 * 1024 * 1024;

    explicit HandshakeSpoiler(Way way) {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof a;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
            ::listen(m_listen, 2) == 0 &&
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
            m_port = ntohs(a.sin_port);
            m_run = std::thread([this, way] { Serve(way); });
        }
    }
    ~HandshakeSpoiler() {
        m_stop = true;
        if (m_run.joinable()) {
            m_run.join();
        }
        ::close(m_listen);
    }
    std::string Port() const { return std::to_string(m_port); }
    std::size_t Sent() const { return m_sent; }

private:
    void Serve(Way way) {
        pollfd p{m_listen, POLLIN, 0};
        const Stopwatch life;
        while (!m_stop && life.Ms() < 15000 && ::poll(&p, 1, 20) == 0) {
        }
        const int fd = m_stop ? -1 : ::accept(m_listen, nullptr, nullptr);
        // A handshake record that announces 16 kB and brings them a byte at a time.
        const Bytes record = {0x16, 0x03, 0x03, 0x40, 0x00, 0x02, 0x00, 0x3F, 0xFC, 0x03, 0x03};
        std::vector<std::uint8_t> garbage(64 * 1024);
        for (std::size_t i = 0; i < garbage.size(); ++i) {
            garbage[i] = static_cast<std::uint8_t>("no TLS here "[i % 12]);
        }
        for (std::size_t i = 0; fd >= 0 && !m_stop && life.Ms() < 15000;) {
            long n = 0;
            if (way == Way::Dribble) {
                n = ::send(fd, &record[i % record.size()], 1, MSG_NOSIGNAL);
                for (int slice = 0; slice < 50 && !m_stop; ++slice) {
                    std::this_thread::sleep_for(20ms);
                }
            } else if (m_sent < kGarbageBytes) {
                n = ::send(fd, garbage.data(), std::min(garbage.size(), kGarbageBytes - m_sent),
                           MSG_NOSIGNAL);
            } else {
                std::this_thread::sleep_for(20ms);
            }
            if (n < 0) {
                break;
            }
            m_sent += static_cast<std::size_t>(n);
            ++i;
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }

    int m_listen = -1;
    int m_port = 0;
    std::thread m_run;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_sent{0};
};

struct Spoiling {
    const char* name;
    HandshakeSpoiler::Way way;
    bool abort;
    int error;
    const char* text;  // $PORT stands for the spoiler's port
};

class HandshakeSpoilerTest : public TlsLineTest, public ::testing::WithParamInterface<Spoiling> {};

TEST_P(HandshakeSpoilerTest, EndsWithinTheBoundAndKeepsItsMemory) {
    const Spoiling& s = GetParam();
    HandshakeSpoiler spoiler(s.way);
    ASSERT_FALSE(spoiler.Port() == "0");
    std::string text = s.text;
    if (const std::size_t at = text.find("$PORT"); at != std::string::npos) {
        text.replace(at, 5, spoiler.Port());
    }
    CModbusTlsPort port(Files());
    std::ofstream("/proc/self/clear_refs") << "5";
    const long rssKb = StatusKb("VmRSS");
    const Stopwatch watch;
    std::atomic<long long> abortedAtMs{-1};
    std::thread aborter([&] {
        if (s.abort) {
            std::this_thread::sleep_for(300ms);
            abortedAtMs = watch.Ms();
            port.Abort();
        }
    });
    const bool opened = port.Open("127.0.0.1:" + spoiler.Port());
    const long long ms = watch.Ms();
    aborter.join();
    EXPECT_FALSE(opened);
    EXPECT_EQ(port.LastError(), s.error);
    EXPECT_EQ(port.LastErrorText(), text);
    EXPECT_LT(StatusKb("VmHWM") - rssKb, kMemoryLimitKb);
    if (s.abort) {
        EXPECT_LT(ms - abortedAtMs, 1000);
    } else {
        EXPECT_LT(ms, CNetworkPort::kOpenBoundMs + kSlackMs);
    }
    if (s.way == HandshakeSpoiler::Way::Dribble && !s.abort) {
        EXPECT_GE(ms, CNetworkPort::kOpenBoundMs - 100);
    }
}

const Spoiling kSpoilings[] = {
    {"OneByteASecond", HandshakeSpoiler::Way::Dribble, false, ETIMEDOUT,
     "the TLS handshake with 127.0.0.1 port $PORT did not end within 3000 ms"},
    {"OneByteASecondAborted", HandshakeSpoiler::Way::Dribble, true, ECANCELED,
     "the TLS handshake with 127.0.0.1 port $PORT was cut short"},
    {"TenMegabytesOfGarbage", HandshakeSpoiler::Way::Garbage, false, EPROTO,
     "the device does not speak TLS (wrong version number)"},
};
INSTANTIATE_TEST_SUITE_P(Peers, HandshakeSpoilerTest, ::testing::ValuesIn(kSpoilings),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
