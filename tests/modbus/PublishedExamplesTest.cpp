// The master against the published examples: each call sends the example's request byte for
// byte and reads its answer back into the values the example shows, RTU and ASCII alike.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "protocol/AsciiCodec.h"
#include "protocol/RtuCodec.h"
#include "protocol/functions/Functions.h"
#include "tests/modbus/LineFixture.h"
#include "tests/protocol/Examples.h"

namespace {

constexpr std::uint8_t kSlave = 0x11;

// The call that sends an example's request, and what it must read from the answer.
using Call = std::function<std::uint16_t(CModbus&)>;

std::map<std::string, Call> Calls() {
    std::map<std::string, Call> calls;
    calls["read coils 20-38"] = [](CModbus& m) {
        ByteArray states;
        const auto code = m.ReadCoils(kSlave, 19, 19, states);
        EXPECT_EQ(states, (ByteArray{1, 0, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1}));
        return code;
    };
    calls["read discrete inputs 197-218"] = [](CModbus& m) {
        ByteArray states;
        const auto code = m.ReadDiscreteInputs(kSlave, 196, 22, states);
        EXPECT_EQ(states.size(), 22u);
        EXPECT_EQ(states[2], 1);  // 0xAC: inputs 197 and 198 off, 199 on
        return code;
    };
    calls["read holding registers 108-110"] = [](CModbus& m) {
        WordArray values;
        const auto code = m.ReadHoldingRegisters(kSlave, 107, 3, values);
        EXPECT_EQ(values, (WordArray{0x022B, 0x0000, 0x0064}));
        return code;
    };
    calls["read input register 9"] = [](CModbus& m) {
        WordArray values;
        const auto code = m.ReadInputRegisters(kSlave, 8, 1, values);
        EXPECT_EQ(values, WordArray{0x000A});
        return code;
    };
    calls["write coil 173 on"] = [](CModbus& m) { return m.PresetSingleCoil(kSlave, 172, 1); };
    calls["write register 2"] = [](CModbus& m) { return m.PresetSingleRegister(kSlave, 1, 3); };
    calls["write 10 coils from coil 20"] = [](CModbus& m) {
        return m.ForceMultipleCoils(kSlave, 19, {1, 0, 1, 1, 0, 0, 1, 1, 1, 0});
    };
    calls["write registers 2 and 3"] = [](CModbus& m) {
        return m.PresetMultipleRegisters(kSlave, 1, {0x000A, 0x0102});
    };
    calls["read exception status"] = [](CModbus& m) {
        std::uint8_t status = 0;
        const auto code = m.ReadExceptionStatus(kSlave, status);
        EXPECT_EQ(status, 0x6D);
        return code;
    };
    calls["diagnostics, return query data"] = [](CModbus& m) {
        WordArray echo;
        const auto code = m.Diagnostics(kSlave, protocol::kReturnQueryData, {0xA537}, echo);
        EXPECT_EQ(echo, WordArray{0xA537});
        return code;
    };
    calls["get comm event counter, busy"] = [](CModbus& m) {
        std::uint16_t status = 0;
        std::uint16_t count = 0;
        const auto code = m.GetCommEventCounter(kSlave, status, count);
        EXPECT_EQ(status, 0xFFFF);
        EXPECT_EQ(count, 0x0108);
        return code;
    };
    calls["get comm event log"] = [](CModbus& m) {
        protocol::CommEventLog log;
        const auto code = m.GetCommEventLog(kSlave, log);
        EXPECT_EQ(log.eventCount, 0x0108);
        EXPECT_EQ(log.messageCount, 0x0121);
        EXPECT_EQ(log.events, (protocol::Bytes{0x20, 0x00}));
        return code;
    };
    calls["report server id"] = [](CModbus& m) {
        ByteArray data;
        const auto code = m.ReportSlaveId(kSlave, data);
        EXPECT_EQ(data, (ByteArray{0x01, 0xFF, 'P', 'L', 'C', '-', '9'}));
        return code;
    };
    calls["read device identification, basic, in one answer"] = [](CModbus& m) {
        DeviceIdAnswer answer;
        const auto code = m.ReadDeviceIdentification(kSlave, 1, 0, answer);
        EXPECT_EQ(answer.objects.size(), 3u);
        EXPECT_FALSE(answer.moreFollows);
        return code;
    };
    calls["read file records 4/1-2 and 3/9-10"] = [](CModbus& m) {
        std::vector<WordArray> records;
        const auto code = m.ReadFileRecord(kSlave, {{4, 1, 2}, {3, 9, 2}}, records);
        EXPECT_EQ(records, (std::vector<WordArray>{{0x0DFE, 0x0020}, {0x33CD, 0x0040}}));
        return code;
    };
    calls["write file records 4/7-9"] = [](CModbus& m) {
        return m.WriteFileRecord(kSlave, {{4, 7, {0x06AF, 0x04BE, 0x100D}}});
    };
    calls["mask write register 5"] = [](CModbus& m) {
        return m.MaskWriteRegister(kSlave, 4, 0x00F2, 0x0025);
    };
    calls["write registers 15-17, read 4-9"] = [](CModbus& m) {
        WordArray read;
        const auto code =
            m.ReadWriteMultipleRegisters(kSlave, 3, 6, 14, {0x00FF, 0x00FF, 0x00FF}, read);
        EXPECT_EQ(read, (WordArray{0x00FE, 0x0ACD, 0x0001, 0x0003, 0x000D, 0x00FF}));
        return code;
    };
    calls["read FIFO queue at 1246"] = [](CModbus& m) {
        WordArray queue;
        const auto code = m.ReadFifoQueue(kSlave, 0x04DE, queue);
        EXPECT_EQ(queue, (WordArray{0x01B8, 0x1284}));
        return code;
    };
    return calls;
}

Bytes Addressed(const protocol::Bytes& pdu) {
    Bytes message{kSlave};
    message.insert(message.end(), pdu.begin(), pdu.end());
    return message;
}

class PublishedExamplesTest : public LineTest, public ::testing::WithParamInterface<int> {};

TEST_P(PublishedExamplesTest, EveryExampleSentAndReadByItsCall) {
    const bool rtu = GetParam() == 0;
    OpenLine(static_cast<std::uint16_t>(GetParam()));
    const auto frame = [rtu](const protocol::Bytes& pdu) {
        return rtu ? protocol::RtuWrap(Addressed(pdu)) : protocol::AsciiWrap(Addressed(pdu));
    };
    const auto calls = Calls();
    for (const WorkedExample& example : AllWorkedExamples()) {
        SCOPED_TRACE(example.name);
        const auto call = calls.find(example.name);
        ASSERT_NE(call, calls.end());
        port.Reset();
        port.Answer(frame(example.answer));
        EXPECT_EQ(call->second(master), kModbusOk);
        ASSERT_EQ(port.writes.size(), 1u);
        EXPECT_EQ(port.writes[0], frame(example.request));
    }
}

INSTANTIATE_TEST_SUITE_P(RtuAndAscii, PublishedExamplesTest, ::testing::Values(0, 1));

// Answers that break their function's own rules are the master's bad answer, and requests
// that break them never leave.
TEST_F(LineTest, NewFunctionsRefuseWhatTheirRulesRefuse) {
    OpenLine(0);
    const std::pair<const char*, Bytes> answers[] = {
        {"FIFO count over 31", {kSlave, 0x18, 0x00, 0x42, 0x00, 0x20}},
        // Of the length one register calls for, but counting three bytes.
        {"23 with a byte count not its own", {kSlave, 0x17, 0x03, 0x00, 0x01}},
        {"12 whose byte count runs past it", {kSlave, 0x0C, 0x09, 0, 0, 0, 0, 0, 0}},
    };
    WordArray values{7};
    protocol::CommEventLog log;
    for (const auto& [what, answer] : answers) {
        SCOPED_TRACE(what);
        port.Reset();
        port.Answer(protocol::RtuWrap(answer));
        const std::uint16_t code =
            answer[1] == 0x18   ? master.ReadFifoQueue(kSlave, 0, values)
            : answer[1] == 0x17 ? master.ReadWriteMultipleRegisters(kSlave, 0, 1, 0, {1}, values)
                                : master.GetCommEventLog(kSlave, log);
        EXPECT_EQ(code, kModbusInvalidResponse);
        EXPECT_EQ(values, WordArray{7});
    }
    port.Reset();
    WordArray read;
    EXPECT_EQ(master.ReadWriteMultipleRegisters(kSlave, 0, 126, 0, {1}, read), kModbusBadRequest);
    EXPECT_EQ(master.ReadWriteMultipleRegisters(kSlave, 0, 1, 0, WordArray(122, 0), read),
              kModbusBadRequest);
    std::vector<WordArray> records;
    EXPECT_EQ(master.ReadFileRecord(kSlave, {}, records), kModbusBadRequest);
    EXPECT_TRUE(port.writes.empty());
}

// Any PDU goes out as typed and its answer's PDU comes back; an exception is its code.
TEST_F(LineTest, SendPduCarriesAnyFunction) {
    OpenLine(0);
    port.Answer(protocol::RtuWrap({kSlave, 0x41, 0x01, 0x02, 0x03}));
    ByteArray answer;
    EXPECT_EQ(master.SendPdu(kSlave, {0x41, 0x99}, answer), kModbusOk);
    EXPECT_EQ(answer, (ByteArray{0x41, 0x01, 0x02, 0x03}));
    EXPECT_EQ(port.writes[0], protocol::RtuWrap({kSlave, 0x41, 0x99}));

    port.Answer(protocol::RtuWrap({kSlave, 0xC1, 0x01}));
    EXPECT_EQ(master.SendPdu(kSlave, {0x41}, answer), kModbusException + 1);
    port.Answer(protocol::RtuWrap({kSlave, 0x42, 0x00}));
    EXPECT_EQ(master.SendPdu(kSlave, {0x41}, answer), kModbusInvalidResponse);
    EXPECT_EQ(master.SendPdu(kSlave, {}, answer), kModbusBadRequest);
    EXPECT_EQ(master.SendPdu(kSlave, ByteArray(254, 0x41), answer), kModbusBadRequest);
}

}  // namespace
