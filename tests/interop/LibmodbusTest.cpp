// libmodbus's client against vornak-slave over Modbus TCP on 127.0.0.1 and over RTU on its
// pseudo-terminal: mask write, read/write registers and report slave id, with the registers
// read back. Built only where libmodbus's development package is (VORNAK_HAVE_LIBMODBUS).

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SlaveProcess.h"

#ifdef VORNAK_HAVE_LIBMODBUS
#include <modbus.h>

namespace {

constexpr int kSlaveId = 7;
constexpr int kSize = 1000;  // the simulator's --size

struct ContextFree {
    void operator()(modbus_t* ctx) const {
        modbus_close(ctx);
        modbus_free(ctx);
    }
};
using Context = std::unique_ptr<modbus_t, ContextFree>;

// The simulator on the parameter's line, "tcp" or "rtu", and libmodbus connected to it.
class Libmodbus : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        std::vector<std::string> args = {"--id", std::to_string(kSlaveId), "--size",
                                         std::to_string(kSize)};
        if (GetParam() == "tcp") {
            args.insert(args.end(), {"--tcp", "0"});
        }
        ASSERT_TRUE(slave.Start(args)) << slave.FirstLine();
        const std::string& where = slave.Path();
        if (GetParam() == "tcp") {
            const int port = std::stoi(where.substr(where.rfind(':') + 1));
            ctx.reset(modbus_new_tcp("127.0.0.1", port));
        } else {
            ctx.reset(modbus_new_rtu(where.c_str(), 9600, 'N', 8, 1));
        }
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(modbus_set_slave(ctx.get(), kSlaveId), 0);
        ASSERT_EQ(modbus_set_response_timeout(ctx.get(), 1, 0), 0);
        ASSERT_EQ(modbus_connect(ctx.get()), 0) << modbus_strerror(errno);
    }

    std::optional<std::uint16_t> Read(int address) {
        std::uint16_t value = 0;
        if (modbus_read_registers(ctx.get(), address, 1, &value) != 1) {
            return std::nullopt;
        }
        return value;
    }

    CSlaveProcess slave;
    Context ctx;
};

struct MaskCase {
    std::uint16_t before;
    std::uint16_t andMask;
    std::uint16_t orMask;
    std::uint16_t after;  // (before AND and) OR (or AND NOT and)
};

TEST_P(Libmodbus, MaskWriteChangesTheMaskedBits) {
    const MaskCase cases[] = {
        {0x0012, 0x00F2, 0x0025, 0x0017},  // the published example
        {0xABCD, 0xFFFF, 0x0000, 0xABCD},  // AND all ones, OR none: unchanged
        {0xFFFF, 0x0000, 0x1234, 0x1234},  // AND none: the OR mask
        {0x0F0F, 0xF0F0, 0x0000, 0x0000},  // keeps bits the register lacks
        {0x0000, 0x7FFE, 0xFFFF, 0x8001},  // OR only where AND clears
    };
    for (const MaskCase& c : cases) {
        ASSERT_EQ(modbus_write_register(ctx.get(), 4, c.before), 1) << modbus_strerror(errno);
        EXPECT_EQ(modbus_mask_write_register(ctx.get(), 4, c.andMask, c.orMask), 1)
            << modbus_strerror(errno);
        EXPECT_EQ(Read(4), c.after) << std::hex << c.before << " " << c.andMask << " " << c.orMask;
        EXPECT_EQ(Read(3), 0) << "a neighbour changed";
    }
    errno = 0;
    EXPECT_EQ(modbus_mask_write_register(ctx.get(), kSize, 0, 0), -1);
    EXPECT_EQ(errno, EMBXILADD);
}

TEST_P(Libmodbus, WriteAndReadSeesItsOwnWrite) {
    const std::uint16_t first[] = {1, 2, 3, 4};
    ASSERT_EQ(modbus_write_registers(ctx.get(), 10, 4, first), 4);
    const std::uint16_t written[] = {0xAAAA, 0xBBBB};
    std::uint16_t read[4] = {};
    ASSERT_EQ(modbus_write_and_read_registers(ctx.get(), 11, 2, written, 10, 4, read), 4)
        << modbus_strerror(errno);
    EXPECT_EQ(std::vector<std::uint16_t>(read, read + 4),
              (std::vector<std::uint16_t>{1, 0xAAAA, 0xBBBB, 4}));

    // The most each side holds, the read overlapping the write's end.
    std::vector<std::uint16_t> many(MODBUS_MAX_WR_WRITE_REGISTERS);
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i] = static_cast<std::uint16_t>(0x1000 + i);
    }
    std::vector<std::uint16_t> back(MODBUS_MAX_WR_READ_REGISTERS);
    ASSERT_EQ(
        modbus_write_and_read_registers(ctx.get(), 100, static_cast<int>(many.size()), many.data(),
                                        200, static_cast<int>(back.size()), back.data()),
        static_cast<int>(back.size()))
        << modbus_strerror(errno);
    for (std::size_t i = 0; i < back.size(); ++i) {
        const std::size_t address = 200 + i;
        EXPECT_EQ(back[i], address < 100 + many.size() ? 0x1000 + address - 100 : 0) << address;
    }

    // Reading past the end: exception 2, and the write of the same request is not done.
    errno = 0;
    EXPECT_EQ(modbus_write_and_read_registers(ctx.get(), 20, 1, written, kSize - 1, 2, read), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(Read(20), 0);
}

TEST_P(Libmodbus, ReportSlaveIdGivesTheAddressRunIndicatorAndProduct) {
    std::uint8_t data[MODBUS_MAX_PDU_LENGTH] = {};
    const int n = modbus_report_slave_id(ctx.get(), sizeof data, data);
    const std::string product = "vornak-slave";
    ASSERT_EQ(n, static_cast<int>(2 + product.size())) << modbus_strerror(errno);
    EXPECT_EQ(data[0], kSlaveId);
    EXPECT_EQ(data[1], 0xFF);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data + 2), product.size()), product);
}

INSTANTIATE_TEST_SUITE_P(Lines, Libmodbus, ::testing::Values("tcp", "rtu"));

}  // namespace

#else

TEST(Libmodbus, NeedsItsDevelopmentPackage) {
    GTEST_SKIP() << "built without libmodbus (scripts/deps.sh installs libmodbus-dev)";
}

#endif
