// A 60-point power analyser read by its register map at 9600 bit/s over a paced line: the
// joined requests of --map against one request per point. The wire is the limit, so each is
// set beside the computed wire time of the joined requests: their frames' characters and the
// slave's 3.5-character silence after each request.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "SlaveLine.h"
#include "modbus/LocalModbus.h"
#include "tools/poll/MapReader.h"
#include "tools/profile/LoadProfile.h"

namespace {

constexpr std::uint8_t kPort = 3;
constexpr std::uint32_t kBaud = 9600;
constexpr double kCharMs = 10.0 * 1000.0 / kBaud;  // 8N1
constexpr double kRequestChars = 8;                // address, function, start, count, CRC
constexpr double kAnswerHeaderChars = 5;           // address, function, byte count, CRC
constexpr double kSilenceChars = 3.5;

double WireMs(const std::vector<poll::MapRequest>& requests) {
    double chars = 0;
    for (const poll::MapRequest& r : requests) {
        const bool bits =
            r.table == profile::PointTable::Coil || r.table == profile::PointTable::DiscreteInput;
        const double data = bits ? (r.count + 7) / 8 : 2.0 * r.count;
        chars += kRequestChars + kAnswerHeaderChars + data + kSilenceChars;
    }
    return chars * kCharMs;
}

void ReadMeter(benchmark::State& state, bool joined) {
    std::string why;
    const auto profile = profile::LoadProfile(VORNAK_BENCH_DIR "/profiles/meter60.toml", why);
    if (!profile) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::vector<const profile::Point*> points;
    for (const profile::Point& point : profile->points) {
        points.push_back(&point);
    }
    // One reader for the map, or one for each point, each then sending its single read.
    std::vector<std::unique_ptr<poll::CMapReader>> readers;
    if (joined) {
        readers.push_back(std::make_unique<poll::CMapReader>(points, 8, 0));
    } else {
        for (const profile::Point* point : points) {
            readers.push_back(std::make_unique<poll::CMapReader>(
                std::vector<const profile::Point*>{point}, 8, 0));
        }
    }
    std::vector<poll::MapRequest> sent;
    for (const auto& reader : readers) {
        sent.insert(sent.end(), reader->Plan(1).begin(), reader->Plan(1).end());
    }
    CLocalModbus master;
    master.SetTimeout(1000);
    CSlaveChild slave;
    // The table device: every address exists, as on most meters, so no read is refused.
    if (!OpenOnSlave(state, slave, {"--baud", "9600", "--pace"}, master, kPort, kBaud)) {
        return;
    }
    for (auto _ : state) {
        for (const auto& reader : readers) {
            const poll::MapPoll poll = reader->Read(master, 1);
            for (const std::uint16_t code : poll.results) {
                if (code != kModbusOk) {
                    state.SkipWithError(master.GetErrorText(code).c_str());
                    return;
                }
            }
        }
    }
    const auto joinedPlan = poll::CMapReader(points, 8, 0).Plan(1);
    state.counters["requests"] = static_cast<double>(sent.size());
    state.counters["wire_ms"] = WireMs(sent);
    state.counters["joined_wire_ms"] = WireMs(joinedPlan);
    state.counters["points"] = static_cast<double>(points.size());
}

void BM_Meter60Joined(benchmark::State& state) {
    ReadMeter(state, true);
}
void BM_Meter60PerPoint(benchmark::State& state) {
    ReadMeter(state, false);
}

BENCHMARK(BM_Meter60Joined)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_Meter60PerPoint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
