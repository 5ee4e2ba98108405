// vornak-poll reading and writing devices by their profiles, against vornak-slave serving the
// example meter and drive and a map with gaps over TCP: values by name, the fewest requests
// (counted in the trace), a hole split once, and writes read back by mbpoll.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "SlaveProcess.h"

using namespace std::chrono_literals;

namespace {

const std::string kExamples = std::string(VORNAK_SOURCE_DIR) + "/examples/";

// Holding 0 to 2, a float at 5, a register at 20, one far off at 200, two coils: with the
// default gap of 8, three reads; 3 and 4 are a hole the unit refuses in a joined read.
const char kGaps[] = R"([[point]]
name = "a"
table = "holding"
address = 0
initial = 1
[[point]]
name = "b"
table = "holding"
address = 1
initial = 2
[[point]]
name = "c"
table = "holding"
address = 2
initial = 3
[[point]]
name = "f"
table = "holding"
address = 5
type = "float32"
initial = 0.5
[[point]]
name = "g"
table = "holding"
address = 20
initial = 20
[[point]]
name = "far"
table = "holding"
address = 200
initial = 200
[[point]]
name = "k1"
table = "coil"
address = 0
type = "bool"
initial = true
[[point]]
name = "k2"
table = "coil"
address = 9
type = "bool"
)";

std::string Lines(const std::string& text, const std::string& mark) {
    std::istringstream in(text);
    std::string kept;
    for (std::string line; std::getline(in, line);) {
        if (line.find(mark) != std::string::npos) {
            kept += line + '\n';
        }
    }
    return kept;
}

std::size_t Count(const std::string& text, const std::string& mark) {
    const std::string lines = Lines(text, mark);
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n'));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

class PollMap : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/vornak-pollmapXXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_folder = folder;
        std::ofstream(m_folder + "/gaps.toml") << kGaps;
        std::ofstream(m_folder + "/sim.toml")
            << "[network]\ntcp = 0\n"
            << "[[unit]]\nid = 1\nprofile = \"" << kExamples << "meter.toml\"\n"
            << "[[unit]]\nid = 10\nprofile = \"" << kExamples << "drive.toml\"\n"
            << "[[unit]]\nid = 5\nprofile = \"" << m_folder << "/gaps.toml\"\n";
        ASSERT_TRUE(m_slave.Start({"--config", m_folder + "/sim.toml", "--control", Control()}))
            << m_slave.FirstLine();
        ASSERT_TRUE(m_slave.WaitForLines(
            [](const std::string& l) { return l.find("(control)") != std::string::npos; }, 1, 2s));
    }
    void TearDown() override {
        m_slave.Stop(SIGTERM);
        std::filesystem::remove_all(m_folder);
    }
    std::string Control() const { return m_folder + "/control"; }
    SlaveRun Poll(std::vector<std::string> args) {
        args.insert(args.end(), {"-m", "tcp", m_slave.Path()});
        return RunProgramToEnd(VORNAK_POLL_PATH, args, 20s);
    }
    void Set(const std::string& unit, const std::string& point, const std::string& value) {
        const SlaveRun run = RunSlaveToEnd({"--send", Control(), "set", unit, point, value});
        EXPECT_EQ(run.status, 0) << point << ": " << run.out << run.err;
    }

    std::string m_folder;
    CSlaveProcess m_slave;
};

}  // namespace

// Every point of the example meter, its moving ones held at known values through the control
// socket, in engineering units with its unit, in one request per table.
TEST_F(PollMap, ReadsEveryMeterPointByNameInEngineeringUnits) {
    const std::pair<const char*, const char*> held[] = {
        {"voltage_l1", "231.5"},
        {"voltage_l2", "229.25"},
        {"voltage_l3", "230.75"},
        {"current_l1", "21.5"},
        {"current_l2", "19.125"},
        {"current_l3", "23.25"},
        {"active_power", "14.5"},
        {"reactive_power", "3.125"},
        {"apparent_power", "14.75"},
        {"power_factor", "0.96875"},
        {"frequency", "50.0625"},
        {"active_energy_import", "183245.7"},
        {"reactive_energy_import", "40211.3"},
        {"meter_time", "1796820000"},
        {"operating_time", "3600"},
    };
    for (const auto& [point, value] : held) {
        Set("1", point, value);
    }
    const std::string trace = m_folder + "/meter.trace";
    const SlaveRun run = Poll({"--map", kExamples + "meter.toml", "-o", "csv", "--trace", trace});
    EXPECT_EQ(run.status, 0) << run.err;
    static const std::regex time(R"(\d{4}-\d\d-\d\dT[0-9:.]+[+-]\d\d:\d\d)");
    EXPECT_EQ(std::regex_replace(run.out, time, "@"),
              "time,slave,name,value,unit,result\n"
              "@,1,voltage_l1,231.5,V,OK\n@,1,voltage_l2,229.25,V,OK\n@,1,voltage_l3,230.75,V,OK\n"
              "@,1,current_l1,21.5,A,OK\n@,1,current_l2,19.125,A,OK\n@,1,current_l3,23.25,A,OK\n"
              "@,1,active_power,14.5,kW,OK\n@,1,reactive_power,3.125,kvar,OK\n"
              "@,1,apparent_power,14.75,kVA,OK\n@,1,power_factor,0.96875,,OK\n"
              "@,1,frequency,50.0625,Hz,OK\n@,1,active_energy_import,183245.7,kWh,OK\n"
              "@,1,reactive_energy_import,40211.3,kvarh,OK\n@,1,meter_time,1796820000,s,OK\n"
              "@,1,operating_time,3600,s,OK\n@,1,ct_ratio,100,,OK\n@,1,vt_ratio,1,,OK\n"
              "@,1,demand_period,15,min,OK\n@,1,reset_partial_energy,false,,OK\n");
    // Coils, holding and input registers: three requests for 19 points.
    EXPECT_EQ(Count(ReadFile(trace), " tx "), 3u) << ReadFile(trace);

    // The points named, in their order, PORT among them.
    const SlaveRun json = Poll(
        {"--map", kExamples + "meter.toml", "-o", "json", "voltage_l1", "active_energy_import"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(
        std::regex_replace(json.out, time, "@"),
        R"({"time":"@","slave":1,"name":"voltage_l1","value":231.5,"unit":"V","raw":[32768,17255],"result":"OK"})"
        "\n"
        R"({"time":"@","slave":1,"name":"active_energy_import","value":183245.7,"unit":"kWh","raw":[62985,27],"result":"OK"})"
        "\n");
}

// The plan is the fewest requests, each joined read within the gap; the trace holds exactly
// those. A hole inside a joined range is asked once, then read point by point for good.
TEST_F(PollMap, SendsThePlannedRequestsAndSplitsAHoleOnce) {
    const std::string gaps = m_folder + "/gaps.toml";
    const SlaveRun plan = Poll({"--map", gaps, "-a", "5", "--plan"});
    EXPECT_EQ(plan.status, 0);
    EXPECT_EQ(plan.out,
              "slave 5: function 1 from 0, 10 bits: k1 k2\n"
              "slave 5: function 3 from 0, 7 registers: a b c f\n"
              "slave 5: function 3 from 20, 1 register: g\n"
              "slave 5: function 3 from 200, 1 register: far\n"
              "4 requests for 8 points\n");
    const SlaveRun tight = Poll({"--map", gaps, "-a", "5", "--plan", "--max-gap", "0"});
    EXPECT_NE(tight.out.find("slave 5: function 3 from 0, 3 registers: a b c\n"
                             "slave 5: function 3 from 5, 2 registers: f\n"),
              std::string::npos)
        << tight.out;
    EXPECT_NE(tight.out.find("6 requests for 8 points\n"), std::string::npos);

    const std::string trace = m_folder + "/gaps.trace";
    const SlaveRun run = Poll({"--map", gaps, "-a", "5", "-n", "3", "-i", "0", "--trace", trace});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out, "a = 1"), 3u) << run.out;
    EXPECT_EQ(Count(run.out, "f = 0.5"), 3u) << run.out;
    EXPECT_EQ(Count(run.out, "k2 = false"), 3u) << run.out;
    EXPECT_EQ(Lines(run.err, "refused"),
              "vornak-poll: slave 5: function 1 from 0, 10 bits: k1 k2: refused as an illegal "
              "data address; these points are read one by one from now on\n"
              "vornak-poll: slave 5: function 3 from 0, 7 registers: a b c f: refused as an "
              "illegal data address; these points are read one by one from now on\n");
    // A refused read is no failure: its points were read after all.
    EXPECT_NE(run.err.find("3 polls, 24 requests, 24 OK, 0 failed"), std::string::npos) << run.err;
    // The first poll: the two refused joined reads, then eight; the others eight each.
    const std::string sent = Lines(ReadFile(trace), " tx ");
    EXPECT_EQ(Count(sent, " 05 03 00 00 00 07"), 1u) << sent;
    EXPECT_EQ(Count(sent, " 05 01 00 00 00 0A"), 1u) << sent;
    EXPECT_EQ(Count(sent, " 05 03 00 00 00 01"), 3u) << sent;
    EXPECT_EQ(Count(sent, " 05 03 00 05 00 02"), 3u) << sent;
    EXPECT_EQ(Count(sent, " tx "), 2u + 3 * 8) << sent;
}

// --set converts through offset, scale, type and order and writes neighbours in one request;
// mbpoll, another master, reads the registers back.
TEST_F(PollMap, WritesByNameWhatAnotherMasterReadsBack) {
    const std::string drive = kExamples + "drive.toml";
    const std::string trace = m_folder + "/set.trace";
    const SlaveRun set =
        Poll({"--map", drive, "-a", "10", "--set",
              "speed_setpoint=42.5,accel_time=3,decel_time=7.5,cmd_run=1", "--trace", trace});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out,
              "speed_setpoint = 42.5 Hz\naccel_time = 3 s\ndecel_time = 7.5 s\ncmd_run = 1\n");
    // The command word is read for its other bits, then the four registers go in one 16.
    const std::string sent = Lines(ReadFile(trace), " tx ");
    EXPECT_EQ(Count(sent, " tx "), 2u) << sent;
    EXPECT_EQ(Count(sent, " 0A 03 00 00 00 01"), 1u) << sent;
    EXPECT_EQ(Count(sent, " 0A 10 00 00 00 04 08 00 01 01 A9 00 1E 00 4B"), 1u) << sent;

    const std::string port = m_slave.Path().substr(m_slave.Path().rfind(':') + 1);
    const SlaveRun back = RunProgramToEnd(
        "/usr/bin/mbpoll",
        {"-m", "tcp", "-p", port, "-a", "10", "-t", "4", "-r", "1", "-c", "4", "-1", "127.0.0.1"},
        10s);
    if (back.status == 127) {
        GTEST_SKIP() << "no mbpoll (scripts/deps.sh installs it)";
    }
    EXPECT_NE(back.out.find("[1]: \t1\n[2]: \t425\n[3]: \t30\n[4]: \t75\n"), std::string::npos)
        << back.out;
}

// What cannot be read or written exits 2 with the reason before anything is sent.
TEST_F(PollMap, RefusesBadMapsNamesAndValuesBeforeSending) {
    std::ofstream(m_folder + "/typo.toml") << "[[point]]\nname = \"a\"\ntabel = \"holding\"\n";
    const std::string drive = kExamples + "drive.toml";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--map", m_folder + "/typo.toml"},
         m_folder + "/typo.toml:3: point 'a': unknown key 'tabel'"},
        {{"--map", m_folder + "/none.toml"}, m_folder + "/none.toml: "},
        {{"--map", drive, "--set", "output_frequency=5", "-a", "10"},
         "--set: point 'output_frequency' is not writable"},
    };
    for (const auto& [args, reason] : cases) {
        std::vector<std::string> traced = args;
        const std::string trace = m_folder + "/bad.trace";
        traced.insert(traced.end(), {"--trace", trace});
        const SlaveRun run = Poll(traced);
        EXPECT_EQ(run.status, 2) << reason;
        EXPECT_EQ(run.err.substr(0, 13 + reason.size()), "vornak-poll: " + reason) << run.err;
        EXPECT_EQ(Count(ReadFile(trace), " tx "), 0u) << reason;
    }
}
