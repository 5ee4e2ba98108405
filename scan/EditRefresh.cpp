#include "scan/EditRefresh.h"

#include "framework/NumberText.h"

namespace {

constexpr std::uint32_t kMaxSlaveId = 255;
constexpr std::uint32_t kMaxAddress = 0xFFFF;

}  // namespace

EditRefreshResult RefreshModbusEnv(const EditRefreshInput& input) {
    EditRefreshResult result;
    result.env = input.env;
    result.edits = input.edits;
    result.nSendEntry = input.nFunctionEntry;
    if (input.nFunctionEntry == 0 || input.nFunctionEntry == 1) {
        result.env.byReadFunc = static_cast<std::uint8_t>(input.nFunctionEntry);
    }
    const int cycleBase = ReferenceBase(input.nFunctionEntry);
    result.nLineBase = cycleBase;

    result.env.bySlaveId =
        static_cast<std::uint8_t>(ParseUnsignedDecimal(input.edits.strSlaveId, kMaxSlaveId));

    if (input.bHexModified) {
        result.env.wReadAddr =
            static_cast<std::uint16_t>(ParseAddressText(input.edits.strAddrHex, kMaxAddress));
        result.edits.strAddrDec = FormatDecimal(cycleBase + result.env.wReadAddr);
    }

    if (input.bDecModified) {
        const QString& dec = input.edits.strAddrDec;
        const QChar first = dec.isEmpty() ? QChar() : dec.front();
        std::optional<int> entry;
        if (first == u'3') {
            entry = 1;
        } else if (first == u'4') {
            entry = 0;
        }
        if (entry) {
            const std::uint32_t number = ParseUnsignedDecimal(dec, 0xFFFFFFFFu);
            const auto base = static_cast<std::uint32_t>(ReferenceBase(*entry));
            result.env.wReadAddr = static_cast<std::uint16_t>((number - base) & 0xFFFFu);
            result.edits.strAddrHex = FormatHex04Upper(result.env.wReadAddr);
            // The typed reference number stays as it is, so the two address edits agree even
            // when the hexadecimal edit had been changed too.
            result.edits.strAddrDec = dec;
            result.selectEntry = entry;
            result.nLineBase = ReferenceBase(*entry);
        }
    }

    result.env.wReadQuan =
        static_cast<std::uint16_t>(ParseAddressText(input.edits.strQuantity, kMaxRegisterQuantity));
    return result;
}

InitialEdits InitialEditTexts(const ModbusEnv& env, int selectedEntry) {
    InitialEdits initial;
    initial.env = env;
    const std::uint16_t limit = QuantityLimit(env.byReadFunc);
    if (initial.env.wReadQuan > limit) {
        initial.env.wReadQuan = limit;
    }
    initial.edits.strSlaveId = FormatDecimal(env.bySlaveId);
    initial.edits.strAddrHex = FormatHex04Upper(env.wReadAddr);
    initial.edits.strAddrDec = FormatDecimal(ReferenceBase(selectedEntry) + env.wReadAddr);
    initial.edits.strQuantity = FormatDecimal(initial.env.wReadQuan);
    return initial;
}
