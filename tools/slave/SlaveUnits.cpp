#include "tools/slave/SlaveUnits.h"

#include "protocol/Limits.h"
#include "tools/slave/TableModel.h"

namespace slave {

namespace {

constexpr std::size_t kPduAt = 1;

}  // namespace

CSlaveUnits::CSlaveUnits(const SlaveOptions& options) : m_start(Clock::now()) {
    auto unit = std::make_unique<CSlaveUnit>(std::make_unique<CTableModel>(options), options.ids,
                                             FaultSettingsOf(options), "table");
    unit->Device().Refuse(options.refused);
    m_units.push_back(std::move(unit));
}

CSlaveUnits::CSlaveUnits(Units units) : m_units(std::move(units)), m_start(Clock::now()) {}

std::uint64_t CSlaveUnits::ElapsedMs() const {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count());
}

CSlaveUnit* CSlaveUnits::Find(int address) const {
    for (const auto& unit : m_units) {
        if (unit->Device().Answers(address)) {
            return unit.get();
        }
    }
    return nullptr;
}

ServedRequest CSlaveUnits::Serve(const Bytes& message) {
    const std::lock_guard lock(m_mutex);
    const std::uint64_t elapsedMs = ElapsedMs();
    ServedRequest served;
    if (message.size() < kPduAt + 1) {
        served.reply.kind = SlaveReply::Kind::Short;
        return served;
    }
    const std::uint8_t address = message[0];
    if (address == protocol::kBroadcastAddress) {
        // Every device on the line carries out a broadcast; none answers it.
        for (const auto& unit : m_units) {
            served.reply = unit->Device().Handle(message, elapsedMs);
        }
        return served;
    }
    CSlaveUnit* target = Find(address);
    for (const auto& unit : m_units) {
        if (unit.get() != target) {
            unit->Device().HeardOther();
        }
    }
    if (target == nullptr) {
        served.reply.kind = SlaveReply::Kind::OtherId;
        return served;
    }
    served.reply =
        target->Device().Handle(message, elapsedMs, target->TakeException(message[kPduAt]));
    if (served.reply.kind == SlaveReply::Kind::Answer) {
        served.fault = target->Faults().Next();
    }
    return served;
}

void CSlaveUnits::Misheard(FrameStatus status) {
    const std::lock_guard lock(m_mutex);
    for (const auto& unit : m_units) {
        unit->Device().Misheard(status);
    }
}

int CSlaveUnits::FirstId() const {
    const std::lock_guard lock(m_mutex);
    return m_units.front()->Device().Ids().front();
}

bool CSlaveUnits::Answers(int address) const {
    const std::lock_guard lock(m_mutex);
    return Find(address) != nullptr;
}

void CSlaveUnits::WithUnits(const std::function<void(Units&, std::uint64_t)>& f) {
    const std::lock_guard lock(m_mutex);
    f(m_units, ElapsedMs());
}

}  // namespace slave
