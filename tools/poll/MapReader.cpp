#include "tools/poll/MapReader.h"

#include <algorithm>
#include <chrono>

#include "modbus/Modbus.h"
#include "protocol/ExceptionCode.h"
#include "tools/profile/PointValue.h"

namespace poll {

using profile::Point;
using profile::PointTable;

namespace {

bool WorthRetrying(std::uint16_t code) {
    return code != kModbusOk && (code & kModbusException) == 0 && code != kModbusPortNotOpen;
}

bool RefusedAsAddress(std::uint16_t code) {
    return code == kModbusException + protocol::kIllegalDataAddress;
}

std::uint16_t ReadOnce(CModbus& master, std::uint8_t slave, const MapRequest& request,
                       std::vector<std::uint16_t>& values) {
    if (request.table == PointTable::Coil || request.table == PointTable::DiscreteInput) {
        ByteArray states(request.count);
        const std::uint16_t code =
            request.table == PointTable::Coil
                ? master.ReadCoils(slave, request.address, request.count, states)
                : master.ReadDiscreteInputs(slave, request.address, request.count, states);
        values.assign(states.begin(), states.end());
        return code;
    }
    values.resize(request.count);
    return request.table == PointTable::Holding
               ? master.ReadHoldingRegisters(slave, request.address, request.count, values)
               : master.ReadInputRegisters(slave, request.address, request.count, values);
}

PointRecord Record(std::uint8_t slave, const Point& point,
                   std::chrono::system_clock::time_point time) {
    PointRecord record;
    record.time = time;
    record.slave = slave;
    record.point = &point;
    return record;
}

}  // namespace

CMapReader::CMapReader(const std::vector<const Point*>& points, std::uint16_t maxGap,
                       std::uint32_t retries)
    : m_joined(JoinReads(points, maxGap)), m_retries(retries) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        m_order.emplace(points[i], i);
    }
}

const std::vector<MapRequest>& CMapReader::Plan(std::uint8_t slave) const {
    const auto split = m_split.find(slave);
    return split != m_split.end() ? split->second : m_joined;
}

std::vector<MapRequest>& CMapReader::PlanOf(std::uint8_t slave) {
    const auto split = m_split.find(slave);
    return split != m_split.end() ? split->second : m_split.emplace(slave, m_joined).first->second;
}

std::uint16_t CMapReader::Exchange(CModbus& master, std::uint8_t slave, const MapRequest& request,
                                   std::vector<std::uint16_t>& values, CStopRequest* stop,
                                   double& ms) {
    const auto start = std::chrono::steady_clock::now();
    std::uint16_t code = kModbusOk;
    for (std::uint32_t attempt = 0;; ++attempt) {
        code = ReadOnce(master, slave, request, values);
        const bool stopped = stop != nullptr && stop->IsRequested();
        if (attempt >= m_retries || !WorthRetrying(code) || stopped) {
            break;
        }
    }
    ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return code;
}

MapPoll CMapReader::Read(CModbus& master, std::uint8_t slave, CStopRequest* stop) {
    MapPoll poll;
    const auto time = std::chrono::system_clock::now();
    // Indexed, not iterated: a refused range is replaced by its points while it is read.
    for (std::size_t i = 0; i < Plan(slave).size(); ++i) {
        if (stop != nullptr && stop->IsRequested()) {
            break;
        }
        const MapRequest request = Plan(slave)[i];
        std::vector<std::uint16_t> values;
        double ms = 0;
        const std::uint16_t code = Exchange(master, slave, request, values, stop, ms);
        if (RefusedAsAddress(code) && request.Joined()) {
            std::string note = FormatMapRequest(slave, request);
            note.pop_back();
            poll.splits.push_back(note +
                                  ": refused as an illegal data address; these points are read "
                                  "one by one from now on");
            std::vector<MapRequest>& plan = PlanOf(slave);
            const std::vector<MapRequest> single = SplitRead(request);
            plan.erase(plan.begin() + static_cast<std::ptrdiff_t>(i));
            plan.insert(plan.begin() + static_cast<std::ptrdiff_t>(i), single.begin(),
                        single.end());
            --i;  // the first of its points is read next
            continue;
        }
        poll.results.push_back(code);
        poll.exchangeMs.push_back(ms);
        const std::string text = master.GetErrorText(code);
        for (const Point* point : request.points) {
            PointRecord record = Record(slave, *point, time);
            record.code = code;
            record.text = text;
            if (code == kModbusOk) {
                const std::uint16_t* words = values.data() + (point->address - request.address);
                record.raw.assign(words, words + point->Registers());
                record.value = profile::DecodePoint(*point, words).text;
            }
            poll.points.push_back(std::move(record));
        }
    }
    std::stable_sort(poll.points.begin(), poll.points.end(),
                     [&](const PointRecord& a, const PointRecord& b) {
                         return m_order.at(a.point) < m_order.at(b.point);
                     });
    return poll;
}

}  // namespace poll
