// How a record's fields and a malformed frame's reason read in each format.

#include <stdlib.h>

#include <gtest/gtest.h>

#include "tools/monitor/MonitorFormat.h"

namespace monitor {
namespace {

using poll::OutputFormat;

MonitorRecord MaskWrite() {
    MonitorRecord r;
    r.kind = RecordKind::Request;
    r.slave = 17;
    r.function = 22;
    r.address = 4;
    r.fields = {{"and", "0x00F2"}, {"or", "0x0025"}};
    r.bytes = {17, 22, 0, 4, 0, 0xF2, 0, 0x25, 0x8E, 0x91};
    return r;
}

MonitorRecord MalformedFifo() {
    MonitorRecord r;
    r.kind = RecordKind::Answer;
    r.slave = 17;
    r.function = 24;
    r.values = {440};
    r.fields = {{"more follows", "a, \"b\""}};
    r.error = "malformed: FIFO count 32 over 31";
    r.bytes = {'1', '1', '1', '8'};
    return r;
}

TEST(RecordFieldsFormat, FieldsFollowTheCountAndAMalformedFrameSaysWhy) {
    ::setenv("TZ", "UTC", 1);
    const auto wall = std::chrono::system_clock::time_point{};
    const std::string time = "1970-01-01T00:00:00.000+00:00";
    const struct {
        OutputFormat format;
        MonitorRecord record;
        std::string line;
    } cases[] = {
        {OutputFormat::Table, MaskWrite(),
         time + " request   slave 17 function 22 address 4 and 0x00F2 or 0x0025 | 11 16 00 04 00 "
                "F2 00 25 8E 91\n"},
        {OutputFormat::Table, MalformedFifo(),
         time + " answer    slave 17 function 24 more follows a, \"b\" = 440 malformed: FIFO count "
                "32 over 31 | :1118\n"},
        {OutputFormat::Csv, MaskWrite(),
         time + ",request,17,22,4,,and=0x00F2 or=0x0025,,,,11 16 00 04 00 F2 00 25 8E 91\n"},
        {OutputFormat::Csv, MalformedFifo(),
         time + ",answer,17,24,,,\"440 more follows=a, \"\"b\"\"\",,malformed: FIFO count 32 over "
                "31,,:1118\n"},
        {OutputFormat::Json, MaskWrite(),
         "{\"time\":\"" + time +
             "\",\"kind\":\"request\",\"slave\":17,\"function\":22,\"address\":4,\"count\":null,"
             "\"fields\":{\"and\":\"0x00F2\",\"or\":\"0x0025\"},\"values\":[],\"exception\":null,"
             "\"error\":\"\",\"answer_ms\":null,\"bytes\":\"11 16 00 04 00 F2 00 25 8E 91\"}\n"},
        {OutputFormat::Json, MalformedFifo(),
         "{\"time\":\"" + time +
             "\",\"kind\":\"answer\",\"slave\":17,\"function\":24,\"address\":null,\"count\":null,"
             "\"fields\":{\"more follows\":\"a, \\\"b\\\"\"},\"values\":[440],\"exception\":null,"
             "\"error\":\"malformed: FIFO count 32 over 31\",\"answer_ms\":null,\"bytes\":"
             "\":1118\"}\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatMonitorRecord({c.format}, c.record, wall), c.line);
    }
}

}  // namespace
}  // namespace monitor
