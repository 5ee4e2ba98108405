// The simulator as a Modbus TCP and UDP device on loopback, the test playing the master with
// plain sockets: exact ADUs, broken streams and several clients.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <memory>

#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A master's socket to the simulator: a TCP stream, or a UDP socket that hears only it.
class CNetClient {
public:
    CNetClient(bool tcp, const std::string& address) : m_bTcp(tcp) {
        const auto port =
            static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
        const sockaddr_in to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        m_fd = ::socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~CNetClient() { ::close(m_fd); }

    int Fd() const { return m_fd; }
    void Send(const Bytes& bytes) const { ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Up to n bytes (one datagram, taken whole so that one too long shows) within the time-out.
    Bytes Receive(std::size_t n, std::chrono::milliseconds timeout) const {
        const timeval limit{timeout.count() / 1000, timeout.count() % 1000 * 1000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        Bytes bytes(m_bTcp ? n : 300);
        errno = 0;
        const ssize_t got = ::recv(m_fd, bytes.data(), bytes.size(), MSG_WAITALL);
        bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        return bytes;
    }
    // The server closed or reset the stream within the time-out.
    bool Closed(std::chrono::milliseconds timeout) const {
        return Receive(1, timeout).empty() && errno != EAGAIN;
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
        Bytes answer;  // empty: none within 300 ms
    };
    const Row rows[] = {
        {{}, {0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 2}, {0, 1, 0, 0, 0, 7, 1, 3, 4, 0, 0, 0, 0}},
        // Units 0 and 255 are the device itself.
        {{},
         {0, 2, 0, 0, 0, 6, 255, 6, 0, 1, 0x12, 0x34},
         {0, 2, 0, 0, 0, 6, 255, 6, 0, 1, 0x12, 0x34}},
        {{}, {0, 3, 0, 0, 0, 6, 0, 3, 0, 0, 0, 2}, {0, 3, 0, 0, 0, 7, 0, 3, 4, 0, 0, 0x12, 0x34}},
        {{}, {0, 6, 0, 0, 0, 6, 1, 3, 0x27, 0x10, 0, 1}, {0, 6, 0, 0, 0, 3, 1, 0x83, 2}},
        {{"--corrupt", "1"},
         {0x12, 0x34, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1},
         {0xED, 0xCB, 0, 0, 0, 5, 1, 3, 2, 0, 0}},
        // Unit 0 answers as the first listed.
        {{"--id", "3,17"}, {0, 4, 0, 0, 0, 2, 0, 17}, {0,   4,   0,    0,   0,   17,  0,   17,
                                                       14,  3,   0xFF, 'v', 'o', 'r', 'n', 'a',
                                                       'k', '-', 's',  'l', 'a', 'v', 'e'}},
        {{"--wrong-id"}, kReadOne, {0, 1, 0, 0, 0, 5, 2, 3, 2, 0, 0}},
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
            client->Send(row.request);
            const bool none = row.answer.empty();
            EXPECT_EQ(client->Receive(none ? 1 : row.answer.size(), none ? 300ms : 2s), row.answer);
            if (&row == rows) {
                EXPECT_EQ(slave->FirstLine(),
                          "vornak-slave: listening on 127.0.0.1:" + slave->Path().substr(10) +
                              (transport[2] == 't' ? " (TCP, id 1)" : " (UDP, id 1)"));
            }
        }
    }
}

TEST(SlaveNet, ABrokenStreamClosesOnlyItsConnection) {
    struct Row {
        Bytes bytes;
        std::string note;  // over TCP; a datagram is a "bad header" whenever it does not fit
        bool hangUp = false;
    };
    const Row rows[] = {
        {{0, 1, 0, 1, 0, 6, 1, 3, 0, 0, 0, 1}, "bad header"},  // protocol id 1
        {{0, 1, 0, 0, 0, 255, 1, 3}, "bad header"},            // longer than any ADU
        {{0, 1, 0, 0, 0, 6, 1, 3}, "incomplete"},              // the rest never comes
        {{0, 1, 0, 0, 0, 6, 1, 3}, "incomplete", true},        // the client hangs up mid-frame
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
            auto broken = std::make_unique<CNetClient>(tcp, slave.Path());
            broken->Send(row.bytes);
            if (row.hangUp) {
                broken.reset();
            } else {  // over TCP, the 2 s bound on a request and 2 s to spare
                EXPECT_TRUE(tcp ? broken->Closed(4s) : broken->Receive(1, 300ms).empty());
            }
            // A hang-up is told well before the 2 s bound would have cut the request off.
            EXPECT_TRUE(
                slave.WaitForLines(IsFrame("rx", note), ++notes[note], row.hangUp ? 1500ms : 2s));
            steady.Send(kReadOne);
            EXPECT_EQ(steady.Receive(kReadOneAnswer.size(), 2s), kReadOneAnswer);
        }
    }
}

TEST(SlaveNet, EveryClientGetsItsOwnAnswersUpToTheLimit) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--tcp", "0"}));
    // All ask before any reads: register i becomes 0x10ii, each write echoed to its own client.
    std::vector<std::unique_ptr<CNetClient>> clients;
    const auto write = [](std::uint8_t i) { return Bytes{0, i, 0, 0, 0, 6, 1, 6, 0, i, 0x10, i}; };
    for (std::uint8_t i = 0; i < 32; ++i) {
        clients.push_back(std::make_unique<CNetClient>(true, slave.Path()));
        clients[i]->Send(write(i));
    }
    for (std::uint8_t i = 0; i < 32; ++i) {
        EXPECT_EQ(clients[i]->Receive(12, 2s), write(i)) << +i;
    }
    const CNetClient extra(true, slave.Path());
    EXPECT_TRUE(extra.Closed(2s));
    clients[0].reset();
    const CNetClient next(true, slave.Path());
    next.Send(kReadOne);
    EXPECT_EQ(next.Receive(11, 2s), (Bytes{0, 1, 0, 0, 0, 5, 1, 3, 2, 0x10, 0}));
}

}  // namespace
