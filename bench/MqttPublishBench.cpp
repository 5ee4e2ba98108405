// The MQTT publisher's cost per record on loopback against a mosquitto broker the benchmark
// starts itself: records of about 200 bytes of JSON, at QoS 0 (a record counts when handed to
// the socket) and QoS 1 (when the broker acknowledged it), published in batches and drained.
// records_per_s and us_per_record are the whole path to the broker; caller_us_per_record is
// what Publish itself holds the polling thread for. Each runs against a broker as mosquitto
// ships and one with set_tcp_nodelay.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "BrokerProcess.h"
#include "tools/mqtt/MqttPublisher.h"

namespace {

using namespace std::chrono_literals;

constexpr int kBatch = 1000;
const std::string kTopic = "vornak/bench/records";

// One broker of each kind for the whole run; stopped and its folder removed at the end.
// mosquitto ships with Nagle's algorithm on for its clients' sockets, which holds back its
// acknowledgements while earlier ones are unanswered; plants that tune their broker turn it
// off with set_tcp_nodelay.
mqtt_test::CBrokerProcess* Broker(bool tcpNoDelay) {
    const auto start = [](bool noDelay) {
        auto started = std::make_unique<mqtt_test::CBrokerProcess>();
        mqtt_test::BrokerOptions options;
        options.tcpNoDelay = noDelay;
        if (!mqtt_test::CBrokerProcess::Available() || !started->Start(options)) {
            started.reset();
        }
        return started;
    };
    static std::unique_ptr<mqtt_test::CBrokerProcess> shipped = start(false);
    static std::unique_ptr<mqtt_test::CBrokerProcess> noDelay = start(true);
    return tcpNoDelay ? noDelay.get() : shipped.get();
}

// A record of the kind vornak-poll publishes for one read: 201 bytes.
std::string Record() {
    return "{\"time\":\"2026-01-27T10:15:30.123Z\",\"line\":\"/dev/"
           "ttyUSB0\",\"unit\":17,\"name\":\"meter-1\","
           "\"function\":3,\"address\":40001,\"count\":10,\"values\":[230,231,229,5012,4998,"
           "5003,1200,1187,1194,65535],\"ok\":true,\"ms\":12}";
}

void MqttPublish(benchmark::State& state) {
    mqtt_test::CBrokerProcess* broker = Broker(state.range(1) != 0);
    if (broker == nullptr) {
        state.SkipWithError("no mosquitto broker (scripts/deps.sh installs mosquitto)");
        return;
    }
    mqtt::PublisherSettings settings;
    settings.url.host = "127.0.0.1";
    settings.url.port = broker->Port();
    settings.url.topic = kTopic;
    settings.qos = static_cast<int>(state.range(0));
    mqtt::CMqttPublisher publisher(settings);
    std::string why;
    if (!publisher.Start(why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    const std::string record = Record();
    std::int64_t records = 0;
    std::chrono::nanoseconds inPublish{0};
    const auto runBegin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < kBatch; ++i) {
            publisher.Publish(kTopic, record);
        }
        inPublish += std::chrono::steady_clock::now() - begin;
        if (!publisher.Drain(60s)) {
            state.SkipWithError("the queue did not drain within 60 s");
            break;
        }
        records += kBatch;
    }
    const std::chrono::duration<double, std::micro> run =
        std::chrono::steady_clock::now() - runBegin;
    publisher.Stop();
    state.SetItemsProcessed(records);
    state.SetBytesProcessed(records * static_cast<std::int64_t>(record.size()));
    state.counters["records_per_s"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    if (records > 0) {
        state.counters["us_per_record"] = run.count() / static_cast<double>(records);
        state.counters["caller_us_per_record"] =
            std::chrono::duration<double, std::micro>(inPublish).count() /
            static_cast<double>(records);
    }
    state.counters["dropped"] = static_cast<double>(publisher.Dropped());
}

BENCHMARK(MqttPublish)
    ->ArgNames({"qos", "broker_nodelay"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
