// A long run of the real master against the simulator with its faults switched on at random,
// request by request: every faulty exchange must end in its own result code and the good one
// after it must succeed with the right data, so a fault never leaves the line out of step.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "SlaveProcess.h"
#include "modbus/LocalModbus.h"

namespace {

using namespace std::chrono_literals;

constexpr int kExchanges = 5000;  // per framing, 10,000 in all
// Generous for a loaded machine, where the terminal's buffer can take tens of ms to move on.
constexpr std::uint32_t kTimeoutMs = 80;
constexpr int kLateMs = 120;  // a late answer comes well after the master gave up on it
constexpr std::uint8_t kPort = 5;
constexpr std::uint16_t kRegisters = 64;

struct ModeCase {
    const char* name;
    std::uint16_t mode;
    const char* slaveMode;
    unsigned seed;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.name;
}

const ModeCase kModes[] = {{"Rtu", 0, "rtu", 20261208}, {"Ascii", 1, "ascii", 20261209}};

// One letter per exchange, as the slave's --fault-plan takes it: 2 % each of bad checks and
// wrong ids, 1 % each of the faults that cost a time-out, silence and late answers.
std::string RandomPlan(std::mt19937& rng) {
    std::string plan(kExchanges, '.');
    std::uniform_int_distribution<int> pick(0, 99);
    for (std::size_t i = 1; i < plan.size(); ++i) {
        const int n = pick(rng);
        plan[i] = n < 2 ? 'c' : n < 4 ? 'w' : n < 5 ? 's' : n < 6 ? 'd' : '.';
    }
    return plan;
}

std::uint16_t CodeFor(char fault) {
    switch (fault) {
        case 'c':
            return kModbusCrcError;
        case 's':
        case 'd':
            return kModbusTimeout;
        case 'w':
            return kModbusInvalidResponse;
        default:
            return kModbusOk;
    }
}

// Any answer the slave sent, whatever fault it carried.
bool IsAnswer(const std::string& line) {
    return line.find(" tx ") != std::string::npos;
}

std::string LastLines(CSlaveProcess& slave, std::size_t n) {
    const std::vector<std::string> lines = slave.Lines();
    std::string text;
    for (std::size_t i = lines.size() > n ? lines.size() - n : 0; i < lines.size(); ++i) {
        text += lines[i] + "\n";
    }
    return text;
}

class FaultSoakTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(FaultSoakTest, EveryFaultGetsItsCodeAndTheNextGoodExchangeSucceeds) {
    std::mt19937 rng(GetParam().seed);
    const std::string plan = RandomPlan(rng);
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--mode", GetParam().slaveMode, "--baud", "115200", "--fault-plan",
                             plan, "--delay", std::to_string(kLateMs)}));
    ASSERT_EQ(::setenv("VORNAK_COM5", slave.Path().c_str(), 1), 0);
    CLocalModbus master;
    master.SetMode(GetParam().mode);
    master.SetTimeout(kTimeoutMs);
    master.SetCharInterval(2);
    ASSERT_TRUE(master.Open(kPort, 115200, 0)) << "errno " << master.GetLastPortError();

    WordArray model(kRegisters, 0);  // what the slave's holding registers hold
    std::size_t answersSent = 0;     // every fault but silence still sends an answer
    int faults = 0;
    int recoveries = 0;
    bool afterFault = false;
    std::uniform_int_distribution<int> address(0, kRegisters - 20);
    std::uniform_int_distribution<int> quantity(1, 20);
    std::uniform_int_distribution<int> word(0, 0xFFFF);
    Stopwatch run;
    for (int i = 0; i < kExchanges; ++i) {
        const char fault = plan[static_cast<std::size_t>(i)];
        const auto start = static_cast<std::uint16_t>(address(rng));
        std::uint16_t code = 0;
        if (rng() % 3 == 0) {
            const auto value = static_cast<std::uint16_t>(word(rng));
            code = master.PresetSingleRegister(1, start, value);
            model[start] = value;  // the slave writes whatever becomes of its answer
        } else {
            const auto n = static_cast<std::uint16_t>(quantity(rng));
            WordArray values(n, 0xEEEE);
            code = master.ReadHoldingRegisters(1, start, n, values);
            if (fault == '.' && code == kModbusOk) {
                ASSERT_EQ(values, WordArray(model.begin() + start, model.begin() + start + n))
                    << "exchange " << i;
            }
        }
        ASSERT_EQ(code, CodeFor(fault)) << "exchange " << i << " fault '" << fault << "'\n"
                                        << LastLines(slave, 6);
        if (fault != 's') {
            ++answersSent;
        }
        if (fault == 'd') {
            // The late answer lands before the next request, whose purge drops it: the log line
            // follows the write, and the kernel moves the bytes on a moment later.
            ASSERT_TRUE(slave.WaitForLines(IsAnswer, answersSent, 5s)) << "exchange " << i;
            std::this_thread::sleep_for(5ms);  // from the terminal's buffer to the line's queue
        }
        if (fault != '.') {
            ++faults;
            afterFault = true;
        } else if (afterFault) {
            ++recoveries;
            afterFault = false;
        }
    }
    const double seconds = static_cast<double>(run.Ms()) / 1000.0;
    std::printf("%s: %d exchanges, %d faults, %d recoveries, %.1f s\n", GetParam().name, kExchanges,
                faults, recoveries, seconds);
    EXPECT_GT(faults, kExchanges / 25);
    EXPECT_GT(recoveries, faults / 2);
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, FaultSoakTest, ::testing::ValuesIn(kModes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
