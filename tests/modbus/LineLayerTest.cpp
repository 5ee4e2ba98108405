// The layers a mapped device's options put around a line, driven by the real master over the
// scripted port: RS-485 direction control, the frame trace, the drain, refused options.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <regex>
#include <thread>
#include <tuple>

#include "lines/LinePort.h"
#include "lines/Rs485Port.h"
#include "lines/TracePort.h"
#include "tests/modbus/LineFixture.h"
#include "tests/support/ProcessCpu.h"

namespace {

using Lines = std::vector<std::string>;

// The file's lines, each without a leading trace time stamp and a trailing exchange time.
Lines FileLines(const std::string& path) {
    static const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*?)( \(\d+ ms\))?$)");
    std::ifstream in(path);
    Lines lines;
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        lines.push_back(std::regex_match(line, m, stamp) ? m[1].str() : line);
    }
    return lines;
}

TEST(Rs485Test, DirectionControlAroundEachFrameOrTheReasonItCannot) {
    struct Case {
        int kernel, rts;  // the driver's answers to its RS-485 mode and to RTS
        bool rtsHigh;
        std::uint32_t before, after;
        const char* calls;  // the line calls of the open and of an exchange up to its first read
        const char* refusal = "";
    };
    const Case cases[] = {
        {0, 0, true, 2, 3, "rs485, rs485, write"},
        {ENOTTY, 0, true, 0, 0, "rs485, rts low, rts low, rts high, write, sent, rts low"},
        {EINVAL, 0, false, 2, 3,
         "rs485, rts high, rts high, rts low, sleep 2, write, sent, sleep 3, rts high"},
        {ENOTTY, EINVAL, true, 0, 0, "rs485, rts low", "RTS cannot be driven"},
        {EPERM, 0, true, 0, 0, "rs485", "refused its RS-485 mode"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.calls);
        auto scripted = std::make_unique<CScriptedPort>();
        CScriptedPort& port = *scripted;
        port.rs485Error = c.kernel;
        port.rtsError = c.rts;
        auto layer = std::make_unique<CRs485Port>(std::move(scripted),
                                                  Rs485Settings{c.rtsHigh, c.before, c.after});
        layer->sleep = [&port](auto ms) { port.calls.push_back("sleep " + std::to_string(ms)); };
        CLocalModbus master(std::move(layer));
        EXPECT_EQ(master.Open(1, 9600, 0), *c.refusal == '\0');
        EXPECT_NE(master.GetPortErrorText().find(c.refusal), std::string::npos)
            << master.GetPortErrorText();
        port.Answer(kAnswer1234);
        WordArray values(1);
        EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values),
                  *c.refusal == '\0' ? kModbusOk : kModbusPortNotOpen);
        std::string calls;
        for (auto call = port.calls.begin(); call != port.calls.end() && *call != "read"; ++call) {
            calls += (calls.empty() ? "" : ", ") + *call;
        }
        EXPECT_EQ(calls, c.calls);
    }
}

// CTS held low: the transmit queue never drains, and the master waits out its time-out asleep.
TEST_F(LineTest, UndrainedQueueIsWaitedOutWithoutSpinning) {
    OpenLine(0);
    master.SetTimeout(300);
    port.outQueueAfter = 1;
    const long long cpuMs = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadOne(), kModbusWriteError);
    const auto wallMs = (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1);
    EXPECT_GE(wallMs, 290);
    EXPECT_LT((ProcessCpuMs() - cpuMs) * 4, wallMs) << ProcessCpuMs() - cpuMs << " ms of processor";
}

TEST(TraceTest, TraceShowsTheBytesOnTheWireAndEachResult) {
    struct Case {
        std::uint16_t mode;
        Bytes good;
        std::ptrdiff_t cut;  // the byte, counted from the end, that a cut answer lacks
        std::string tx, rx, rxCut;
    };
    const Case cases[] = {
        {0, kAnswer1234, 1, "01 03 00 00 00 01 84 0A", "01 03 02 12 34 B5 33", "01 03 02 12 34 B5"},
        {1, AsciiFramed({1, 3, 2, 0x12, 0x34}), 3,
         "3A 30 31 30 33 30 30 30 30 30 30 30 31 46 42 0D 0A \":010300000001FB\\r\\n\"",
         "3A 30 31 30 33 30 32 31 32 33 34 42 34 0D 0A \":0103021234B4\\r\\n\"",
         "3A 30 31 30 33 30 32 31 32 33 34 42 0D 0A \":0103021234B\\r\\n\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string path = ::testing::TempDir() + "vornak-trace-" + std::to_string(c.mode);
        std::remove(path.c_str());
        auto scripted = std::make_unique<CScriptedPort>();
        CScriptedPort& port = *scripted;
        {
            CLocalModbus master(std::make_unique<CTracePort>(
                std::move(scripted), std::make_shared<CTraceFile>(path), "L"));
            master.SetMode(c.mode);
            master.SetTimeout(30);
            ASSERT_TRUE(master.Open(1, 9600, 0));
            WordArray values(1);
            port.Answer(c.good);
            EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusOk);
            Bytes cut = c.good;
            cut.erase(cut.end() - c.cut);
            port.Answer(cut);
            EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusCrcError);
            EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusTimeout);
            // Every exchange is in the file by the time it has ended.
            EXPECT_EQ(FileLines(path).size(), 9u);
        }
        const std::string tx = "L tx " + c.tx;
        EXPECT_EQ(FileLines(path),
                  (Lines{"L open", tx, "L rx " + c.rx, "L result 0 OK", tx, "L rx " + c.rxCut,
                         "L result 3 CRC Error", tx, "L result 1 Time-out Error", "L close"}));
    }
}

TEST(TraceTest, FullTraceStartsANewFileAndKeepsOneOld) {
    const std::string path = ::testing::TempDir() + "vornak-trace-cap";
    std::remove(path.c_str());
    std::remove((path + ".1").c_str());
    CTraceFile file(path, 64);
    // 41 bytes a line: every second line passes the 64-byte cap.
    for (const char letter : std::string("ABCD")) {
        file.Append(std::string(40, letter));
        ASSERT_TRUE(file.Flush());
    }
    EXPECT_EQ(FileLines(path), Lines{});
    EXPECT_EQ(FileLines(path + ".1"), (Lines{std::string(40, 'C'), std::string(40, 'D')}));
}

// Teardown aborts from the user-interface thread while the scan thread may be re-opening.
TEST(LinePortTest, AbortFromAnotherThreadWhileOpenSwapsTheLine) {
    CLinePort line([](LineKind) { return std::make_unique<CScriptedPort>(); });
    std::atomic<bool> done{false};
    std::thread aborter([&] {
        while (!done) {
            line.Abort();
        }
    });
    bool ok = true;
    for (int i = 0; i < 2000 && ok; ++i) {
        ok = line.Open("/dev/scripted") && line.Close();
    }
    done = true;
    aborter.join();
    EXPECT_TRUE(ok);
}

// The parsing's own reasons are pinned beside the parser; here they reach the master intact.
TEST(LinePortTest, RefusedDeviceGivesItsReasonToTheMaster) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {"/dev/null?bogus", EINVAL, "unknown option \"bogus\" (accepted: echo, rs485"},
        {"socket://127.0.0.1:1", ECONNREFUSED, "cannot connect to 127.0.0.1 port 1"},
    };
    for (const auto& [device, error, reason] : cases) {
        SCOPED_TRACE(device);
        ::setenv("VORNAK_COM9", device, 1);
        CLocalModbus master;
        EXPECT_FALSE(master.Open(9, 9600, 0));
        EXPECT_EQ(master.GetLastPortError(), error);
        EXPECT_EQ(master.GetPortErrorText().rfind(reason, 0), 0u) << master.GetPortErrorText();
        EXPECT_EQ(master.GetPortDevice(), device);
    }
    ::unsetenv("VORNAK_COM9");
}

}  // namespace
