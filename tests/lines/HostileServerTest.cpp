// Network lines against hostile servers: bounded in time and memory, and ended by an abort.

#include "tests/support/HostileServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <thread>

#include "PtyPair.h"
#include "lines/PortKinds.h"
#include "lines/SocketSerialPort.h"

namespace {

using namespace std::chrono_literals;

constexpr long kMemoryLimitKb = 64 * 1024;
constexpr long long kExchangeRunMs = 1500;

// A field of /proc/self/status in kB; 0 when it cannot be read.
long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string name;
    long kb = 0;
    while (status >> name && !(name == field + ":" && status >> kb)) {
    }
    return kb;
}

struct HostileCase {
    const char* name;
    Hostility how;
    LineKind kind;
    bool exchanges;      // it opens; then purge, write and read as a poller with no pause
    const char* reason;  // else the open times out with this reason
    bool drops;          // line bytes come where no exchange can use them
};
using Outcome = std::pair<int, std::string>;  // the errno and its text

// Opens and, where the row says so, exchanges until the run's end or the first failure.
Outcome OpenAndExchange(const HostileCase& c, CSocketSerialPort& port,
                        const std::string& endpoint) {
    if (!port.Open(endpoint)) {
        return {port.LastError(), port.LastErrorText()};
    }
    if (c.exchanges &&
        (!port.SetLine(MasterDcb(19200)) || !port.SetTimeouts({100, 0, 1000, 0, 1000}))) {
        return {port.LastError(), "setting up"};
    }
    const std::uint8_t request[] = {1, 3, 0, 0, 0, 1, 0x84, 0x0A};
    std::uint8_t answer[513];
    const Stopwatch run;
    while (c.exchanges && run.Ms() < kExchangeRunMs) {
        std::uint32_t done = 0;
        if (!port.Purge(kPurgeAll) || !port.Write(request, sizeof request, &done) ||
            !port.Read(answer, sizeof answer, &done)) {
            return {port.LastError(), "exchanging"};
        }
    }
    return {};
}

class HostileServerTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileServerTest, EndsInTimeKeepsItsMemoryAndYieldsToAnAbort) {
    const HostileCase& c = GetParam();
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "aborted" : "left to its bound");
        CHostileServer server;
        ASSERT_TRUE(server.Start(c.how));
        std::unique_ptr<CSocketSerialPort> port(
            dynamic_cast<CSocketSerialPort*>(MakeKindPort(c.kind).release()));
        ASSERT_NE(port, nullptr);
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
        const long rssKb = StatusKb("VmRSS");
        std::atomic<long long> abortedAtMs{-1};
        const Stopwatch watch;
        std::thread aborter([&] {
            if (abort) {
                std::this_thread::sleep_for(300ms);
                abortedAtMs = watch.Ms();
                port->Abort();
            }
        });
        const Outcome out = OpenAndExchange(c, *port, server.Endpoint());
        const long long ms = watch.Ms();
        aborter.join();
        const long grownKb = StatusKb("VmHWM") - rssKb;
        EXPECT_LT(grownKb, kMemoryLimitKb);
        // A storm gets one answer per option at most, never one per request.
        EXPECT_LT(server.BytesFromClient(), c.how == Hostility::OptionStorm ? 2048U : 1U << 20);
        if (abort) {
            EXPECT_EQ(out.first, ECANCELED) << out.second;
            EXPECT_LT(ms - abortedAtMs, 1000);
            continue;
        }
        EXPECT_EQ(port->DroppedBytes() > 0, c.drops);
        EXPECT_LT(ms, (c.exchanges ? kExchangeRunMs : CSocketSerialPort::kOpenBoundMs) + 2000);
        EXPECT_EQ(out.first, c.exchanges ? 0 : ETIMEDOUT) << out.second;
        EXPECT_NE(out.second.find(c.reason), std::string::npos) << out.second;
    }
}

constexpr const char* kNoComPort = "no Telnet COM Port Control (RFC 2217) answer";
const HostileCase kCases[] = {
    {"Rfc2217FloodWhileNegotiating", Hostility::Flood, LineKind::Rfc2217, false, kNoComPort, true},
    {"Rfc2217OptionStorm", Hostility::OptionStorm, LineKind::Rfc2217, false, kNoComPort, false},
    {"Rfc2217Silent", Hostility::Silent, LineKind::Rfc2217, false, kNoComPort, false},
    {"SocketBacklogFull", Hostility::BacklogFull, LineKind::Socket, false,
     "no answer from 127.0.0.1 port", false},
    {"Rfc2217FloodWhileExchanging", Hostility::FloodAfterComPort, LineKind::Rfc2217, true, "",
     true},
    {"TcpFloodWhileExchanging", Hostility::Flood, LineKind::Tcp, true, "", false},
};
INSTANTIATE_TEST_SUITE_P(Peers, HostileServerTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
