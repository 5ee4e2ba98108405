#include "tools/poll/PollScan.h"

#include <gtest/gtest.h>

#include "modbus/Modbus.h"

using poll::OutputFormat;

TEST(PollScan, PrintsEachFindInEachFormatAndTheProgressLine) {
    poll::PollRecord ok;
    ok.slave = 3;
    ok.exchangeMs = 12.3456;
    poll::PollRecord refused = ok;
    refused.slave = 17;
    refused.code = kModbusException + 2;
    poll::PollRecord odd = ok;
    odd.code = kModbusException + 0x42;
    const std::tuple<OutputFormat, const poll::PollRecord&, std::string> cases[] = {
        {OutputFormat::Table, ok, "3: answers (12 ms)\n"},
        {OutputFormat::Table, refused, "17: answers, exception 2 (Illegal Data Address) (12 ms)\n"},
        {OutputFormat::Table, odd, "3: answers, exception 66 (not a standard exception) (12 ms)\n"},
        {OutputFormat::Csv, refused, "17,exception 2 (Illegal Data Address),12.346\n"},
        {OutputFormat::Json, ok, "{\"slave\":3,\"result\":\"OK\",\"ms\":12.346}\n"},
        {OutputFormat::Json, refused,
         "{\"slave\":17,\"result\":\"exception\",\"exception\":2,\"text\":\"Illegal Data "
         "Address\",\"ms\":12.346}\n"},
    };
    for (const auto& [format, record, expected] : cases) {
        EXPECT_EQ(poll::FormatScanRecord(format, record), expected);
    }
    EXPECT_EQ(poll::FormatScanHeader(OutputFormat::Csv), "slave,result,ms\n");
    EXPECT_EQ(poll::FormatScanProgress(60, 240, 61, 2, 12001),
              "[#####...............] 60/240, asking 61, 2 found, 13 s left");
}

// With --identify each find carries its objects, or the reason there are none.
TEST(PollScan, PrintsEachFindWithItsIdentity) {
    poll::PollRecord ok;
    ok.slave = 3;
    ok.exchangeMs = 6.25;
    poll::Identity acme;
    acme.items = {{"VendorName", "Acme"}, {"ProductCode", "a,\"b"}};
    const poll::Identity none;
    const std::tuple<OutputFormat, const poll::Identity&, std::string> cases[] = {
        {OutputFormat::Table, acme,
         "3: answers (6 ms)\n  VendorName: Acme\n  ProductCode: a,\"b\n"},
        {OutputFormat::Csv, acme,
         "3,OK,6.250,VendorName,Acme\n3,OK,6.250,ProductCode,\"a,\"\"b\"\n"},
        {OutputFormat::Csv, none, "3,OK,6.250,,\n"},
        {OutputFormat::Json, acme,
         "{\"slave\":3,\"result\":\"OK\",\"ms\":6.250,\"identity\":{\"VendorName\":\"Acme\","
         "\"ProductCode\":\"a,\\\"b\"}}\n"},
        {OutputFormat::Json, none,
         "{\"slave\":3,\"result\":\"OK\",\"ms\":6.250,\"identity\":{}}\n"},
    };
    for (const auto& [format, identity, expected] : cases) {
        EXPECT_EQ(poll::FormatScanRecord(format, ok, &identity, "Time-out Error"), expected);
    }
    EXPECT_EQ(poll::FormatScanHeader(OutputFormat::Csv, true), "slave,result,ms,object,value\n");
}
