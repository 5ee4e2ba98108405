// The built simulator serving device files on loopback, driven through its control socket by
// its own --send, as an operator would: faults for a number of answers, values set by name,
// reloads that fail and keep serving; and a line's frames over TCP.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "NetClient.h"
#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;

const char kProfile[] = R"(
[identity]
vendor = "Test Works"
[[point]]
name = "setpoint"
table = "holding"
address = 100
writable = true
initial = 42
[[point]]
name = "speed"
table = "holding"
address = 101
scale = 0.1
unit = "Hz"
writable = true
initial = 50
)";

// Unit 2's holding register `address`, read over MBAP.
Bytes ReadRequest(std::uint8_t transaction, std::uint16_t address) {
    return {0,
            transaction,
            0,
            0,
            0,
            6,
            2,
            3,
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address),
            0,
            1};
}

std::optional<int> Value(const Bytes& answer) {
    if (answer.size() != 11) {
        return std::nullopt;
    }
    return answer[9] << 8 | answer[10];
}

class DeviceFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/vornak-devicesXXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_folder = folder;
        Write("unit.toml", kProfile);
        Write("plant.toml", "[network]\ntcp = 0\n[[unit]]\nid = 2\nprofile = \"unit.toml\"\n");
        m_socket = m_folder + "/control";
    }
    void TearDown() override {
        m_slave.Stop(SIGTERM);
        for (const char* name : {"unit.toml", "plant.toml", "control"}) {
            std::remove((m_folder + "/" + name).c_str());
        }
        ::rmdir(m_folder.c_str());
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(m_folder + "/" + name, std::ios::trunc) << text;
    }
    bool Start() {
        return m_slave.Start({"--config", m_folder + "/plant.toml", "--control", m_socket});
    }
    SlaveRun Send(const std::vector<std::string>& command) {
        std::vector<std::string> args = {"--send", m_socket};
        args.insert(args.end(), command.begin(), command.end());
        return RunSlaveToEnd(args);
    }

    std::string m_folder;
    std::string m_socket;
    CSlaveProcess m_slave;
};

TEST_F(DeviceFiles, AFaultSwitchedForThreeAnswersFailsExactlyThree) {
    ASSERT_TRUE(Start()) << m_slave.FirstLine();
    const CNetClient master(true, m_slave.Path());
    master.Send(ReadRequest(1, 100));
    EXPECT_EQ(Value(master.Receive(11, 2s)), 42);

    const SlaveRun on = Send({"fault", "2", "silent", "for", "3"});
    EXPECT_EQ(on.status, 0) << on.err;
    EXPECT_EQ(on.out, "ok unit 2: fault on for 3 answers\n");
    for (std::uint8_t t = 2; t < 5; ++t) {
        master.Send(ReadRequest(t, 100));
        EXPECT_TRUE(master.Receive(11, 300ms).empty()) << +t;
    }
    master.Send(ReadRequest(5, 100));
    const Bytes answer = master.Receive(11, 2s);
    EXPECT_EQ(Value(answer), 42);
    EXPECT_EQ(answer.size() > 1 ? answer[1] : 0, 5);
}

TEST_F(DeviceFiles, APointSetByNameIsWhatTheMasterReadsNext) {
    ASSERT_TRUE(Start()) << m_slave.FirstLine();
    EXPECT_EQ(Send({"set", "2", "speed", "47.5"}).out, "ok speed = 47.5 Hz\n");
    EXPECT_EQ(Send({"get", "2", "speed"}).out, "ok 47.5 Hz\n");
    const CNetClient master(true, m_slave.Path());
    master.Send(ReadRequest(1, 101));
    EXPECT_EQ(Value(master.Receive(11, 2s)), 475);

    const struct {
        std::vector<std::string> command;
        std::string answer;
        int status;
    } refused[] = {
        {{"set", "2", "speed", "7000"}, "error: ", 1},
        {{"get", "9", "speed"}, "error: no unit 9\n", 1},
        {{"get", "2", "torque"}, "error: unit 2 has no point 'torque'\n", 1},
        {{"frobnicate"}, "error: unknown command 'frobnicate'; 'help' lists the commands\n", 1},
        {{"reload"}, "ok reloaded, 1 units\n", 0},
    };
    for (const auto& c : refused) {
        const SlaveRun run = Send(c.command);
        EXPECT_EQ(run.out.substr(0, c.answer.size()), c.answer) << c.command.front();
        EXPECT_EQ(run.status, c.status) << c.command.front();
    }
}

TEST_F(DeviceFiles, AReloadThatFailsKeepsTheRunningUnits) {
    ASSERT_TRUE(Start()) << m_slave.FirstLine();
    Write("unit.toml", std::string(kProfile) +
                           "[[point]]\nname = \"x\"\ntable = \"holding\"\n"
                           "address = 100\n");
    const SlaveRun broken = Send({"reload"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find("unit.toml:"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("overlaps"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("the running units are kept"), std::string::npos) << broken.out;
    const CNetClient master(true, m_slave.Path());
    master.Send(ReadRequest(1, 100));
    EXPECT_EQ(Value(master.Receive(11, 2s)), 42);

    std::string fixed = kProfile;
    fixed.replace(fixed.find("initial = 42"), 12, "initial = 43");
    Write("unit.toml", fixed);
    EXPECT_EQ(Send({"reload"}).out, "ok reloaded, 1 units\n");
    master.Send(ReadRequest(2, 100));
    EXPECT_EQ(Value(master.Receive(11, 2s)), 43);
}

TEST_F(DeviceFiles, TheControlSocketIsPrivateAndGoesAtExit) {
    ASSERT_TRUE(Start()) << m_slave.FirstLine();
    struct stat st {};
    ASSERT_EQ(::lstat(m_socket.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(m_slave.Stop(SIGTERM), 0);
    EXPECT_NE(::lstat(m_socket.c_str(), &st), 0);

    // A file where the socket would go is neither replaced nor served on.
    Write("control", "keep me");
    const SlaveRun refused =
        RunSlaveToEnd({"--config", m_folder + "/plant.toml", "--control", m_socket});
    EXPECT_EQ(refused.status, 1);
    std::ifstream kept(m_socket);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
}

TEST(SlaveDeviceFiles, ABadFileIsRefusedWithItsLineAndNothingIsServed) {
    char folder[] = "/tmp/vornak-badfileXXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string plant = std::string(folder) + "/plant.toml";
    const std::string unit = std::string(folder) + "/unit.toml";
    std::ofstream(unit) << "[[point]]\nname = \"a\"\ntable = \"holding\"\naddress = 70000\n";
    const std::pair<std::string, std::string> cases[] = {
        {"[[unit]]\nid = 248\n", "plant.toml:2: id must be 1 to 247"},
        {"[[unit]]\nid = [1, 2]\n[[unit]]\nid = \"2-3\"\n", "plant.toml:3: unit 2 is given twice"},
        {"[network]\ntcp = 0\ntpc = 1\n[[unit]]\nid = 1\n", "plant.toml:3: unknown key 'tpc'"},
        {"[[unit]]\nid = 1\nprofile = \"unit.toml\"\n", "unit.toml:4:"},
        {"[[unit]\n", "plant.toml:1:"},
    };
    for (const auto& [text, reason] : cases) {
        std::ofstream(plant, std::ios::trunc) << text;
        const SlaveRun run = RunSlaveToEnd({"--config", plant});
        EXPECT_EQ(run.status, 2) << text;
        EXPECT_NE(run.err.find(reason), std::string::npos) << text << run.err;
        EXPECT_EQ(run.out, "") << text;
    }
    std::remove(plant.c_str());
    std::remove(unit.c_str());
    ::rmdir(folder);
}

TEST(SlaveDeviceFiles, RtuFramesOverTcpAreAnsweredInPieces) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--rtu-tcp", "0"})) << slave.FirstLine();
    EXPECT_NE(slave.FirstLine().find("(RTU over TCP, id 1)"), std::string::npos);
    const CNetClient master(true, slave.Path());
    master.Send({0x01, 0x03, 0x00});
    std::this_thread::sleep_for(20ms);
    master.Send({0x00, 0x00, 0x01, 0x84, 0x0A});
    EXPECT_EQ(master.Receive(7, 2s), (Bytes{0x01, 0x03, 0x02, 0x00, 0x00, 0xB8, 0x44}));
    // Noise before a frame is dropped; the frame behind it is answered.
    master.Send({0xFF, 0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A});
    EXPECT_EQ(master.Receive(7, 2s), (Bytes{0x01, 0x03, 0x02, 0x00, 0x00, 0xB8, 0x44}));
}

TEST(SlaveDeviceFiles, AnOutputThatCannotBeWrittenEndsTheRunWithAnError) {
    const SlaveRun run = RunProgramToEnd(
        "/bin/sh", {"-c", std::string(VORNAK_SLAVE_PATH) + " --tcp 0 >/dev/full"}, 5s);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "vornak-slave: write error: No space left on device\n");
}

}  // namespace
