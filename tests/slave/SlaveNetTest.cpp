// The simulator as a Modbus TCP and UDP device on loopback, the test playing the master with
// plain sockets: exact ADUs, broken streams, several clients, and mbpoll as an outside master.

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// "127.0.0.1:5020" -> "5020".
std::string Port(const std::string& address) {
    return address.substr(address.rfind(':') + 1);
}

// A master's socket to the simulator: a TCP stream, or a UDP socket that hears only it.
class CNetClient {
public:
    CNetClient(bool tcp, const std::string& address) : m_bTcp(tcp) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(std::stoi(Port(address))));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_fd = ::socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~CNetClient() { ::close(m_fd); }
    CNetClient(const CNetClient&) = delete;
    CNetClient& operator=(const CNetClient&) = delete;

    int Fd() const { return m_fd; }
    void Send(const Bytes& bytes) const { ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Up to n bytes (one datagram over UDP) within the time-out; empty when the peer closed.
    Bytes Receive(std::size_t n, std::chrono::milliseconds timeout) const {
        Bytes bytes;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (bytes.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd in = {m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&in, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            std::uint8_t buffer[300];
            // A datagram is taken whole, so that one too long shows.
            const std::size_t want =
                m_bTcp ? std::min(sizeof buffer, n - bytes.size()) : sizeof buffer;
            const ssize_t got = ::recv(m_fd, buffer, want, 0);
            if (got <= 0) {
                break;
            }
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }
    // The server closed the stream within the time-out.
    bool Closed(std::chrono::milliseconds timeout) const {
        pollfd in = {m_fd, POLLIN, 0};
        std::uint8_t byte;
        return ::poll(&in, 1, static_cast<int>(timeout.count())) == 1 &&
               ::recv(m_fd, &byte, 1, 0) <= 0;
    }

private:
    bool m_bTcp;
    int m_fd = -1;
};

const Bytes kReadOne{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
const Bytes kReadOneAnswer{0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x00, 0x00};

TEST(SlaveNet, AnswersEachRequestWithExactBytes) {
    struct Row {
        std::vector<std::string> args;  // a new simulator whenever they change
        Bytes request;
        Bytes answer;          // empty: none within 300 ms
        std::size_t size = 0;  // when the answer above is only its first bytes: all of it
        int lateMs = 0;
    };
    const Row rows[] = {
        {{}, {0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 2}, {0, 1, 0, 0, 0, 7, 1, 3, 4, 0, 0, 0, 0}},
        // Units 0 and 255 are the device itself.
        {{},
         {0, 2, 0, 0, 0, 6, 255, 6, 0, 1, 0x12, 0x34},
         {0, 2, 0, 0, 0, 6, 255, 6, 0, 1, 0x12, 0x34}},
        {{}, {0, 3, 0, 0, 0, 6, 0, 3, 0, 0, 0, 2}, {0, 3, 0, 0, 0, 7, 0, 3, 4, 0, 0, 0x12, 0x34}},
        // Input registers move with time: header, function and count are exact.
        {{}, {0x12, 0x34, 0, 0, 0, 6, 1, 4, 0, 5, 0, 1}, {0x12, 0x34, 0, 0, 0, 5, 1, 4, 2}, 11},
        {{}, {0, 5, 0, 0, 0, 2, 1, 0x41}, {0, 5, 0, 0, 0, 3, 1, 0xC1, 1}},
        {{}, {0, 6, 0, 0, 0, 6, 1, 3, 0x27, 0x10, 0, 1}, {0, 6, 0, 0, 0, 3, 1, 0x83, 2}},
        {{}, {0, 7, 0, 0, 0, 6, 7, 3, 0, 0, 0, 1}, {}},
        {{}, {0, 8, 0, 0, 0, 6, 1, 3, 0, 1, 0, 1}, {0, 8, 0, 0, 0, 5, 1, 3, 2, 0x12, 0x34}},
        {{"--id", "9"}, {0, 1, 0, 0, 0, 6, 9, 3, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 5, 9, 3, 2, 0, 0}},
        {{"--id", "9"}, kReadOne, {}},
        {{"--corrupt", "1"},
         {0x12, 0x34, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1},
         {0xED, 0xCB, 0, 0, 0, 5, 1, 3, 2, 0, 0}},
        {{"--wrong-id"}, kReadOne, {0, 1, 0, 0, 0, 5, 2, 3, 2, 0, 0}},
        {{"--wrong-id"}, {0, 1, 0, 0, 0, 6, 255, 3, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 5, 1, 3, 2, 0, 0}},
        {{"--silent"}, kReadOne, {}},
        {{"--delay", "300"}, kReadOne, kReadOneAnswer, 0, 300},
        // Functions 16 and 15 echo start and quantity; what they wrote reads back.
        {{},
         {0, 9, 0, 0, 0, 11, 1, 16, 0, 2, 0, 2, 4, 0xAB, 0xCD, 0, 1},
         {0, 9, 0, 0, 0, 6, 1, 16, 0, 2, 0, 2}},
        {{}, {0, 10, 0, 0, 0, 6, 1, 3, 0, 2, 0, 2}, {0, 10, 0, 0, 0, 7, 1, 3, 4, 0xAB, 0xCD, 0, 1}},
        {{}, {0, 11, 0, 0, 0, 8, 1, 15, 0, 0, 0, 3, 1, 5}, {0, 11, 0, 0, 0, 6, 1, 15, 0, 0, 0, 3}},
        {{}, {0, 12, 0, 0, 0, 6, 1, 1, 0, 0, 0, 3}, {0, 12, 0, 0, 0, 4, 1, 1, 1, 5}},
        {{}, {0, 13, 0, 0, 0, 8, 1, 15, 0, 0, 0, 9, 1, 5}, {0, 13, 0, 0, 0, 3, 1, 0x8F, 3}},
    };
    for (const char* transport : {"--tcp", "--udp"}) {
        std::unique_ptr<CSlaveProcess> slave;
        std::unique_ptr<CNetClient> client;
        const std::vector<std::string>* args = nullptr;
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << transport << ", row " << &row - rows);
            if (args == nullptr || *args != row.args) {
                args = &row.args;
                client.reset();
                slave = std::make_unique<CSlaveProcess>();
                std::vector<std::string> all{transport, "0"};
                all.insert(all.end(), row.args.begin(), row.args.end());
                ASSERT_TRUE(slave->Start(all));
                client = std::make_unique<CNetClient>(transport[2] == 't', slave->Path());
                ASSERT_GE(client->Fd(), 0) << slave->FirstLine();
            }
            const Stopwatch watch;
            client->Send(row.request);
            Bytes answer = row.answer.empty()
                               ? client->Receive(1, 300ms)
                               : client->Receive(row.size ? row.size : row.answer.size(), 2s);
            answer.resize(std::min(answer.size(), row.answer.size()));
            EXPECT_EQ(answer, row.answer);
            EXPECT_GE(watch.Ms(), row.lateMs);
            if (&row == rows) {
                const bool tcp = transport[2] == 't';
                EXPECT_EQ(slave->FirstLine(), "vornak-slave: listening on " + slave->Path() +
                                                  (tcp ? " (TCP, id 1)" : " (UDP, id 1)"));
                EXPECT_EQ(slave->Path().rfind("127.0.0.1:", 0), 0u);
                ASSERT_TRUE(slave->WaitForLines(IsFrame("tx"), 1, 2s));
                const auto lines = slave->Lines();
                EXPECT_EQ(lines.at(0).substr(12), " rx 00 01 00 00 00 06 01 03 00 00 00 02");
                EXPECT_EQ(lines.at(1).substr(12), " tx 00 01 00 00 00 07 01 03 04 00 00 00 00");
            }
        }
    }
}

TEST(SlaveNet, ABrokenStreamClosesOnlyItsConnection) {
    struct Row {
        Bytes bytes;
        std::string note;  // over TCP; a datagram is a "bad header" whenever it does not fit
    };
    const Row rows[] = {
        {{0, 1, 0, 1, 0, 6, 1, 3, 0, 0, 0, 1}, "bad header"},  // protocol id 1
        {{0, 1, 0, 0, 0, 0}, "bad header"},                    // length 0
        {{0, 1, 0, 0, 0, 255, 1, 3}, "bad header"},            // longer than any ADU
        {{0, 1, 0, 0, 0, 6, 1, 3}, "incomplete"},              // the rest never comes
        {{0, 1, 0, 0, 0, 5, 1, 3, 0, 0, 0, 1}, ""},  // a stream reads on, a datagram is too long
    };
    for (const bool tcp : {true, false}) {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({tcp ? "--tcp" : "--udp", "0"}));
        const CNetClient steady(tcp, slave.Path());
        std::map<std::string, std::size_t> notes;
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << (tcp ? "tcp" : "udp") << ", row " << &row - rows);
            const std::string note = tcp ? row.note : "bad header";
            if (note.empty()) {
                continue;
            }
            const CNetClient broken(tcp, slave.Path());
            broken.Send(row.bytes);
            if (tcp) {
                // The 2 s bound on a request's arrival, and 2 s to spare.
                EXPECT_TRUE(broken.Closed(4s));
            } else {
                EXPECT_TRUE(broken.Receive(1, 300ms).empty());
            }
            EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", note), ++notes[note], 2s));
            steady.Send(kReadOne);
            EXPECT_EQ(steady.Receive(kReadOneAnswer.size(), 2s), kReadOneAnswer);
        }
    }
}

TEST(SlaveNet, EveryClientGetsItsOwnAnswersUpToTheLimit) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--tcp", "0"}));
    std::vector<std::unique_ptr<CNetClient>> clients;
    for (std::uint8_t i = 0; i < 32; ++i) {
        clients.push_back(std::make_unique<CNetClient>(true, slave.Path()));
    }
    // All ask before any reads: register i becomes 0x10ii, then each reads its own back.
    for (std::uint8_t i = 0; i < 32; ++i) {
        clients[i]->Send({0, i, 0, 0, 0, 6, 1, 6, 0, i, 0x10, i});
    }
    for (std::uint8_t i = 0; i < 32; ++i) {
        EXPECT_EQ(clients[i]->Receive(12, 2s), (Bytes{0, i, 0, 0, 0, 6, 1, 6, 0, i, 0x10, i}));
        clients[i]->Send({1, i, 0, 0, 0, 6, 1, 3, 0, i, 0, 1});
    }
    for (std::uint8_t i = 0; i < 32; ++i) {
        EXPECT_EQ(clients[i]->Receive(11, 2s), (Bytes{1, i, 0, 0, 0, 5, 1, 3, 2, 0x10, i})) << +i;
    }
    const CNetClient extra(true, slave.Path());
    EXPECT_TRUE(extra.Closed(2s));
    clients[0].reset();
    const CNetClient next(true, slave.Path());
    next.Send(kReadOne);
    EXPECT_EQ(next.Receive(11, 2s), (Bytes{0, 1, 0, 0, 0, 5, 1, 3, 2, 0x10, 0}));
}

TEST(SlaveNet, AClientKilledMidFrameStopsNoOther) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--tcp", "0"}));
    pid_t child = -1;
    {
        const CNetClient doomed(true, slave.Path());
        ASSERT_GE(doomed.Fd(), 0);
        doomed.Send(Bytes(kReadOne.begin(), kReadOne.begin() + 5));
        child = ::fork();
        if (child == 0) {
            ::pause();
            ::_exit(0);
        }
    }  // now only the child holds that connection
    ASSERT_GT(child, 0);
    const CNetClient other(true, slave.Path());
    other.Send(kReadOne);
    EXPECT_EQ(other.Receive(kReadOneAnswer.size(), 2s), kReadOneAnswer);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    // Well before the 2 s bound would have cut the request off.
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "incomplete"), 1, 1500ms));
    other.Send(kReadOne);
    EXPECT_EQ(other.Receive(kReadOneAnswer.size(), 2s), kReadOneAnswer);
}

TEST(SlaveNet, MbpollReadsAndWritesOverTcp) {
    const std::string mbpoll = "/usr/bin/mbpoll";
    if (::access(mbpoll.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "mbpoll is not installed (scripts/deps.sh installs it)";
    }
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--tcp", "0"}));
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Row rows[] = {
        {{"-r", "2", "127.0.0.1", "4660"}, 0, "Written 1 references."},
        {{"-r", "1", "-c", "3", "127.0.0.1"}, 0, "[1]: \t0\n[2]: \t4660\n[3]: \t0\n"},
        {{"-r", "20000", "127.0.0.1"}, 1, "Illegal data address"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args{"-m", "tcp", "-p", Port(slave.Path()), "-a", "1",
                                      "-t", "4",   "-1"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const SlaveRun run = RunProgramToEnd(mbpoll, args, 10s);
        EXPECT_EQ(run.status, row.status) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(row.out), std::string::npos) << run.out << run.err;
    }
}

}  // namespace
