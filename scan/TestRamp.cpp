#include "scan/TestRamp.h"

#include "framework/NumberText.h"

CTestRamp::Step CTestRamp::Next(bool checked, const QString& increment1,
                                const QString& increment2) {
    Step step;
    if (!checked) {
        m_byPhase = 0;
        return step;
    }
    if (m_byPhase == 1) {
        step.action = Action::WriteChannel1;
        step.wRegister = 0;
        step.wValue = Advance(m_channels[0], ParseSignedDecimal4(increment1));
        m_byPhase = 2;
    } else if (m_byPhase == 2) {
        step.action = Action::WriteChannel2;
        step.wRegister = 1;
        step.wValue = Advance(m_channels[1], ParseSignedDecimal4(increment2));
        m_byPhase = 0;
    }
    return step;
}

void CTestRamp::AfterRead(bool checked) {
    m_byPhase = checked ? 1 : 0;
}

std::uint16_t CTestRamp::Advance(Channel& channel, std::int32_t increment) {
    // The increment has at most four characters, so the sum cannot overflow.
    channel.nValue += channel.byDirection == 0 ? increment : -increment;
    if (channel.nValue >= kTop) {
        channel.nValue = kTop;
        channel.byDirection = 1;
    } else if (channel.nValue <= 0) {
        channel.nValue = 0;
        channel.byDirection = 0;
    }
    return static_cast<std::uint16_t>(channel.nValue);
}
