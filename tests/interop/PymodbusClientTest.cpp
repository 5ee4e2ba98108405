// pymodbus's client (pymodbus_client.py beside this file) against vornak-slave over TCP, RTU
// and ASCII: every function pymodbus 3.0 asks, each answer's values checked, the counters by
// the requests the script made since it cleared them.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>

#include "SlaveProcess.h"

using namespace std::chrono_literals;

namespace {

// What the script assumes of the simulator (its SIZE, FIFO_*, FILES and RECORDS).
const std::vector<std::string> kSlaveData = {"--size",      "1000", "--fifo-address", "300",
                                             "--fifo-size", "5",    "--files",        "6",
                                             "--records",   "500",  "--revision",     "2.7-test"};

struct Case {
    std::string name;
    std::string expected;
};

// In order on one connection; each case sets up what it reads.
const Case kEveryLine[] = {
    // Coils 0 to 7 written 1,0,1,1,0,0,0,1: coil 0 is the lowest bit.
    {"exception-status", "8D"},
    {"query-data", "A537"},
    {"diagnostic-register", "0000"},
    // Five reads after the clear, then the counting requests themselves.
    {"bus-count", "bus 6 server 7"},
    {"exception-count", "ex 2, ex 3, exceptions 2"},
    // Communication errors, exceptions, no answer, NAK, busy, overrun after one good read.
    {"quiet-counters", "0 0 0 0 0 0"},
    {"clear-counters", "0000 bus 1"},
    {"clear-overrun", "0000 overrun 0"},
    // Sub-functions 3 (ASCII delimiter) and 19, which the simulator does not serve: a
    // sub-function a device lacks is answered as a function it lacks.
    {"unknown-sub-functions", "ex 1, ex 1"},
    {"restart", "0000 bus 1"},
    // Force listen only, then a read and a write unanswered (the write not done) and the
    // restart unanswered; after it the register kept its value and the counters restarted.
    {"listen-only", "none, none, none, none, 5A5A, 2"},
    // Three reads and an exception after the clear: the exception does not count, the clear's
    // own completion, after the clear, does.
    {"event-counter", "ready 4"},
    // Restart with FF00 answers before it restarts and clears the log: what remains is its
    // restart event (00), then a read (80 40), an exception (80 41) and the log request (80),
    // newest first; of those only the read counts as an event.
    {"event-log", "FF00, ready events 1 messages 3 log 80 41 80 40 80 00"},
    // Byte count, the address asked, run indicator FF, then the product.
    {"report-id", "01 FF vornak-slave"},
    // Record r of file f is f * 256 + (r & 0xFF); two sub-requests in one.
    {"read-file", "0401 0402 | 0309 030A 030B"},
    {"write-file", "2 7 1111 2222, 0206 1111 2222 0209"},
    // The last record of the last file; file 0; a file past --files; records past --records.
    {"file-limits", "06F3, ex 2, ex 2, ex 2"},
    // The published example: 0012 AND 00F2 OR (0025 AND NOT 00F2) is 0017.
    {"mask-write", "4 00F2 0025, 0017"},
    // The write is done before the read, which sees it.
    {"read-write", "0001 AAAA BBBB 0004, 0001 AAAA BBBB 0004"},
    // Byte count 2 + 2 * 5, FIFO count 5, oldest first; another address is exception 2.
    {"fifo", "bytes 12 count 5 F000 F001 F002 F003 F004, ex 2"},
    {"device-id", "code 1 81 more 00 next 0 0=Quorvix 1=vornak-slave 2=2.7-test"},
    // Stream from object 2; from an object that does not exist (from 0); regular; object 1
    // alone; object 3 alone (exception 2); read device id code 5 (exception 3).
    {"device-id-streams",
     "code 1 81 more 00 next 0 2=2.7-test, "
     "code 1 81 more 00 next 0 0=Quorvix 1=vornak-slave 2=2.7-test, "
     "code 2 81 more 00 next 0 0=Quorvix 1=vornak-slave 2=2.7-test, "
     "code 4 81 more 00 next 0 1=vornak-slave, ex 2, ex 3"},
};

// Frames only a serial line carries, written past pymodbus's framer.
const Case kSerialOnly[] = {
    // A bad check counts as a communication error, not as a bus message.
    {"check-error", "errors 1 bus 2"},
    // A frame for address 2 is a bus message, not one of this server's.
    {"other-address", "bus 2 server 2"},
    // A broadcast write is done, unanswered, and counted as this server's.
    {"broadcast", "4242 no answer 1 server 4"},
    // Sub-function 20 clears the overrun that a frame past the longest Modbus allows caused.
    {"overrun", "overrun 1, 0000 overrun 0"},
};

// The simulator on the parameter's line, "tcp", "rtu" or "ascii".
class PymodbusClient : public ::testing::TestWithParam<std::string> {
protected:
    // Starts the simulator with the options; false (with a failure) when it did not start.
    bool StartSlave(std::vector<std::string> args) {
        if (GetParam() == "tcp") {
            args.insert(args.end(), {"--tcp", "0"});
        } else {
            args.insert(args.end(), {"--mode", GetParam()});
        }
        slave.emplace();
        const bool started = slave->Start(args);
        EXPECT_TRUE(started) << slave->FirstLine();
        return started;
    }

    // Runs the cases in one script run; each case's result by name, nullopt when the script
    // found no pymodbus.
    std::optional<std::map<std::string, std::string>> Ask(const std::vector<Case>& cases) {
        std::string where = slave->Path();
        if (GetParam() == "tcp") {
            where = where.substr(where.rfind(':') + 1);
        }
        std::vector<std::string> args = {VORNAK_PYMODBUS_CLIENT, GetParam(), where};
        for (const Case& c : cases) {
            args.push_back(c.name);
        }
        const SlaveRun run = RunProgramToEnd(VORNAK_PYTHON, args, 60s);
        if (run.out.rfind("no pymodbus", 0) == 0) {
            return std::nullopt;
        }
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        std::map<std::string, std::string> results;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t space = line.find(' ');
            if (space != std::string::npos) {
                results[line.substr(0, space)] = line.substr(space + 1);
            }
        }
        return results;
    }

    void Check(const std::vector<Case>& cases) {
        const auto results = Ask(cases);
        if (!results) {
            GTEST_SKIP() << "no pymodbus (scripts/deps.sh installs python3-pymodbus)";
        }
        for (const Case& c : cases) {
            const auto found = results->find(c.name);
            EXPECT_EQ(found == results->end() ? "(no result)" : found->second, c.expected)
                << c.name;
        }
        if (HasFailure()) {
            std::string log;
            for (const std::string& line : slave->Lines()) {
                log += line + "\n";
            }
            ADD_FAILURE() << "the simulator's frames:\n" << log;
        }
    }

    std::optional<CSlaveProcess> slave;
};

TEST_P(PymodbusClient, EveryFunctionAnswersWithItsValues) {
    if (!StartSlave(kSlaveData)) {
        return;
    }
    std::vector<Case> cases(std::begin(kEveryLine), std::end(kEveryLine));
    if (GetParam() != "tcp") {
        cases.insert(cases.end(), std::begin(kSerialOnly), std::end(kSerialOnly));
    }
    Check(cases);
}

TEST_P(PymodbusClient, IdentityTextsAreTheOptions) {
    if (!StartSlave({"--vendor", "Acme Pumps Ltd", "--product", "PX-7", "--revision", "3.0.1"})) {
        return;
    }
    Check({{"report-id", "01 FF PX-7"},
           {"device-id", "code 1 81 more 00 next 0 0=Acme Pumps Ltd 1=PX-7 2=3.0.1"}});
}

TEST_P(PymodbusClient, LongIdentityTextsFollowInParts) {
    // Each text 244 characters: one object (2 + 244 bytes) fills an answer to 253 bytes.
    const std::string vendor(244, 'V');
    const std::string product(244, 'P');
    if (!StartSlave({"--vendor", vendor, "--product", product, "--revision", "9"})) {
        return;
    }
    Check({{"device-id-chain", "more FF next 1 0:244, more FF next 2 1:244, more 00 next 0 2:1"}});
}

INSTANTIATE_TEST_SUITE_P(Lines, PymodbusClient, ::testing::Values("tcp", "rtu", "ascii"));

}  // namespace
