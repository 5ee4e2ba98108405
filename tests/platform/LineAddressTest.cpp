#include <gtest/gtest.h>

#include "platform/LineAddress.h"

namespace {

TEST(LineAddressTest, AcceptedDevicesAndTheirOptions) {
    struct Case {
        const char* device;
        LineKind kind;
        const char* target;
        bool echo, rs485, rtsHigh;
        std::uint32_t before, after;
        bool lowLatency;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", LineKind::Tty, "/dev/ttyUSB0", false, false, true, 0, 0, true},
        {"/dev/ttyUSB0?rs485&echo", LineKind::Tty, "/dev/ttyUSB0", true, true, true, 0, 0, true},
        {"/dev/ttyS1?rs485&rs485_rts=low&rs485_delay_before=2&rs485_delay_after=1000&"
         "low_latency=0",
         LineKind::Tty, "/dev/ttyS1", false, true, false, 2, 1000, false},
        {"/dev/x?echo=0&&", LineKind::Tty, "/dev/x", false, false, true, 0, 0, true},
        {"socket://10.0.0.5:4001?echo", LineKind::Socket, "10.0.0.5:4001", true, false, true, 0, 0,
         true},
        {"rfc2217://host:2217", LineKind::Rfc2217, "host:2217", false, false, true, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        std::string error;
        const std::optional<LineAddress> a = ParseLineAddress(c.device, error);
        ASSERT_TRUE(a) << error;
        EXPECT_EQ(a->kind, c.kind);
        EXPECT_EQ(a->target, c.target);
        EXPECT_EQ(a->echo, c.echo);
        EXPECT_EQ(a->rs485, c.rs485);
        EXPECT_EQ(a->rs485Settings.rtsHighWhileSending, c.rtsHigh);
        EXPECT_EQ(a->rs485Settings.delayBeforeMs, c.before);
        EXPECT_EQ(a->rs485Settings.delayAfterMs, c.after);
        EXPECT_EQ(a->lowLatency, c.lowLatency);
    }
}

TEST(LineAddressTest, RefusedDevicesSayWhatIsAccepted) {
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/ttyUSB0?rs458",
         "unknown option \"rs458\" (accepted: echo, rs485, rs485_delay_before=MS, "
         "rs485_delay_after=MS, rs485_rts=high|low, low_latency=0|1)"},
        {"/dev/ttyUSB0?echo=yes",
         "bad value \"yes\" for option echo (accepted: echo, echo=0 or "
         "echo=1)"},
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
         "rfc2217://HOST:PORT)"},
        {"?echo", "no device path"},
        {"socket://", "no HOST:PORT after the kind"},
    };
    for (const auto& [device, reason] : cases) {
        std::string error;
        EXPECT_FALSE(ParseLineAddress(device, error)) << device;
        EXPECT_EQ(error, reason) << device;
    }
    EXPECT_EQ(LineTarget("/dev/ttyUSB0?rs485&echo"), "/dev/ttyUSB0");
}

}  // namespace
