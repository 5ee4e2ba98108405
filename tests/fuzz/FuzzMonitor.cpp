// The monitor's decoder on whatever a line may hear, in pieces at any times: it never crashes,
// reports a frame only with a good check, decides everything held once the line is quiet,
// and lets its deadlines move on.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "protocol/Crc16.h"
#include "protocol/Lrc.h"
#include "tests/fuzz/FuzzInput.h"
#include "tools/monitor/BusDecoder.h"

namespace {

using namespace std::chrono_literals;
using monitor::Clock;

void Require(bool held, const char* what) {
    if (!held) {
        std::fprintf(stderr, "FuzzMonitor: %s\n", what);
        std::abort();
    }
}

bool RtuCheckIsGood(const monitor::Bytes& frame) {
    if (frame.size() < 4 || frame.size() > 256) {
        return false;
    }
    const std::uint16_t crc = CCrc16::Compute(frame.data(), frame.size() - 2);
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

bool AsciiCheckIsGood(const monitor::Bytes& text) {
    if (text.size() < 6 || text.size() % 2 != 0) {
        return false;
    }
    std::uint8_t sum = 0;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        const char high = static_cast<char>(std::toupper(text[at]));
        const char low = static_cast<char>(std::toupper(text[at + 1]));
        sum = static_cast<std::uint8_t>(sum + HexDigitsToByte(high, low));
    }
    return sum == 0;
}

// Ticks at each deadline up to `until`, as the program does between reads.
void TickUntil(monitor::CBusDecoder& decoder, Clock::time_point until) {
    int ticks = 0;
    for (auto due = decoder.Deadline(); due && *due <= until; due = decoder.Deadline()) {
        decoder.Tick(*due);
        Require(++ticks < 100, "a deadline does not move on");
    }
}

struct Heard {
    std::size_t fed = 0;
    std::size_t inRecords = 0;
};

void Check(monitor::CBusDecoder& decoder, monitor::MonitorMode mode, Heard& heard) {
    for (const monitor::MonitorRecord& record : decoder.Take()) {
        heard.inRecords += record.bytes.size();
        if (record.kind == monitor::RecordKind::Noise) {
            continue;
        }
        Require(record.slave && record.function, "a frame without address or function");
        if (mode == monitor::MonitorMode::Rtu) {
            Require(RtuCheckIsGood(record.bytes), "an RTU frame with a bad CRC");
        } else if (mode == monitor::MonitorMode::Ascii) {
            Require(AsciiCheckIsGood(record.bytes), "an ASCII frame with a bad LRC");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t setup = input.Byte();
    monitor::DecoderSettings settings;
    settings.mode = static_cast<monitor::MonitorMode>(setup % 3);
    static constexpr std::chrono::microseconds kCharacters[] = {1146us, 95us, 36667us, 573us};
    settings.characterTime = kCharacters[(setup >> 2) % 4];
    monitor::CBusDecoder decoder(settings);

    // Pieces of up to 255 bytes, each after a gap of up to 64 ms.
    const monitor::Bytes rest = input.Rest();
    Heard heard;
    Clock::time_point now = Clock::time_point{} + 1h;
    for (std::size_t at = 0; at + 2 <= rest.size();) {
        const std::size_t count = std::min<std::size_t>(rest[at], rest.size() - at - 2);
        now += std::chrono::microseconds(rest[at + 1] * 250);
        TickUntil(decoder, now);
        decoder.Feed(rest.data() + at + 2, count, now);
        heard.fed += count;
        at += 2 + count;
        Check(decoder, decoder.Mode(), heard);
    }
    // Quiet for longer than any wait: nothing is held any more.
    TickUntil(decoder, now + 3s);
    Check(decoder, decoder.Mode(), heard);
    if (settings.mode == monitor::MonitorMode::Rtu) {
        Require(heard.inRecords == heard.fed, "RTU bytes held or lost after a quiet line");
        Require(decoder.NoiseBytes() <= heard.fed, "more noise than bytes");
    }
    decoder.Finish(now + 3s);
    Check(decoder, decoder.Mode(), heard);
    Require(!decoder.Deadline(), "a deadline after the end");
    return 0;
}
