#include "scan/TestRamp.h"

#include "framework/NumberText.h"

CTestRamp::Step CTestRamp::Next(bool checked, const QString& increment1,
                                const QString& increment2) const {
    Step step;
    step.after = m_state;
    State& s = step.after;
    if (!checked) {
        s.byPhase = 0;
        return step;
    }
    if (s.byPhase == 1) {
        step.action = Action::WriteChannel1;
        step.wRegister = 0;
        step.wValue = Advance(s.channels[0], ParseSignedDecimal4(increment1));
        s.byPhase = 2;
    } else if (s.byPhase == 2) {
        step.action = Action::WriteChannel2;
        step.wRegister = 1;
        step.wValue = Advance(s.channels[1], ParseSignedDecimal4(increment2));
        s.byPhase = 0;
    }
    return step;
}

void CTestRamp::AfterRead(bool checked) {
    m_state.byPhase = checked ? 1 : 0;
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
