#include "tools/slave/SlaveDataModel.h"

#include <gtest/gtest.h>

namespace slave {
namespace {

using protocol::kIllegalDataAddress;
using protocol::kNoException;
using protocol::Table;
using protocol::Words;

SlaveOptions Data(int fifoSize, int fifoAddress, int files, int records) {
    SlaveOptions options;
    options.fifoSize = fifoSize;
    options.fifoAddress = fifoAddress;
    options.files = files;
    options.records = records;
    return options;
}

TEST(SlaveDataModel, TablesEndAtTheBanksSize) {
    CRegisterBank bank(100);
    CSlaveDataModel model(bank);
    struct Case {
        Table table;
        std::uint16_t start;
        std::uint16_t count;
        std::uint8_t result;
    };
    const Case cases[] = {
        {Table::Coils, 0, 100, kNoException},
        {Table::Coils, 99, 1, kNoException},
        {Table::Coils, 99, 2, kIllegalDataAddress},
        {Table::DiscreteInputs, 100, 1, kIllegalDataAddress},
        {Table::HoldingRegisters, 0, 100, kNoException},
        {Table::HoldingRegisters, 0xFFFF, 1, kIllegalDataAddress},
        {Table::InputRegisters, 90, 11, kIllegalDataAddress},
        {Table::InputRegisters, 90, 10, kNoException},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.table) * 100000 + c.start);
        const bool bits = c.table == Table::Coils || c.table == Table::DiscreteInputs;
        protocol::Bytes read;
        Words values;
        const std::uint8_t result = bits ? model.ReadBits(c.table, c.start, c.count, read)
                                         : model.ReadRegisters(c.table, c.start, c.count, values);
        EXPECT_EQ(result, c.result);
        if (result == kNoException) {
            EXPECT_EQ(bits ? read.size() : values.size(), c.count);
        }
    }
    // Bits are not registers, nor the other way round.
    protocol::Bytes bits;
    Words values;
    EXPECT_EQ(model.ReadBits(Table::HoldingRegisters, 0, 1, bits), kIllegalDataAddress);
    EXPECT_EQ(model.ReadRegisters(Table::Coils, 0, 1, values), kIllegalDataAddress);
    // A write that does not fit changes nothing.
    EXPECT_EQ(model.WriteRegisters(99, {1, 2}), kIllegalDataAddress);
    EXPECT_EQ(model.WriteCoils(98, {1, 1, 1}), kIllegalDataAddress);
    EXPECT_EQ(bank.HoldingRegister(99), 0);
    EXPECT_FALSE(bank.Coil(98));
    EXPECT_EQ(model.WriteRegisters(98, {1, 2}), kNoException);
    EXPECT_EQ(bank.HoldingRegister(99), 2);
}

TEST(SlaveDataModel, InputsFollowTheTimeItIsTold) {
    CRegisterBank bank(10);
    CSlaveDataModel model(bank);
    Words values;
    protocol::Bytes bits;
    model.SetElapsed(1234);
    ASSERT_EQ(model.ReadRegisters(Table::InputRegisters, 2, 2, values), kNoException);
    EXPECT_EQ(values, (Words{14, 15}));
    ASSERT_EQ(model.ReadBits(Table::DiscreteInputs, 0, 3, bits), kNoException);
    EXPECT_EQ(bits, (protocol::Bytes{1, 0, 1}));
    model.SetElapsed(2000);
    ASSERT_EQ(model.ReadBits(Table::DiscreteInputs, 0, 3, bits), kNoException);
    EXPECT_EQ(bits, (protocol::Bytes{0, 1, 0}));
}

TEST(SlaveDataModel, ExceptionStatusIsCoilsZeroToSeven) {
    CRegisterBank bank(10);
    CSlaveDataModel model(bank);
    EXPECT_EQ(model.ExceptionStatus(), 0);
    for (const int coil : {0, 2, 7, 8, 9}) {
        bank.SetCoil(coil, true);
    }
    EXPECT_EQ(model.ExceptionStatus(), 0x85);
    // A bank of fewer than eight coils has its missing outputs off.
    CRegisterBank small(3);
    small.SetCoil(2, true);
    CSlaveDataModel smallModel(small);
    EXPECT_EQ(smallModel.ExceptionStatus(), 0x04);
}

TEST(SlaveDataModel, FifoIsItsPatternAtItsAddressOnly) {
    CRegisterBank bank(10);
    CSlaveDataModel model(bank, Data(3, 0x04DE, 0, 1));
    Words queue;
    ASSERT_EQ(model.ReadFifo(0x04DE, queue), kNoException);
    EXPECT_EQ(queue, (Words{0xF000, 0xF001, 0xF002}));
    // Reading does not empty it.
    ASSERT_EQ(model.ReadFifo(0x04DE, queue), kNoException);
    EXPECT_EQ(queue.size(), 3u);
    EXPECT_EQ(model.ReadFifo(0x04DF, queue), kIllegalDataAddress);
    EXPECT_EQ(model.ReadFifo(0, queue), kIllegalDataAddress);

    CSlaveDataModel none(bank, Data(0, 0, 0, 1));
    ASSERT_EQ(none.ReadFifo(0, queue), kNoException);
    EXPECT_TRUE(queue.empty());
}

TEST(SlaveDataModel, FileRecordsStartAsTheirPatternAndKeepWrites) {
    CRegisterBank bank(10);
    CSlaveDataModel model(bank, Data(0, 0, 4, 300));
    struct Case {
        std::uint16_t file;
        std::uint16_t record;
        std::uint16_t length;
        std::uint8_t result;
        Words values;
    };
    const Case cases[] = {
        {4, 1, 2, kNoException, {0x0401, 0x0402}},   {3, 9, 2, kNoException, {0x0309, 0x030A}},
        {1, 255, 2, kNoException, {0x01FF, 0x0100}},  // the low byte of record 256
        {2, 298, 2, kNoException, {0x022A, 0x022B}}, {2, 299, 2, kIllegalDataAddress, {}},
        {2, 300, 1, kIllegalDataAddress, {}},        {0, 0, 1, kIllegalDataAddress, {}},
        {5, 0, 1, kIllegalDataAddress, {}},          {0xFFFF, 0, 1, kIllegalDataAddress, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.file) + "/" + std::to_string(c.record));
        Words values;
        EXPECT_EQ(model.ReadFileRecord(c.file, c.record, c.length, values), c.result);
        if (c.result == kNoException) {
            EXPECT_EQ(values, c.values);
        }
    }
    EXPECT_EQ(model.WriteFileRecord(4, 7, {0x06AF, 0x04BE, 0x100D}), kNoException);
    EXPECT_EQ(model.WriteFileRecord(4, 299, {1, 2}), kIllegalDataAddress);
    EXPECT_EQ(model.WriteFileRecord(0, 0, {1}), kIllegalDataAddress);
    Words values;
    ASSERT_EQ(model.ReadFileRecord(4, 6, 5, values), kNoException);
    EXPECT_EQ(values, (Words{0x0406, 0x06AF, 0x04BE, 0x100D, 0x040A}));
    ASSERT_EQ(model.ReadFileRecord(4, 299, 1, values), kNoException);
    EXPECT_EQ(values, (Words{0x042B}));
}

TEST(SlaveDataModel, IdentityIsTheBasicObjectsAndTheProductAfterTheRunIndicator) {
    CRegisterBank bank(10);
    SlaveOptions options;
    options.identity = {"ACME", "PLC-9", "2.0"};
    CSlaveDataModel model(bank, options);
    const protocol::DeviceIdentity& identity = model.Identity();
    using Objects = std::vector<std::pair<std::uint8_t, std::string>>;
    EXPECT_EQ(identity.objects, (Objects{{0, "ACME"}, {1, "PLC-9"}, {2, "2.0"}}));
    EXPECT_TRUE(identity.running);
    EXPECT_EQ(identity.serverData, "PLC-9");
}

}  // namespace
}  // namespace slave
