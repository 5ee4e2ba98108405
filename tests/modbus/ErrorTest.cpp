#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/modbus/LineFixture.h"

namespace {

// The throw-on-error switch stays off in the program; a test master turns it on.
class ThrowingMaster : public CLocalModbus {
public:
    explicit ThrowingMaster(std::unique_ptr<CSerialPort> port) : CLocalModbus(std::move(port)) {
        m_bThrowOnError = true;
    }
};

std::string Message(const CModbusException& e, unsigned capacity) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(e.GetErrorMessage(buffer, capacity));
    return buffer;
}

}  // namespace

TEST(ErrorText, EveryCode) {
    CLocalModbus master(std::make_unique<CScriptedPort>());
    const CModbus& base = master;
    EXPECT_EQ(base.GetErrorText(0), "OK");
    EXPECT_EQ(base.GetErrorText(1), "Time-out Error");
    EXPECT_EQ(base.GetErrorText(2), "Invalid Returned Slave Response");
    EXPECT_EQ(base.GetErrorText(3), "CRC Error");
    EXPECT_EQ(base.GetErrorText(8), "Write Communication Error");
    EXPECT_EQ(base.GetErrorText(9), "Read Communication Error");
    EXPECT_EQ(base.GetErrorText(10), "Comm Port Not Opened");
    EXPECT_EQ(base.GetErrorText(11), "Critical Section Lock Time-out Error");
    EXPECT_EQ(base.GetErrorText(4), "");
    EXPECT_EQ(base.GetErrorText(7), "");
    EXPECT_EQ(base.GetErrorText(12), "");
    EXPECT_EQ(base.GetErrorText(0x7FFF), "");
    EXPECT_EQ(base.GetErrorText(0x8000), "Slave Device Return an Exception Code 0");
    EXPECT_EQ(base.GetErrorText(0x8002), "Slave Device Return an Exception Code 2");
    EXPECT_EQ(base.GetErrorText(0x80FF), "Slave Device Return an Exception Code 255");
    EXPECT_EQ(base.GetErrorText(0xFFFF), "Slave Device Return an Exception Code 32767");
}

TEST(ModbusException, MessageFormats) {
    EXPECT_EQ(Message(CModbusException("Time-out Error", 1), 256), "Time-out Error error #1");
    EXPECT_EQ(Message(CModbusException("Slave Device Return an Exception Code 2", 0x8002), 256),
              "Slave Device Return an Exception Code 2 error #32770");
    EXPECT_EQ(Message(CModbusException("OK", 0), 256), "OK error");
}

TEST(ModbusException, MessageCutToCapacity) {
    const CModbusException timeout("Time-out Error", 1);
    EXPECT_EQ(Message(timeout, 10), "Time-out ");  // 9 characters and the terminator
    EXPECT_EQ(Message(timeout, 1), "");

    char untouched[4] = {'a', 'b', 'c', '\0'};
    EXPECT_TRUE(timeout.GetErrorMessage(untouched, 0));
    EXPECT_STREQ(untouched, "abc");

    unsigned help = 77;
    char buffer[64];
    EXPECT_TRUE(timeout.GetErrorMessage(buffer, sizeof buffer, &help));
    EXPECT_EQ(help, 77u);

    const CModbusException longText(std::string(300, 'L'), 3);
    EXPECT_EQ(Message(longText, 256).size(), 200u);
}

TEST(ModbusException, ThrownByPointerAndCaughtAsEachBase) {
    auto failing = [] {
        auto port = std::make_unique<CScriptedPort>();
        return std::make_unique<ThrowingMaster>(std::move(port));  // never opened: code 10
    };
    WordArray values(1);
    try {
        failing()->ReadHoldingRegisters(1, 0, 1, values);
        ADD_FAILURE() << "nothing thrown";
    } catch (CModbusException* e) {
        EXPECT_EQ(e->m_nError, 10);
        EXPECT_EQ(e->m_strError, "Comm Port Not Opened");
        EXPECT_TRUE(e->m_bAutoDelete);
        e->Delete();
    }
    try {
        failing()->PresetSingleRegister(1, 0, 5);
        ADD_FAILURE() << "nothing thrown";
    } catch (CException* e) {
        EXPECT_STREQ(e->GetRuntimeClassName(), "CModbusException");
        e->Delete();
    }
    try {
        failing()->PresetSingleCoil(1, 0, 1);
        ADD_FAILURE() << "nothing thrown";
    } catch (CObject* e) {
        EXPECT_STREQ(e->GetRuntimeClassName(), "CModbusException");
        delete e;
    }
}

TEST(ModbusException, SwitchOffReturnsTheCode) {
    CLocalModbus master(std::make_unique<CScriptedPort>());
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 10);
}

TEST(RuntimeClass, Names) {
    CLocalModbus master(std::make_unique<CScriptedPort>());
    const CModbus& asBase = master;
    const CObject& asObject = master;
    EXPECT_STREQ(asObject.GetRuntimeClassName(), "CLocalModbus");
    EXPECT_STREQ(asBase.CModbus::GetRuntimeClassName(), "CModbus");
    const CModbusException e("x", 1);
    EXPECT_STREQ(static_cast<const CObject&>(e).GetRuntimeClassName(), "CModbusException");
}
