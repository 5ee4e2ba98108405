// The roles of Modbus/TCP Security clients: the addresses a request names, the table a simulator
// file gives, and the verdict on each request with the words the log shows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/slave/RequestSpans.h"
#include "tools/slave/RoleCheck.h"
#include "tools/slave/RoleTable.h"
#include "tools/slave/SimulatorFile.h"
#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveOptions.h"

namespace {

using protocol::Bytes;
using slave::ClientIdentity;

constexpr const char* kUnit = "\n[[unit]]\nid = 1\n";

std::string SpansText(const std::vector<slave::AddressSpan>& spans) {
    std::string text;
    for (const slave::AddressSpan& span : spans) {
        text += (text.empty() ? "" : " ") + std::to_string(span.first) + "-" +
                std::to_string(span.last);
    }
    return text.empty() ? "none" : text;
}

TEST(RequestSpansTest, EachFunctionNamesItsAddressesByItsOwnReader) {
    const std::pair<Bytes, const char*> cases[] = {
        {{0x0F, 0x00, 0x14, 0x00, 0x0A, 0x02, 0xFF, 0x03}, "20-29"},
        {{0x16, 0x00, 0x04, 0x00, 0xF2, 0x00, 0x25}, "4-4"},
        {{0x17, 0x00, 0x00, 0x00, 0x02, 0x01, 0xF4, 0x00, 0x01, 0x02, 0x12, 0x34}, "0-1 500-500"},
        {{0x18, 0x04, 0xDE}, "1246-1246"},
        // A range past the last address is cut there; the device answers it exception 2.
        {{0x03, 0xFF, 0xFF, 0x00, 0x02}, "65535-65535"},
        // Broken by their function's rules: the device refuses them, touching nothing.
        {{0x03, 0x00, 0x00, 0x00, 0x00}, "none"},
        {{}, "none"},
    };
    for (const auto& [pdu, expected] : cases) {
        EXPECT_EQ(SpansText(slave::RequestSpans(pdu)), expected) << slave::HexSpaced(pdu);
    }
}

TEST(RoleFileTest, TheRolesTableAndTheTlsKeysComeFromTheSimulatorFile) {
    const std::string text = std::string(R"([network]
tls = 8020
cert = "pki/device.pem"
key = "/etc/vornak/device.key"
ca = "../ca.pem"
[roles]
default = "viewer"
[roles.viewer]
functions = []
[roles.engineer]
functions = "1-6,15,16"
addresses = ["0-99", 100, "500-599"]
exception = 4
)") + kUnit;
    std::string error;
    const auto file = slave::ParseSimulatorFile(text, "/srv/plant/sim.toml", error);
    ASSERT_TRUE(file) << error;
    const slave::SlaveOptions& o = file->options;
    ASSERT_NE(slave::FindPort(o, slave::Transport::Tls), nullptr);
    EXPECT_EQ(slave::FindPort(o, slave::Transport::Tls)->port, 8020);
    EXPECT_EQ(o.tlsCert + " " + o.tlsKey + " " + o.tlsCa,
              "/srv/plant/pki/device.pem /etc/vornak/device.key /srv/ca.pem");
    ASSERT_TRUE(o.roles);
    EXPECT_EQ(o.roles->Default(), "viewer");
    ASSERT_NE(o.roles->Find("viewer"), nullptr);
    EXPECT_TRUE(o.roles->Find("viewer")->functions.none());
    const slave::RoleRights* engineer = o.roles->Find("engineer");
    ASSERT_NE(engineer, nullptr);
    EXPECT_EQ(engineer->functions.to_ulong(), 0x1807EUL);
    EXPECT_EQ(SpansText(engineer->addresses), "0-100 500-599");
    EXPECT_EQ(engineer->exception, 4);
}

TEST(RoleFileTest, ARolesTableThatCannotServeIsRefusedWithItsLine) {
    const std::string addresses =
        "sim.toml:3: addresses must be a list of ranges 0 to 65535, as [\"0-99\", 200]";
    const std::pair<const char*, std::string> cases[] = {
        {"[roles]\ndefault = 3\n", "sim.toml:2: default must be the name of a role"},
        {"[roles]\nviewer = [3]\n",
         "sim.toml:2: unknown key 'viewer': a role is a table, [roles.viewer]"},
        {"[roles.viewer]\naddresses = [\"0-9\"]\n",
         "sim.toml:1: role 'viewer' needs its functions"},
        {"[roles.viewer]\nfunctions = [3, 128]\n", "sim.toml:2: functions must be 1 to 127"},
        {"[roles.viewer]\nfunctions = [3]\nwrites = true\n", "sim.toml:3: unknown key 'writes'"},
        {"[roles.viewer]\nfunctions = [3]\naddresses = [\"9-5\"]\n", addresses},
        {"[roles.viewer]\nfunctions = [3]\naddresses = []\n", addresses},
        {"[roles.viewer]\nfunctions = [3]\nexception = 12\n",
         "sim.toml:3: exception must be a whole number 1 to 11"},
        {"roles = 3\n", "sim.toml:1: roles must be a table: [roles]"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(slave::ParseSimulatorFile(std::string(text) + kUnit, "sim.toml", error))
            << text;
        EXPECT_EQ(error, expected);
    }
}

TEST(RoleCheckTest, EachRequestIsJudgedByTheRoleOfItsClient) {
    std::string error;
    const auto file = slave::ParseSimulatorFile(std::string(R"([roles.operator]
functions = [1, 2, 3, 4]
[roles.engineer]
functions = [1, 2, 3, 4, 5, 6, 15, 16, 22, 23]
addresses = ["0-999"]
exception = 4
)") + kUnit,
                                                "sim.toml", error);
    ASSERT_TRUE(file && file->options.roles) << error;
    const slave::CRoleTable& table = *file->options.roles;
    slave::CRoleTable withDefault = table;
    withDefault.SetDefault("operator");
    const auto named = [](const char* role) {
        return ClientIdentity{"CN=op1,O=Plant", ClientIdentity::Claim::Named, role};
    };
    const ClientIdentity none{"CN=op1,O=Plant", ClientIdentity::Claim::None, ""};
    const ClientIdentity unreadable{"CN=op1,O=Plant", ClientIdentity::Claim::Unreadable, ""};
    const Bytes read = {0x03, 0x00, 0x0A, 0x00, 0x02};
    const Bytes write = {0x06, 0x00, 0x0A, 0x00, 0x07};
    const Bytes identity = {0x2B, 0x0E, 0x01, 0x00};
    struct Case {
        const slave::CRoleTable* table;
        ClientIdentity client;
        Bytes pdu;
        const char* refusal;  // empty: allowed
    };
    const Case cases[] = {
        {nullptr, unreadable, write, ""},
        {&table, named("operator"), read, ""},
        {&table, named("operator"), write, "role operator function 6 address 10 (exception 1)"},
        {&table, named("operator"), identity, "role operator function 43 (exception 1)"},
        {&table,
         named("engineer"),
         {0x10, 0x03, 0xE7, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02},
         "role engineer function 16 addresses 999-1000 (exception 4)"},
        {&table,
         named("engineer"),
         {0x17, 0x00, 0x00, 0x00, 0x02, 0x03, 0xE8, 0x00, 0x01, 0x02, 0x12, 0x34},
         "role engineer function 23 address 1000 (exception 4)"},
        // A request its function forbids reaches the device, which refuses it by its rules.
        {&table, named("engineer"), {0x03, 0x00, 0x00, 0x00, 0x00}, ""},
        {&table, named("Operator"), read,
         "role Operator, which the roles table does not name function 3 addresses 10-11 "
         "(exception 1)"},
        {&table, none, read, "no role function 3 addresses 10-11 (exception 1)"},
        {&withDefault, none, read, ""},
        {&withDefault, none, write, "role operator by default function 6 address 10 (exception 1)"},
        {&withDefault, unreadable, read,
         "an unreadable role function 3 addresses 10-11 (exception 1)"},
        {&table, named("op\x1b[2J"), read,
         "role op\\x1B[2J, which the roles table does not name function 3 addresses 10-11 "
         "(exception 1)"},
        {&table, named("operator"), {0x83, 0x02}, "role operator function 131 (exception 1)"},
    };
    for (const Case& c : cases) {
        const slave::RoleVerdict verdict = slave::JudgeRequest(c.table, c.client, c.pdu);
        const std::string expected =
            *c.refusal == '\0' ? "" : std::string("CN=op1,O=Plant ") + c.refusal;
        EXPECT_EQ(verdict.refusal, expected);
        EXPECT_EQ(verdict.allowed, expected.empty()) << expected;
        const std::size_t at = expected.find("(exception ");
        EXPECT_EQ(verdict.exception, at == std::string::npos ? 0 : expected[at + 11] - '0')
            << expected;
    }
}

TEST(TlsOptionsTest, TlsNeedsItsThreeFilesAndTheFilesNeedTls) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--tls", "802", "--cert", "c.pem", "--key", "k.pem"},
         "--tls needs --ca FILE (the device's certificate, its key and the clients' CA)"},
        {{"--tcp", "0", "--ca", "ca.pem"}, "--ca needs --tls"},
        {{"--tls", "65536"}, "bad or missing value for --tls (expected a port 0 to 65535)"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(slave::ParseSlaveOptions(args).error, expected) << args.back();
    }
    // The command line's files and port replace the file's.
    slave::SlaveOptions file;
    file.ports = {{slave::Transport::Tls, 802}};
    file.tlsCert = "/srv/c.pem";
    file.tlsKey = "/srv/k.pem";
    file.tlsCa = "/srv/ca.pem";
    const slave::ParseResult parsed =
        slave::ParseSlaveOptions({"--tls", "8020", "--key", "other.key"}, file);
    ASSERT_EQ(parsed.action, slave::ParseResult::Action::Run) << parsed.error;
    EXPECT_EQ(slave::FindPort(parsed.options, slave::Transport::Tls)->port, 8020);
    EXPECT_EQ(parsed.options.tlsCert + " " + parsed.options.tlsKey, "/srv/c.pem other.key");
}

}  // namespace
