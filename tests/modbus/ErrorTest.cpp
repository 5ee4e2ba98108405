#include <cstring>

#include "tests/modbus/LineFixture.h"

namespace {

// The throw-on-error switch stays off in the program; this test master turns it on.
class ThrowingMaster : public CLocalModbus {
public:
    ThrowingMaster() : CLocalModbus(std::make_unique<CScriptedPort>()) { m_bThrowOnError = true; }
};

std::string Message(const CModbusException& e, unsigned capacity) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(e.GetErrorMessage(buffer, capacity));
    return buffer;
}

}  // namespace

TEST(ErrorText, EveryCode) {
    const CLocalModbus master(std::make_unique<CScriptedPort>());
    const std::pair<std::uint16_t, const char*> texts[] = {
        {0, "OK"},
        {1, "Time-out Error"},
        {2, "Invalid Returned Slave Response"},
        {3, "CRC Error"},
        {4, ""},
        {7, ""},
        {8, "Write Communication Error"},
        {9, "Read Communication Error"},
        {10, "Comm Port Not Opened"},
        {11, "Critical Section Lock Time-out Error"},
        {12, ""},
        {0x7FFF, ""},
        {0x8000, "Slave Device Return an Exception Code 0"},
        {0x8002, "Slave Device Return an Exception Code 2"},
        {0x80FF, "Slave Device Return an Exception Code 255"}};
    for (const auto& [code, text] : texts) {
        EXPECT_EQ(master.GetErrorText(code), text) << code;
        EXPECT_EQ(master.CModbus::GetErrorText(code), text) << code;
    }
}

TEST(ModbusException, MessageFormatsAndCapacity) {
    const CModbusException timeout("Time-out Error", 1);
    EXPECT_EQ(Message(timeout, 256), "Time-out Error error #1");
    EXPECT_EQ(Message(CModbusException("Slave Device Return an Exception Code 2", 0x8002), 256),
              "Slave Device Return an Exception Code 2 error #32770");
    EXPECT_EQ(Message(CModbusException("OK", 0), 256), "OK error");
    EXPECT_EQ(Message(CModbusException(std::string(300, 'L'), 3), 256).size(), 200u);
    EXPECT_EQ(Message(timeout, 10), "Time-out ");  // 9 characters and the terminator
    EXPECT_EQ(Message(timeout, 1), "");

    char untouched[] = "abc";
    unsigned help = 77;
    EXPECT_TRUE(timeout.GetErrorMessage(untouched, 0, &help));
    EXPECT_STREQ(untouched, "abc");
    EXPECT_EQ(help, 77u);
}

TEST(ModbusException, ThrownByPointerAndCaughtAsEachBase) {
    WordArray values(1);
    try {
        ThrowingMaster().ReadHoldingRegisters(1, 0, 1, values);  // never opened: code 10
        ADD_FAILURE() << "nothing thrown";
    } catch (CModbusException* e) {
        EXPECT_EQ(e->m_nError, 10);
        EXPECT_EQ(e->m_strError, "Comm Port Not Opened");
        e->Delete();
    }
    try {
        ThrowingMaster().PresetSingleRegister(1, 0, 5);
        ADD_FAILURE() << "nothing thrown";
    } catch (CException* e) {
        EXPECT_STREQ(e->GetRuntimeClassName(), "CModbusException");
        e->Delete();
    }
    try {
        ThrowingMaster().PresetSingleCoil(1, 0, 1);
        ADD_FAILURE() << "nothing thrown";
    } catch (CObject* e) {
        EXPECT_STREQ(e->GetRuntimeClassName(), "CModbusException");
        delete e;
    }
    CLocalModbus quiet(std::make_unique<CScriptedPort>());
    EXPECT_EQ(quiet.ReadHoldingRegisters(1, 0, 1, values), 10);
}

TEST(RuntimeClass, Names) {
    const CLocalModbus master(std::make_unique<CScriptedPort>());
    EXPECT_STREQ(static_cast<const CObject&>(master).GetRuntimeClassName(), "CLocalModbus");
    EXPECT_STREQ(master.CModbus::GetRuntimeClassName(), "CModbus");
    const CModbusException e("x", 1);
    EXPECT_STREQ(static_cast<const CObject&>(e).GetRuntimeClassName(), "CModbusException");
}
