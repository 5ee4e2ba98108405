#pragma once

#include <QString>

#include <cstdint>

// Test mode: two holding registers (0 and 1) ramped between 0 and 4000, each written on
// every third cycle, with a read in between. One instance lives for the whole process and
// survives stop and start; only the scan thread touches it.
class CTestRamp {
    struct Channel {
        std::int32_t nValue = 0;
        std::uint8_t byDirection = 0;  // 0 rising, 1 falling
    };
    struct State {
        std::uint8_t byPhase = 0;  // 0 read next, 1 write channel 1 next, 2 write channel 2 next
        Channel channels[2];
    };

public:
    enum class Action { Read, WriteChannel1, WriteChannel2 };

    struct Step {
        Action action = Action::Read;
        std::uint16_t wRegister = 0;  // 0 for channel 1, 1 for channel 2 (writes only)
        std::uint16_t wValue = 0;     // the new ramp value (writes only)
        State after;                  // the ramp once this step has gone out
    };

    static constexpr std::int32_t kTop = 4000;

    // Decides this cycle from the test box and the two increment edits without changing the
    // ramp: a cycle stopped before its request goes out must not skip a value. Commit takes the
    // step over once its request went out; after a read the caller reports the box with
    // AfterRead.
    Step Next(bool checked, const QString& increment1, const QString& increment2) const;
    void Commit(const Step& step) { m_state = step.after; }

    // The box as seen after the read: checked makes the next cycle write channel 1.
    void AfterRead(bool checked);

    std::uint8_t Phase() const { return m_state.byPhase; }
    std::int32_t Value(int channel) const { return m_state.channels[ChannelIndex(channel)].nValue; }
    bool Falling(int channel) const {
        return m_state.channels[ChannelIndex(channel)].byDirection != 0;
    }

private:
    static int ChannelIndex(int channel) { return channel == 2 ? 1 : 0; }
    static std::uint16_t Advance(Channel& channel, std::int32_t increment);

    State m_state;
};
