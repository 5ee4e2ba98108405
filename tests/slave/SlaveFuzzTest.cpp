// Random bytes through every stage of the simulator: nothing may crash, hang or answer
// something malformed.

#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "protocol/FunctionTable.h"
#include "tools/slave/AsciiFramer.h"
#include "tools/slave/RtuFramer.h"
#include "tools/slave/SlaveDataModel.h"
#include "tools/slave/SlaveDevice.h"

namespace slave {
namespace {

using namespace std::chrono_literals;

// The functions the simulator serves, so that random requests mostly reach one.
constexpr std::uint8_t kServed[] = {1,  2,  3,  4,  5,  6,  7,  8,  11, 12,
                                    15, 16, 17, 20, 21, 22, 23, 24, 43};

// An answer the table knows the length of from its own bytes has exactly that length; one it
// cannot tell (diagnostics' echo of any data) repeats the request.
void ExpectTableLength(const Bytes& request, const Bytes& answer) {
    const protocol::PduView pdu(answer.data() + 1, answer.size() - 1);
    const protocol::PduLength length = protocol::LengthOf(protocol::Role::Answer, pdu);
    if (length.fit == protocol::PduLength::Fit::Unknown) {
        EXPECT_EQ(answer, request);
        return;
    }
    ASSERT_EQ(length.fit, protocol::PduLength::Fit::Length);
    EXPECT_EQ(length.length, pdu.size());
}

// An answer is either an exception for the request's function or a normal answer of a
// length the request decides.
void ExpectWellFormed(const Bytes& request, const SlaveReply& reply) {
    if (reply.kind != SlaveReply::Kind::Answer) {
        EXPECT_TRUE(reply.answer.empty());
        return;
    }
    ASSERT_GE(reply.answer.size(), 3u);
    EXPECT_EQ(reply.answer[0], request[0]);
    if (reply.answer[1] & 0x80) {
        EXPECT_EQ(reply.answer.size(), 3u);
        EXPECT_EQ(reply.answer[1], request[1] | 0x80);
        EXPECT_GE(reply.answer[2], 1);
        EXPECT_LE(reply.answer[2], 3);
        return;
    }
    if (request[1] == 43) {
        ASSERT_GE(reply.answer.size(), 8u);
        EXPECT_EQ(request.size(), 5u);
        EXPECT_LE(reply.answer.size(), 254u);
        EXPECT_GE(reply.answer[7], 1);
        return;
    }
    if (request[1] == 17) {
        EXPECT_EQ(request.size(), 2u);
        EXPECT_EQ(reply.answer[2], reply.answer.size() - 3u);
        return;
    }
    if (request[1] == 15 || request[1] == 16) {
        ASSERT_GE(request.size(), 6u);
        EXPECT_EQ(reply.answer, Bytes(request.begin(), request.begin() + 6));
        return;
    }
    if (request[1] > 6) {
        ExpectTableLength(request, reply.answer);
        return;
    }
    ASSERT_EQ(request.size(), 6u);
    const int quantity = request[4] << 8 | request[5];
    switch (request[1]) {
        case 1:
        case 2:
            EXPECT_EQ(reply.answer.size(), 3u + static_cast<unsigned>((quantity + 7) / 8));
            EXPECT_EQ(reply.answer[2], reply.answer.size() - 3u);
            break;
        case 3:
        case 4:
            EXPECT_EQ(reply.answer.size(), 3u + 2u * static_cast<unsigned>(quantity));
            EXPECT_EQ(reply.answer[2], reply.answer.size() - 3u);
            break;
        default:
            EXPECT_EQ(reply.answer, request);
    }
}

TEST(SlaveFuzz, RandomMessagesGetWellFormedAnswers) {
    std::mt19937 rng(20240601);
    CRegisterBank bank(300);
    CSlaveDataModel model(bank);
    CSlaveDevice protocol(model, {1});
    for (int i = 0; i < 20000; ++i) {
        Bytes request(rng() % 16);
        for (auto& b : request) {
            b = static_cast<std::uint8_t>(rng());
        }
        if (!request.empty() && rng() % 2 == 0) {
            request[0] = 1;  // mostly for us, so the functions are exercised
        }
        if (request.size() >= 2 && rng() % 2 == 0) {
            request[1] = kServed[rng() % std::size(kServed)];
        }
        if (request.size() >= 6 && rng() % 2 == 0) {
            request[2] = 0;  // small addresses reach the data
            request[4] = 0;
        }
        const SlaveReply reply = protocol.Handle(request, rng());
        if (request.size() < 2) {
            EXPECT_EQ(reply.kind, SlaveReply::Kind::Short);
            continue;
        }
        ExpectWellFormed(request, reply);
    }
}

TEST(SlaveFuzz, RandomStreamsThroughTheFramers) {
    std::mt19937 rng(7);
    CRtuFramer rtu(1750us);
    CAsciiFramer ascii;
    CRegisterBank bank(10000);
    CSlaveDataModel model(bank);
    CSlaveDevice protocol(model, {1});
    CRtuFramer::Clock::time_point t{};
    std::string alphabet = ":0123456789ABCDEFabcdefG\r\n";
    alphabet += '\0';
    alphabet += '\xFF';
    int frames = 0;
    for (int i = 0; i < 20000; ++i) {
        Bytes chunk(rng() % 40);
        for (auto& b : chunk) {
            b = rng() % 3 == 0 ? static_cast<std::uint8_t>(rng())
                               : static_cast<std::uint8_t>(alphabet[rng() % alphabet.size()]);
        }
        t += std::chrono::microseconds(rng() % 4000);
        rtu.Feed(chunk.data(), chunk.size(), t);
        ascii.Feed(chunk.data(), chunk.size());
        if (auto frame = rtu.Take(t + std::chrono::microseconds(rng() % 4000))) {
            ++frames;
            EXPECT_LE(frame->frame.size(), CRtuFramer::kMaxFrame);
            if (frame->status == FrameStatus::Ok) {
                ExpectWellFormed(frame->message, protocol.Handle(frame->message, 0));
            }
        }
        while (auto text = ascii.Next()) {
            ++frames;
            EXPECT_LE(text->text.size(), CAsciiFramer::kMaxText);
            const DecodedFrame decoded = AsciiDecode(text->text);
            if (decoded.status == FrameStatus::Ok) {
                ExpectWellFormed(decoded.message, protocol.Handle(decoded.message, 0));
            }
        }
    }
    EXPECT_GT(frames, 100);
}

TEST(SlaveFuzz, ValidFramesSurviveNoiseAround) {
    // Requests with a good check, mixed into noise, are still recognised in ASCII.
    std::mt19937 rng(99);
    CAsciiFramer ascii;
    int good = 0;
    for (int i = 0; i < 500; ++i) {
        std::string noise(rng() % 20, 'x');
        for (auto& c : noise) {
            c = static_cast<char>('G' + rng() % 20);
        }
        const std::string line =
            noise + AsciiEncode({1, 3, 0, static_cast<std::uint8_t>(i), 0, 1}, false);
        ascii.Feed(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
        while (auto frame = ascii.Next()) {
            const DecodedFrame d = AsciiDecode(frame->text);
            ASSERT_EQ(d.status, FrameStatus::Ok);
            EXPECT_EQ(d.message[3], static_cast<std::uint8_t>(i));
            ++good;
        }
    }
    EXPECT_EQ(good, 500);
}

}  // namespace
}  // namespace slave
