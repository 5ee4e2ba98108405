// The layers a mapped device's options put around a line, driven by the real master over the
// scripted port: RS-485 direction control, the frame trace, the drain, refused options.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <regex>
#include <thread>

#include "platform/LinePort.h"
#include "platform/Rs485Port.h"
#include "platform/TracePort.h"
#include "tests/modbus/LineFixture.h"

namespace {

using Calls = std::vector<std::string>;

TEST(Rs485Test, DirectionControlOrderAroundEachFrame) {
    struct Case {
        const char* name;
        int kernel;  // the driver's answer to its RS-485 mode
        Rs485Settings settings;
        Calls open;
        Calls exchange;  // up to the first read
    };
    const Case cases[] = {
        {"kernel mode", 0, {true, 2, 3}, {"rs485", "rs485"}, {"write", "read"}},
        {"RTS high, no delays",
         ENOTTY,
         {true, 0, 0},
         {"rs485", "rts low", "rts low"},
         {"rts high", "write", "sent", "rts low", "read"}},
        {"RTS low with delays",
         EINVAL,
         {false, 2, 3},
         {"rs485", "rts high", "rts high"},
         {"rts low", "sleep 2", "write", "sent", "sleep 3", "rts high", "read"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto scripted = std::make_unique<CScriptedPort>();
        CScriptedPort& port = *scripted;
        port.rs485Error = c.kernel;
        auto layer = std::make_unique<CRs485Port>(std::move(scripted), c.settings);
        layer->sleep = [&port](std::uint32_t ms) {
            port.calls.push_back("sleep " + std::to_string(ms));
        };
        CLocalModbus master(std::move(layer));
        ::setenv("VORNAK_COM1", "/dev/rs485-test", 1);
        ASSERT_TRUE(master.Open(1, 9600, 0));
        EXPECT_EQ(port.calls, c.open);
        port.Reset();
        port.Answer(kAnswer1234);
        WordArray values(1);
        EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusOk);
        const auto firstRead = std::find(port.calls.begin(), port.calls.end(), "read");
        EXPECT_EQ(Calls(port.calls.begin(), firstRead + 1), c.exchange);
    }
}

TEST(Rs485Test, OpenIsRefusedWithTheReasonWhenNeitherModeWorks) {
    struct Case {
        int kernel;
        int rts;
        const char* reason;
    };
    const Case cases[] = {{ENOTTY, EINVAL, "RTS cannot be driven"},
                          {EPERM, 0, "refused its RS-485 mode"}};
    for (const Case& c : cases) {
        auto scripted = std::make_unique<CScriptedPort>();
        scripted->rs485Error = c.kernel;
        scripted->rtsError = c.rts;
        CLocalModbus master(std::make_unique<CRs485Port>(std::move(scripted), Rs485Settings{}));
        EXPECT_FALSE(master.Open(1, 9600, 0));
        EXPECT_FALSE(master.IsPortOpen());
        EXPECT_NE(master.GetPortErrorText().find(c.reason), std::string::npos)
            << master.GetPortErrorText();
    }
}

// CTS held low: the transmit queue never drains, and the master waits out its time-out.
TEST_F(LineTest, UndrainedQueueIsWaitedOutWithoutSpinning) {
    OpenLine(0);
    master.SetTimeout(300);
    port.outQueueAfter = 1;
    timespec cpu0{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadOne(), kModbusWriteError);
    const long long wallMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
    timespec cpu1{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
    const long long cpuMs =
        (cpu1.tv_sec - cpu0.tv_sec) * 1000 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1000000;
    EXPECT_GE(wallMs, 290);
    EXPECT_LT(cpuMs * 4, wallMs) << cpuMs << " ms of processor time in " << wallMs << " ms";
}

std::vector<std::string> TraceLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*?)( \(\d+ ms\))?$)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        lines.push_back(std::regex_match(line, m, stamp) ? m[1].str() : "bad stamp: " + line);
    }
    return lines;
}

TEST(TraceTest, TraceShowsTheBytesOnTheWireAndEachResult) {
    struct Case {
        std::uint16_t mode;
        Bytes good;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {0,
         kAnswer1234,
         {"L open", "L tx 01 03 00 00 00 01 84 0A", "L rx 01 03 02 12 34 B5 33", "L result 0 OK",
          "L tx 01 03 00 00 00 01 84 0A", "L rx 01 03 02 12 34 B5", "L result 3 CRC Error",
          "L tx 01 03 00 00 00 01 84 0A", "L result 1 Time-out Error", "L close"}},
        {1,
         AsciiFramed({1, 3, 2, 0x12, 0x34}),
         {"L open",
          "L tx 3A 30 31 30 33 30 30 30 30 30 30 30 31 46 42 0D 0A \":010300000001FB\\r\\n\"",
          "L rx 3A 30 31 30 33 30 32 31 32 33 34 42 34 0D 0A \":0103021234B4\\r\\n\"",
          "L result 0 OK",
          "L tx 3A 30 31 30 33 30 30 30 30 30 30 30 31 46 42 0D 0A \":010300000001FB\\r\\n\"",
          "L rx 3A 30 31 30 33 30 32 31 32 33 34 42 0D 0A \":0103021234B\\r\\n\"",
          "L result 3 CRC Error",
          "L tx 3A 30 31 30 33 30 30 30 30 30 30 30 31 46 42 0D 0A \":010300000001FB\\r\\n\"",
          "L result 1 Time-out Error", "L close"}},
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
            cut.erase(cut.end() - (c.mode == 0 ? 1 : 3), cut.end() - (c.mode == 0 ? 0 : 2));
            port.Answer(cut);
            EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusCrcError);
            EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusTimeout);
            // Every exchange is in the file by the time it has ended.
            EXPECT_EQ(TraceLines(path).size(), c.lines.size() - 1);
        }
        EXPECT_EQ(TraceLines(path), c.lines);
    }
}

TEST(TraceTest, FullTraceStartsANewFileAndKeepsOneOld) {
    const std::string path = ::testing::TempDir() + "vornak-trace-cap";
    std::remove(path.c_str());
    std::remove((path + ".1").c_str());
    CTraceFile file(path, 64);
    const auto firstLine = [](const std::string& name) {
        std::ifstream in(name);
        std::string line;
        std::getline(in, line);
        return line;
    };
    for (const char* lines : {"AB", "CD"}) {
        file.Append(std::string(40, lines[0]));
        ASSERT_TRUE(file.Flush());
        EXPECT_EQ(firstLine(path), std::string(40, lines[0]));
        file.Append(std::string(40, lines[1]));  // 82 bytes: past the cap
        ASSERT_TRUE(file.Flush());
        EXPECT_EQ(firstLine(path), "");
        EXPECT_EQ(firstLine(path + ".1"), std::string(40, lines[0]));
    }
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
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(line.Open("/dev/scripted"));
        ASSERT_TRUE(line.Close());
    }
    done = true;
    aborter.join();
    ASSERT_TRUE(line.Open("/dev/scripted"));
    line.Abort();
    std::uint8_t byte = 0;
    std::uint32_t received = 0;
    EXPECT_FALSE(line.Read(&byte, 1, &received));
}

TEST(LinePortTest, RefusedDeviceGivesItsReasonToTheMaster) {
    struct Case {
        const char* device;
        int error;
        const char* reason;
    };
    const Case cases[] = {
        {"/dev/null?bogus", EINVAL, "unknown option \"bogus\" (accepted: echo, rs485"},
        {"/dev/null?low_latency=2", EINVAL, "bad value \"2\" for option low_latency"},
        {"socket://127.0.0.1:1", ECONNREFUSED, "cannot connect to 127.0.0.1 port 1"},
        {"rfc2217://127.0.0.1:1?rs485", EINVAL, "option rs485"},
        {"/nonexistent/vornak?echo", ENOENT, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        ::setenv("VORNAK_COM9", c.device, 1);
        CLocalModbus master;
        EXPECT_FALSE(master.Open(9, 9600, 0));
        EXPECT_EQ(master.GetLastPortError(), c.error);
        EXPECT_EQ(master.GetPortErrorText().rfind(c.reason, 0), 0u) << master.GetPortErrorText();
        EXPECT_EQ(master.GetPortDevice(), c.device);
    }
    ::unsetenv("VORNAK_COM9");
}

}  // namespace
