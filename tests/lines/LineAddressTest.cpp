#include <gtest/gtest.h>

#include "lines/LineAddress.h"

namespace {

// The address in one line (kind target [echo] [rs485] RTS-while-sending before/after
// [low_latency]), or the reason it is refused.
std::string Parsed(const char* device) {
    std::string error;
    const std::optional<LineAddress> a = ParseLineAddress(device, error);
    if (!a) {
        return error;
    }
    const char* const kinds[] = {"tty", "socket", "rfc2217", "tcp", "udp"};
    const Rs485Settings& r = a->rs485Settings;
    return kinds[static_cast<int>(a->kind)] + (" " + a->target) + (a->echo ? " echo" : "") +
           (a->rs485 ? " rs485" : "") + (r.rtsHighWhileSending ? " high " : " low ") +
           std::to_string(r.delayBeforeMs) + "/" + std::to_string(r.delayAfterMs) +
           (a->lowLatency ? " low_latency" : "");
}

TEST(LineAddressTest, DevicesGiveTheirOptionsOrSayWhatIsAccepted) {
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/x?echo=0&&", "tty /dev/x high 0/0 low_latency"},
        {"/dev/ttyS1?rs485&echo&rs485_rts=low&rs485_delay_before=2&rs485_delay_after=1000&"
         "low_latency=0",
         "tty /dev/ttyS1 echo rs485 low 2/1000"},
        {"socket://10.0.0.5:4001?echo", "socket 10.0.0.5:4001 echo high 0/0 low_latency"},
        {"rfc2217://host:2217", "rfc2217 host:2217 high 0/0 low_latency"},
        {"/dev/ttyUSB0?rs458",
         "unknown option \"rs458\" (accepted: echo, rs485, rs485_delay_before=MS, "
         "rs485_delay_after=MS, rs485_rts=high|low, low_latency=0|1)"},
        {"/dev/ttyUSB0?echo=yes",
         "bad value \"yes\" for option echo (accepted: echo, echo=0 or echo=1)"},
        {"/dev/ttyUSB0?low_latency", "bad value \"\" for option low_latency (accepted: 0 or 1)"},
        {"/dev/ttyUSB0?rs485&rs485_rts=up",
         "bad value \"up\" for option rs485_rts (accepted: high or low)"},
        {"/dev/ttyUSB0?rs485&rs485_delay_after=1001",
         "bad value \"1001\" for option rs485_delay_after (accepted: 0 to 1000 ms)"},
        {"/dev/ttyUSB0?rs485_delay_before=5",
         "the options rs485_delay_before, rs485_delay_after and rs485_rts need rs485"},
        {"socket://h:1?rs485",
         "option rs485 applies to serial devices only (a device server line accepts: echo)"},
        {"rfc2217://h:1?speed=9600", "unknown option \"speed\" (accepted: echo)"},
        {"spy:///dev/ttyUSB0",
         "unknown kind of line \"spy://\" (accepted: a device path, socket://HOST:PORT, "
         "rfc2217://HOST:PORT, tcp://HOST[:PORT], udp://HOST[:PORT], "
         "tls://HOST[:PORT]?cert=FILE&key=FILE&ca=FILE)"},
        {"?echo", "no device path"},
        {"socket://", "no HOST:PORT after the kind"},
        {"tcp://plc.local", "tcp plc.local:502 high 0/0 low_latency"},
        {"udp://[::1]:5020", "udp [::1]:5020 high 0/0 low_latency"},
        {"udp://[fe80::1]", "udp [fe80::1]:502 high 0/0 low_latency"},
        {"tcp://plc:0", "bad port \"0\" in \"plc:0\" (accepted: 1 to 65535, or none for 502)"},
        {"udp://plc:70000",
         "bad port \"70000\" in \"plc:70000\" (accepted: 1 to 65535, or none for 502)"},
        {"tcp://plc:", "bad port \"\" in \"plc:\" (accepted: 1 to 65535, or none for 502)"},
        {"tcp://::1", "\"::1\": an IPv6 address goes in brackets, [ADDRESS] or [ADDRESS]:PORT"},
        {"tcp://[::1", "\"[::1\" is not [IPv6 ADDRESS] or [IPv6 ADDRESS]:PORT"},
        {"udp://:502", "no HOST in \":502\""},
        {"tcp://", "no HOST[:PORT] after the kind"},
        {"tcp://plc?echo",
         "option echo applies to serial lines only (a Modbus TCP line takes no options)"},
        {"udp://plc?rs485",
         "option rs485 applies to serial devices only (a Modbus UDP line takes no options)"},
        {"udp://plc?unit=1", "unknown option \"unit\" (a Modbus UDP line takes no options)"},
        {"/dev/ttyUSB0\t?echo", "the device holds a control character (0x09) at byte 13"},
    };
    for (const auto& [device, expected] : cases) {
        EXPECT_EQ(Parsed(device), expected) << device;
    }
    EXPECT_EQ(LineTarget("/dev/ttyUSB0?rs485&echo"), "/dev/ttyUSB0");
    EXPECT_STREQ(LineSettingsNote(LineKind::Udp), "Modbus UDP, line settings do not apply");
    EXPECT_EQ(LineSettingsNote(LineKind::Tty), nullptr);
}

}  // namespace
