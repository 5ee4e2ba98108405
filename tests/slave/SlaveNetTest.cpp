// The simulator as a Modbus TCP and UDP device on loopback, the test playing the master with
// plain sockets: exact ADUs, broken streams and several clients.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <memory>
#include <thread>

#include "NetClient.h"
#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;

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

TEST(SlaveNet, EveryClientGetsItsOwnAnswersAndTheIdlestMakesRoom) {
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
    // Client 0 has waited longest since it last spoke: a 33rd client takes its place.
    for (std::uint8_t i = 1; i < 32; ++i) {
        clients[i]->Send(write(i));
        EXPECT_EQ(clients[i]->Receive(12, 2s), write(i)) << +i;
    }
    const CNetClient extra(true, slave.Path());
    extra.Send(kReadOne);
    EXPECT_EQ(extra.Receive(11, 2s), (Bytes{0, 1, 0, 0, 0, 5, 1, 3, 2, 0x10, 0}));
    EXPECT_TRUE(clients[0]->Closed(2s));
}

TEST(SlaveNet, AClientIdlePastTheLimitIsClosed) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--tcp", "0", "--idle-timeout", "1"}));
    const CNetClient idle(true, slave.Path());
    const CNetClient busy(true, slave.Path());
    for (int i = 0; i < 6; ++i) {
        busy.Send(kReadOne);
        EXPECT_EQ(busy.Receive(11, 2s).size(), 11u);
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_TRUE(idle.Closed(1s));
    busy.Send(kReadOne);
    EXPECT_EQ(busy.Receive(11, 2s).size(), 11u);
}

}  // namespace
