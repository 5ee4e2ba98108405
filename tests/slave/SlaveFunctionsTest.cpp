// The functions the simulator serves through the protocol library beyond reads and writes of
// the four tables, end to end through its framing: exact answers and exception 3 for requests
// their functions' rules forbid.

#include <gtest/gtest.h>

#include "SlaveCore.h"
#include "tools/slave/SlaveLog.h"

namespace slave {
namespace {

struct Exchange {
    Bytes request;  // address, function, data
    Bytes answer;   // empty: none
};

void Play(CSlaveCore& core, const std::vector<Exchange>& exchanges) {
    for (const Exchange& e : exchanges) {
        SCOPED_TRACE(HexSpaced(e.request));
        EXPECT_EQ(core.Ask(e.request), e.answer);
    }
}

SlaveOptions Options(Framing mode = Framing::Rtu) {
    SlaveOptions options;
    options.mode = mode;
    options.size = 100;
    options.fifoAddress = 0x04DE;
    options.fifoSize = 3;
    options.files = 4;
    options.records = 300;
    return options;
}

TEST(SlaveFunctions, ExceptionStatusReadsCoilsZeroToSeven) {
    CSlaveCore core(Options());
    Play(core, {
                   {{1, 7}, {1, 7, 0x00}},
                   {{1, 15, 0, 0, 0, 8, 1, 0xA5}, {1, 15, 0, 0, 0, 8}},
                   {{1, 7}, {1, 7, 0xA5}},
                   {{1, 5, 0, 0, 0, 0}, {1, 5, 0, 0, 0, 0}},
                   {{1, 5, 0, 8, 0xFF, 0}, {1, 5, 0, 8, 0xFF, 0}},  // not an output
                   {{1, 7}, {1, 7, 0xA4}},
               });
}

TEST(SlaveFunctions, FileRecordsReadTheirPatternAndWhatWasWritten) {
    CSlaveCore core(Options());
    Play(core,
         {
             // File 4 from record 1 and file 3 from record 9, two registers each.
             {{1, 20, 14, 6, 0, 4, 0, 1, 0, 2, 6, 0, 3, 0, 9, 0, 2},
              {1, 20, 12, 5, 6, 0x04, 0x01, 0x04, 0x02, 5, 6, 0x03, 0x09, 0x03, 0x0A}},
             // Three registers into file 4 from record 7, echoed.
             {{1, 21, 13, 6, 0, 4, 0, 7, 0, 3, 0x06, 0xAF, 0x04, 0xBE, 0x10, 0x0D},
              {1, 21, 13, 6, 0, 4, 0, 7, 0, 3, 0x06, 0xAF, 0x04, 0xBE, 0x10, 0x0D}},
             {{1, 20, 7, 6, 0, 4, 0, 6, 0, 5},
              {1, 20, 12, 11, 6, 0x04, 0x06, 0x06, 0xAF, 0x04, 0xBE, 0x10, 0x0D, 0x04, 0x0A}},
             // The last record of a file, then one past it, a file past --files and file 0.
             {{1, 20, 7, 6, 0, 1, 0x01, 0x2B, 0, 1}, {1, 20, 4, 3, 6, 0x01, 0x2B}},
             {{1, 20, 7, 6, 0, 1, 0x01, 0x2B, 0, 2}, {1, 0x94, 2}},
             {{1, 20, 7, 6, 0, 5, 0, 0, 0, 1}, {1, 0x94, 2}},
             {{1, 20, 7, 6, 0, 0, 0, 0, 0, 1}, {1, 0x94, 2}},
             {{1, 21, 9, 6, 0, 5, 0, 0, 0, 1, 0x12, 0x34}, {1, 0x95, 2}},
             // A second sub-request refused: the first wrote nothing either.
             {{1, 21, 18, 6, 0, 4, 0, 0, 0, 1, 0xAA, 0xBB, 6, 0, 4, 0x01, 0x2C, 0, 1, 0xCC, 0xDD},
              {1, 0x95, 2}},
             {{1, 20, 7, 6, 0, 4, 0, 0, 0, 1}, {1, 20, 4, 3, 6, 0x04, 0x00}},
         });
    EXPECT_EQ(core.Bank().HoldingRegister(7), 0);  // files are not the holding registers
}

TEST(SlaveFunctions, MaskWriteAndReadWriteRegistersWorkOnHoldingRegisters) {
    CSlaveCore core(Options());
    Play(core, {
                   {{1, 6, 0, 4, 0, 0x12}, {1, 6, 0, 4, 0, 0x12}},
                   // (0x12 AND 0xF2) OR (0x25 AND NOT 0xF2) = 0x17.
                   {{1, 22, 0, 4, 0, 0xF2, 0, 0x25}, {1, 22, 0, 4, 0, 0xF2, 0, 0x25}},
                   {{1, 3, 0, 4, 0, 1}, {1, 3, 2, 0, 0x17}},
                   {{1, 22, 0, 100, 0, 0xF2, 0, 0x25}, {1, 0x96, 2}},
                   // Registers 10 to 12 written first, then 9 to 12 read.
                   {{1, 23, 0, 9, 0, 4, 0, 10, 0, 3, 6, 0, 1, 0, 2, 0, 3},
                    {1, 23, 8, 0, 0, 0, 1, 0, 2, 0, 3}},
                   // The read reaches the register the write changed.
                   {{1, 23, 0, 4, 0, 1, 0, 4, 0, 1, 2, 0xAB, 0xCD}, {1, 23, 2, 0xAB, 0xCD}},
                   {{1, 23, 0, 99, 0, 2, 0, 0, 0, 1, 2, 0, 1}, {1, 0x97, 2}},
                   {{1, 23, 0, 0, 0, 1, 0, 99, 0, 2, 4, 0, 1, 0, 2}, {1, 0x97, 2}},
               });
    EXPECT_EQ(core.Bank().HoldingRegister(4), 0xABCD);
    // Neither refused request wrote anything.
    EXPECT_EQ(core.Bank().HoldingRegister(0), 0);
    EXPECT_EQ(core.Bank().HoldingRegister(99), 0);
}

TEST(SlaveFunctions, FifoQueueIsReadAtItsPointerAddress) {
    CSlaveCore core(Options());
    Play(core, {
                   {{1, 24, 0x04, 0xDE}, {1, 24, 0, 8, 0, 3, 0xF0, 0x00, 0xF0, 0x01, 0xF0, 0x02}},
                   {{1, 24, 0x04, 0xDE}, {1, 24, 0, 8, 0, 3, 0xF0, 0x00, 0xF0, 0x01, 0xF0, 0x02}},
                   {{1, 24, 0x04, 0xDF}, {1, 0x98, 2}},
               });
    SlaveOptions empty = Options();
    empty.fifoSize = 0;
    CSlaveCore none(empty);
    Play(none, {{{1, 24, 0x04, 0xDE}, {1, 24, 0, 2, 0, 0}}});
}

TEST(SlaveFunctions, RequestsTheirRulesForbidGetExceptionThree) {
    CSlaveCore core(Options());
    const Bytes requests[] = {
        {1, 7, 0},
        {1, 11, 0},
        {1, 12, 0, 0},
        {1, 8, 0, 0, 0},               // half a data word
        {1, 8, 0, 1, 0x12, 0x34},      // restart takes 0000 or FF00 only
        {1, 8, 0, 10, 0, 1},           // clear counters takes 0000
        {1, 8, 0, 11, 0, 0, 0, 0},     // a counter with two words
        {1, 20, 6, 6, 0, 1, 0, 0, 0},  // byte count below 7
        {1, 20, 8, 6, 0, 1, 0, 0, 0, 1},
        {1, 20, 7, 5, 0, 1, 0, 0, 0, 1},  // reference type 5
        {1, 21, 9, 6, 0, 1, 0, 0, 0, 2, 0x12, 0x34},
        {1, 22, 0, 4, 0, 0xF2, 0},
        {1, 23, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 1},  // no register read
        {1, 23, 0, 0, 0, 1, 0, 0, 0, 0, 0},        // none written
        {1, 23, 0, 0, 0, 1, 0, 0, 0, 1, 4, 0, 1},  // byte count for two
        {1, 23, 0, 0, 0, 126, 0, 0, 0, 1, 2, 0, 1},
        {1, 24, 0x04},
        {1, 24, 0x04, 0xDE, 0},
    };
    for (const Bytes& request : requests) {
        SCOPED_TRACE(HexSpaced(request));
        EXPECT_EQ(core.Ask(request),
                  (Bytes{1, static_cast<std::uint8_t>(request[1] | protocol::kExceptionFlag),
                         protocol::kIllegalDataValue}));
    }
    // A sub-function the device lacks is a function it lacks: another delimiter than LF, 21.
    EXPECT_EQ(core.Ask({1, 8, 0, 3, 0x3A, 0}), (Bytes{1, 0x88, protocol::kIllegalFunction}));
    EXPECT_EQ(core.Ask({1, 8, 0, 21, 0, 0}), (Bytes{1, 0x88, protocol::kIllegalFunction}));
    for (int i = 0; i < core.Bank().Size(); ++i) {
        ASSERT_EQ(core.Bank().HoldingRegister(i), 0) << i;
    }
}

TEST(SlaveFunctions, AsciiFramingServesThemAlike) {
    CSlaveCore core(Options(Framing::Ascii));
    Play(core, {
                   {{1, 15, 0, 0, 0, 8, 1, 0x3C}, {1, 15, 0, 0, 0, 8}},
                   {{1, 7}, {1, 7, 0x3C}},
                   {{1, 24, 0x04, 0xDE}, {1, 24, 0, 8, 0, 3, 0xF0, 0x00, 0xF0, 0x01, 0xF0, 0x02}},
                   {{1, 20, 7, 6, 0, 2, 0, 0x10, 0, 1}, {1, 20, 4, 3, 6, 0x02, 0x10}},
                   {{1, 8, 0, 0, 0xA5, 0x37}, {1, 8, 0, 0, 0xA5, 0x37}},
               });
    // The wire bytes themselves: upper-case hex, the LRC, CR LF.
    const std::string line = ":0107F8\r\n";
    EXPECT_EQ(core.Send(Bytes(line.begin(), line.end())),
              (Bytes{':', '0', '1', '0', '7', '3', 'C', 'B', 'C', '\r', '\n'}));
}

}  // namespace
}  // namespace slave
