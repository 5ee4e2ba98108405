// The roles of Modbus/TCP Security clients: the addresses a request names, the table a simulator
// file gives, and the verdict on each request with the words the log shows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/ExceptionCode.h"
#include "protocol/FunctionCode.h"
#include "tools/slave/RequestSpans.h"
#include "tools/slave/RoleCheck.h"
#include "tools/slave/RoleTable.h"
#include "tools/slave/SimulatorFile.h"
#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveOptions.h"

namespace {

using protocol::Bytes;
using slave::AddressSpan;
using slave::ClientIdentity;

std::string SpansText(const std::vector<AddressSpan>& spans) {
    std::string text;
    for (const AddressSpan& span : spans) {
        text += (text.empty() ? "" : " ") + std::to_string(span.first) + "-" +
                std::to_string(span.last);
    }
    return text.empty() ? "none" : text;
}

TEST(RequestSpansTest, EachFunctionNamesItsAddressesByItsOwnReader) {
    const std::pair<Bytes, const char*> cases[] = {
        {{0x01, 0x00, 0x10, 0x00, 0x08}, "16-23"},
        {{0x02, 0x00, 0x00, 0x07, 0xD0}, "0-1999"},
        {{0x03, 0x00, 0x0A, 0x00, 0x05}, "10-14"},
        {{0x04, 0x03, 0xE7, 0x00, 0x01}, "999-999"},
        {{0x05, 0x00, 0x07, 0xFF, 0x00}, "7-7"},
        {{0x06, 0x00, 0x0A, 0x00, 0x07}, "10-10"},
        {{0x0F, 0x00, 0x14, 0x00, 0x0A, 0x02, 0xFF, 0x03}, "20-29"},
        {{0x10, 0x03, 0xDE, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02}, "990-991"},
        {{0x16, 0x00, 0x04, 0x00, 0xF2, 0x00, 0x25}, "4-4"},
        {{0x17, 0x00, 0x00, 0x00, 0x02, 0x01, 0xF4, 0x00, 0x01, 0x02, 0x12, 0x34}, "0-1 500-500"},
        {{0x18, 0x04, 0xDE}, "1246-1246"},
        // A range past the last address is cut there; the device answers it exception 2.
        {{0x03, 0xFF, 0xFF, 0x00, 0x02}, "65535-65535"},
        // No address: these go by their function alone.
        {{0x07}, "none"},
        {{0x08, 0x00, 0x00, 0x12, 0x34}, "none"},
        {{0x11}, "none"},
        {{0x2B, 0x0E, 0x01, 0x00}, "none"},
        // Broken by their function's rules: the device refuses them, touching nothing.
        {{0x03, 0x00, 0x00, 0x00, 0x00}, "none"},
        {{0x03, 0x00, 0x00, 0x00}, "none"},
        {{0x10, 0x00, 0x00, 0x00, 0x02, 0x03, 0x00, 0x01, 0x00}, "none"},
        {{0x17, 0x00, 0x00, 0x00, 0x02, 0x01, 0xF4, 0x00, 0x01, 0x04, 0x12, 0x34}, "none"},
        {{}, "none"},
    };
    for (const auto& [pdu, expected] : cases) {
        EXPECT_EQ(SpansText(slave::RequestSpans(pdu)), expected) << slave::HexSpaced(pdu);
    }
}

TEST(RoleTableTest, SpansJoinWithTheirNeighboursAndCoverOnlyWhatTheyHold) {
    const auto merged =
        slave::MergeSpans({{200, 300}, {0, 99}, {100, 149}, {250, 400}, {65535, 65535}});
    EXPECT_EQ(SpansText(merged), "0-149 200-400 65535-65535");
    const std::pair<AddressSpan, bool> cases[] = {
        {{0, 149}, true},    {{149, 149}, true},     {{140, 150}, false},
        {{150, 150}, false}, {{200, 400}, true},     {{199, 200}, false},
        {{400, 401}, false}, {{65535, 65535}, true}, {{65534, 65535}, false},
    };
    for (const auto& [span, covered] : cases) {
        EXPECT_EQ(slave::Covers(merged, span), covered) << span.first << "-" << span.last;
    }
    EXPECT_EQ(SpansText(slave::MergeSpans({{0, 65535}, {65535, 65535}})), "0-65535");
}

slave::CRoleTable PlantRoles(bool withDefault) {
    slave::CRoleTable table;
    slave::RoleRights operatorRights;
    operatorRights.name = "operator";
    for (const int f : {1, 2, 3, 4}) {
        operatorRights.functions.set(f);
    }
    table.Add(operatorRights);
    slave::RoleRights engineer;
    engineer.name = "engineer";
    for (const int f : {1, 2, 3, 4, 5, 6, 15, 16, 22, 23}) {
        engineer.functions.set(f);
    }
    engineer.addresses = {{0, 999}};
    engineer.exception = protocol::kServerDeviceFailure;
    table.Add(engineer);
    if (withDefault) {
        table.SetDefault("operator");
    }
    return table;
}

TEST(RoleCheckTest, EachRequestIsJudgedByTheRoleOfItsClient) {
    const slave::CRoleTable table = PlantRoles(false);
    const slave::CRoleTable withDefault = PlantRoles(true);
    slave::CRoleTable unnamedDefault = PlantRoles(false);
    unnamedDefault.SetDefault("viewer");
    const auto named = [](const char* role) {
        return ClientIdentity{"CN=op1,O=Plant", ClientIdentity::Claim::Named, role};
    };
    const ClientIdentity none{"CN=op1,O=Plant", ClientIdentity::Claim::None, ""};
    const ClientIdentity unreadable{"CN=op1,O=Plant", ClientIdentity::Claim::Unreadable, ""};
    const Bytes read = {0x03, 0x00, 0x0A, 0x00, 0x02};
    const Bytes write = {0x06, 0x00, 0x0A, 0x00, 0x07};
    const Bytes writeMany = {0x10, 0x03, 0xE7, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02};
    const Bytes readWrite = {0x17, 0x00, 0x00, 0x00, 0x02, 0x03,
                             0xE8, 0x00, 0x01, 0x02, 0x12, 0x34};
    const Bytes identity = {0x2B, 0x0E, 0x01, 0x00};
    struct Case {
        const slave::CRoleTable* table;
        ClientIdentity client;
        Bytes pdu;
        const char* refusal;  // empty: allowed
        int exception;
    };
    const std::string op = "CN=op1,O=Plant ";
    const Case cases[] = {
        {nullptr, none, write, "", 0},
        {nullptr, unreadable, writeMany, "", 0},
        {&table, named("operator"), read, "", 0},
        {&table, named("operator"), write, "role operator function 6 address 10 (exception 1)", 1},
        {&table, named("operator"), identity, "role operator function 43 (exception 1)", 1},
        {&table, named("engineer"), write, "", 0},
        {&table, named("engineer"), {0x10, 0x03, 0xE6, 0x00, 0x01, 0x02, 0x00, 0x01}, "", 0},
        {&table, named("engineer"), writeMany,
         "role engineer function 16 addresses 999-1000 (exception 4)", 4},
        {&table, named("engineer"), readWrite,
         "role engineer function 23 address 1000 (exception 4)", 4},
        {&table, named("engineer"), identity, "role engineer function 43 (exception 4)", 4},
        // A request its function forbids reaches the device, which refuses it by its rules.
        {&table, named("engineer"), {0x03, 0x00, 0x00, 0x00, 0x00}, "", 0},
        {&table, named("Operator"), read,
         "role Operator, which the roles table does not name function 3 addresses 10-11 "
         "(exception 1)",
         1},
        {&table, none, read, "no role function 3 addresses 10-11 (exception 1)", 1},
        {&withDefault, none, read, "", 0},
        {&withDefault, none, write, "role operator by default function 6 address 10 (exception 1)",
         1},
        {&unnamedDefault, none, read,
         "role viewer by default, which the roles table does not name function 3 addresses "
         "10-11 (exception 1)",
         1},
        {&withDefault, unreadable, read,
         "an unreadable role function 3 addresses 10-11 (exception 1)", 1},
        {&table, named("op\x1b[2J"), read,
         "role op\\x1B[2J, which the roles table does not name function 3 addresses 10-11 "
         "(exception 1)",
         1},
        {&table, named("operator"), {0x83, 0x02}, "role operator function 131 (exception 1)", 1},
    };
    for (const Case& c : cases) {
        const slave::RoleVerdict verdict = slave::JudgeRequest(c.table, c.client, c.pdu);
        const std::string expected = *c.refusal == '\0' ? "" : op + c.refusal;
        EXPECT_EQ(verdict.allowed, expected.empty()) << expected;
        EXPECT_EQ(verdict.refusal, expected);
        EXPECT_EQ(verdict.exception, c.exception) << expected;
    }
}

TEST(RoleCheckTest, NamesInTheLogAreCutAndShowNoControlCharacters) {
    EXPECT_EQ(slave::Printable("CN=a\\,b,O=\xC3\xA9\n", 64), "CN=a\\,b,O=\\xC3\\xA9\\x0A");
    EXPECT_EQ(slave::Printable(std::string(70, 'r'), 64), std::string(64, 'r') + "...");
    EXPECT_EQ(slave::IdentityText({"CN=a", ClientIdentity::Claim::Named, "operator"}),
              "CN=a, role operator");
    EXPECT_EQ(slave::IdentityText({"CN=a", ClientIdentity::Claim::None, ""}), "CN=a, no role");
    EXPECT_EQ(slave::IdentityText({"CN=a", ClientIdentity::Claim::Unreadable, ""}),
              "CN=a, an unreadable role");
}

constexpr const char* kUnit = "\n[[unit]]\nid = 1\n";

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
[roles.operator]
functions = [1, 2, 3, 4]
[roles.engineer]
functions = "1-6,15,16"
addresses = ["0-99", 100, "500-599"]
exception = 4
)") + kUnit;
    std::string error;
    const auto file = slave::ParseSimulatorFile(text, "/srv/plant/sim.toml", error);
    ASSERT_TRUE(file) << error;
    const slave::SlaveOptions& o = file->options;
    const slave::NetPort* tls = slave::FindPort(o, slave::Transport::Tls);
    ASSERT_NE(tls, nullptr);
    EXPECT_EQ(tls->port, 8020);
    EXPECT_EQ(o.tlsCert, "/srv/plant/pki/device.pem");
    EXPECT_EQ(o.tlsKey, "/etc/vornak/device.key");
    EXPECT_EQ(o.tlsCa, "/srv/ca.pem");
    ASSERT_TRUE(o.roles);
    EXPECT_EQ(o.roles->Default(), "viewer");
    const slave::RoleRights* viewer = o.roles->Find("viewer");
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->functions.none());
    const slave::RoleRights* engineer = o.roles->Find("engineer");
    ASSERT_NE(engineer, nullptr);
    EXPECT_EQ(engineer->functions.count(), 8u);
    EXPECT_TRUE(engineer->functions.test(16));
    EXPECT_FALSE(engineer->functions.test(7));
    EXPECT_EQ(SpansText(engineer->addresses), "0-100 500-599");
    EXPECT_EQ(engineer->exception, 4);
    EXPECT_EQ(o.roles->Find("operator")->exception, protocol::kIllegalFunction);
    EXPECT_TRUE(o.roles->Find("operator")->addresses.empty());

    const auto plain = slave::ParseSimulatorFile(std::string("[network]\ntcp = 0\n") + kUnit,
                                                 "/srv/plant/sim.toml", error);
    ASSERT_TRUE(plain) << error;
    EXPECT_FALSE(plain->options.roles);
}

TEST(RoleFileTest, ARolesTableThatCannotServeIsRefusedWithItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"[roles]\ndefault = 3\n", "sim.toml:2: default must be the name of a role"},
        {"[roles]\ndefault = \"\"\n", "sim.toml:2: default must be the name of a role"},
        {"[roles]\nviewer = [3]\n",
         "sim.toml:2: unknown key 'viewer': a role is a table, [roles.viewer]"},
        {"[roles.viewer]\naddresses = [\"0-9\"]\n",
         "sim.toml:1: role 'viewer' needs its functions"},
        {"[roles.viewer]\nfunctions = [3, 128]\n", "sim.toml:2: functions must be 1 to 127"},
        {"[roles.viewer]\nfunctions = [0]\n", "sim.toml:2: functions must be 1 to 127"},
        {"[roles.viewer]\nfunctions = [3]\nwrites = true\n", "sim.toml:3: unknown key 'writes'"},
        {"[roles.viewer]\nfunctions = [3]\naddresses = [\"9-5\"]\n",
         "sim.toml:3: addresses must be a list of ranges 0 to 65535, as [\"0-99\", 200]"},
        {"[roles.viewer]\nfunctions = [3]\naddresses = [\"0-65536\"]\n",
         "sim.toml:3: addresses must be a list of ranges 0 to 65535, as [\"0-99\", 200]"},
        {"[roles.viewer]\nfunctions = [3]\naddresses = [-1]\n",
         "sim.toml:3: addresses must be a list of ranges 0 to 65535, as [\"0-99\", 200]"},
        {"[roles.viewer]\nfunctions = [3]\naddresses = []\n",
         "sim.toml:3: addresses must be a list of ranges 0 to 65535, as [\"0-99\", 200]"},
        {"[roles.viewer]\nfunctions = [3]\naddresses = \"0-9\"\n",
         "sim.toml:3: addresses must be a list of ranges 0 to 65535, as [\"0-99\", 200]"},
        {"[roles.viewer]\nfunctions = [3]\nexception = 12\n",
         "sim.toml:3: exception must be a whole number 1 to 11"},
        {"[roles.viewer]\nfunctions = [3]\nexception = 0\n",
         "sim.toml:3: exception must be a whole number 1 to 11"},
        {"roles = 3\n", "sim.toml:1: roles must be a table: [roles]"},
        {"[network]\ntls = 70000\n", "sim.toml:2: tls must be a whole number 0 to 65535"},
        {"[network]\ncert = 5\n", "sim.toml:2: cert must be a text"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(slave::ParseSimulatorFile(std::string(text) + kUnit, "sim.toml", error))
            << text;
        EXPECT_EQ(error, expected);
    }
}

TEST(TlsOptionsTest, TlsNeedsItsThreeFilesAndTheFilesNeedTls) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--tls", "802", "--cert", "c.pem", "--key", "k.pem", "--ca", "ca.pem"}, ""},
        {{"--tls=0", "--cert=c", "--key=k", "--ca=a", "--tcp", "0", "--bind", "::1"}, ""},
        {{"--tls", "802", "--key", "k.pem", "--ca", "ca.pem"},
         "--tls needs --cert FILE (the device's certificate, its key and the clients' CA)"},
        {{"--tls", "802", "--cert", "c.pem", "--ca", "ca.pem"},
         "--tls needs --key FILE (the device's certificate, its key and the clients' CA)"},
        {{"--tls", "802", "--cert", "c.pem", "--key", "k.pem"},
         "--tls needs --ca FILE (the device's certificate, its key and the clients' CA)"},
        {{"--tcp", "0", "--ca", "ca.pem"}, "--ca needs --tls"},
        {{"--cert", "c.pem"}, "--cert needs --tls"},
        {{"--tls", "1", "--tls", "2"}, "give --tls once"},
        {{"--tls", "65536"}, "bad or missing value for --tls (expected a port 0 to 65535)"},
        {{"--tls", "0", "--cert", ""}, "bad or missing value for --cert (expected a file)"},
        {{"--bind", "::1"}, "--bind needs --tcp, --udp, --rtu-tcp or --tls"},
    };
    for (const auto& [args, expected] : cases) {
        const slave::ParseResult parsed = slave::ParseSlaveOptions(args);
        EXPECT_EQ(parsed.error, expected) << args.front();
        if (*expected == '\0') {
            EXPECT_EQ(parsed.action, slave::ParseResult::Action::Run);
            ASSERT_NE(slave::FindPort(parsed.options, slave::Transport::Tls), nullptr);
            EXPECT_FALSE(parsed.options.line);
            EXPECT_EQ(slave::TransportText(parsed.options, slave::Transport::Tls), "TLS");
        }
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
    EXPECT_EQ(parsed.options.tlsCert, "/srv/c.pem");
    EXPECT_EQ(parsed.options.tlsKey, "other.key");
}

}  // namespace
