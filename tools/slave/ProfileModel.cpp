#include "tools/slave/ProfileModel.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

#include "tools/profile/PointValue.h"

namespace slave {

namespace {

using profile::MotionKind;
using profile::Point;
using profile::PointTable;
using protocol::kIllegalDataAddress;
using protocol::kNoException;

// The exception status outputs are coils 0 to 7, as on the table device.
constexpr std::uint16_t kStatusOutputs = 8;
constexpr double kMsPerSecond = 1000.0;

PointTable TableOf(protocol::Table table) {
    switch (table) {
        case protocol::Table::Coils:
            return PointTable::Coil;
        case protocol::Table::DiscreteInputs:
            return PointTable::DiscreteInput;
        case protocol::Table::HoldingRegisters:
            return PointTable::Holding;
        case protocol::Table::InputRegisters:
            break;
    }
    return PointTable::Input;
}

std::uint64_t PeriodMs(const Point& point) {
    return std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(std::llround(point.motion.period * kMsPerSecond)));
}

}  // namespace

CProfileModel::CProfileModel(profile::DeviceProfile profile, const SlaveOptions& options,
                             protocol::DeviceIdentity identity, std::uint32_t seed)
    : m_profile(std::move(profile)),
      m_noBank(1),
      m_records(m_noBank, options),
      m_identity(std::move(identity)),
      m_random(seed) {
    for (std::size_t i = 0; i < m_profile.points.size(); ++i) {
        const Point& point = m_profile.points[i];
        std::vector<Cell>& cells = Cells(point.table);
        for (std::size_t r = 0; r < point.Registers(); ++r) {
            cells.push_back({static_cast<std::uint16_t>(point.address + r), 0, point.writable});
        }
    }
    for (std::vector<Cell>& cells : m_tables) {
        std::sort(cells.begin(), cells.end(),
                  [](const Cell& a, const Cell& b) { return a.address < b.address; });
        // Bit fields of one register share its cell, which takes writes only if they all do.
        std::vector<Cell> merged;
        for (const Cell& cell : cells) {
            if (!merged.empty() && merged.back().address == cell.address) {
                merged.back().writable = merged.back().writable && cell.writable;
            } else {
                merged.push_back(cell);
            }
        }
        cells = std::move(merged);
    }
    m_live.resize(m_profile.points.size());
    for (std::size_t i = 0; i < m_profile.points.size(); ++i) {
        const Point& point = m_profile.points[i];
        const std::vector<Cell>& cells = Cells(point.table);
        const auto at = std::lower_bound(
            cells.begin(), cells.end(), point.address,
            [](const Cell& cell, std::uint16_t address) { return cell.address < address; });
        m_live[i].cell = static_cast<std::size_t>(at - cells.begin());
        std::string why;
        // The profile was checked at load, so its initial value fits.
        if (auto words = profile::EncodePoint(point, point.initial, why)) {
            Store(i, *words);
        }
        if (point.motion.kind != MotionKind::None) {
            m_moving.push_back(i);
        }
        if (point.motion.kind == MotionKind::Copy) {
            m_live[i].source = IndexOf(point.motion.source);
        }
    }
    std::stable_partition(m_moving.begin(), m_moving.end(), [this](std::size_t i) {
        return m_profile.points[i].motion.kind != MotionKind::Copy;
    });
}

std::vector<CProfileModel::Cell>& CProfileModel::Cells(PointTable table) {
    return m_tables[static_cast<std::size_t>(table)];
}

const std::vector<CProfileModel::Cell>& CProfileModel::Cells(PointTable table) const {
    return m_tables[static_cast<std::size_t>(table)];
}

CProfileModel::Cell* CProfileModel::Range(PointTable table, std::uint16_t start,
                                          std::size_t count) {
    std::vector<Cell>& cells = Cells(table);
    const auto at = std::lower_bound(
        cells.begin(), cells.end(), start,
        [](const Cell& cell, std::uint16_t address) { return cell.address < address; });
    const auto first = static_cast<std::size_t>(at - cells.begin());
    if (first + count > cells.size()) {
        return nullptr;
    }
    // Sorted and unique: the range is whole when its last cell is where it should be.
    if (count > 0 &&
        (cells[first].address != start || cells[first + count - 1].address != start + count - 1)) {
        return nullptr;
    }
    return cells.data() + first;
}

protocol::Words CProfileModel::Words(std::size_t index) const {
    const Point& point = m_profile.points[index];
    const Cell* cell = Cells(point.table).data() + m_live[index].cell;
    protocol::Words words;
    for (std::size_t r = 0; r < point.Registers(); ++r) {
        words.push_back(cell[r].value);
    }
    return words;
}

bool CProfileModel::Store(std::size_t index, const protocol::Words& words) {
    const Point& point = m_profile.points[index];
    Cell* cell = Cells(point.table).data() + m_live[index].cell;
    if (point.IsBitField()) {
        cell->value = profile::InsertBits(point, cell->value, words.front());
        return true;
    }
    for (std::size_t r = 0; r < point.Registers() && r < words.size(); ++r) {
        cell[r].value = words[r];
    }
    return true;
}

void CProfileModel::SetElapsed(std::uint64_t elapsedMs) {
    for (const std::size_t i : m_moving) {
        Live& live = m_live[i];
        if (!live.stuck) {
            Move(i, elapsedMs);
        } else {
            // Held time is not made up for once the point moves again.
            const std::uint64_t period = PeriodMs(m_profile.points[i]);
            live.lastStepMs += (elapsedMs - live.lastStepMs) / period * period;
        }
    }
}

void CProfileModel::Move(std::size_t index, std::uint64_t elapsedMs) {
    const Point& point = m_profile.points[index];
    Live& live = m_live[index];
    std::string why;
    std::uint64_t steps = 0;
    if (point.motion.kind == MotionKind::Increment || point.motion.kind == MotionKind::Random ||
        point.motion.kind == MotionKind::Toggle) {
        const std::uint64_t period = PeriodMs(point);
        steps = (elapsedMs - live.lastStepMs) / period;
        if (steps == 0) {
            return;
        }
        live.lastStepMs += steps * period;
    }
    // Only a counter and a toggle go on from what the point holds; decoding it costs more
    // than the rest of a move, so the others never read it.
    const auto now = [&] { return profile::DecodePoint(point, Words(index).data()).number; };
    std::optional<protocol::Words> next;
    switch (point.motion.kind) {
        case MotionKind::None:
            return;
        case MotionKind::Increment:
            next = profile::EncodePoint(
                point, now() + static_cast<double>(steps) * point.motion.step, why);
            if (!next) {
                // Past the end of its type a counter starts again, as a meter's register rolls.
                next = profile::EncodePoint(point, point.initial, why);
            }
            break;
        case MotionKind::Random:
            next = profile::EncodePoint(point,
                                        std::uniform_real_distribution<double>(
                                            point.motion.min, point.motion.max)(m_random),
                                        why);
            break;
        case MotionKind::Sine: {
            const double phase = 2 * std::numbers::pi * static_cast<double>(elapsedMs) /
                                 (point.motion.period * kMsPerSecond);
            next = profile::EncodePoint(
                point, point.motion.offset + point.motion.amplitude * std::sin(phase), why);
            break;
        }
        case MotionKind::Toggle:
            next = profile::EncodePoint(point, (steps % 2 == 1) == (now() == 0) ? 1.0 : 0.0, why);
            break;
        case MotionKind::Copy:
            if (const auto source = live.source) {
                const protocol::Words from = Words(*source);
                const profile::PointReading reading =
                    profile::DecodePoint(m_profile.points[*source], from.data());
                next = profile::EncodePoint(point, reading.text, why);
            }
            break;
        case MotionKind::Clock:
            next = profile::EncodePoint(
                point,
                static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count()),
                why);
            break;
        case MotionKind::Uptime:
            next = profile::EncodePoint(point, static_cast<double>(elapsedMs / 1000), why);
            break;
    }
    if (next) {
        Store(index, *next);
    }
}

std::uint8_t CProfileModel::ReadBits(protocol::Table table, std::uint16_t start,
                                     std::uint16_t count, protocol::Bytes& bits) {
    const Cell* cells = Range(TableOf(table), start, count);
    if (cells == nullptr) {
        return kIllegalDataAddress;
    }
    bits.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        bits[i] = cells[i].value != 0 ? 1 : 0;
    }
    return kNoException;
}

std::uint8_t CProfileModel::WriteCoils(std::uint16_t start, const protocol::Bytes& bits) {
    Cell* cells = Range(PointTable::Coil, start, bits.size());
    if (cells == nullptr) {
        return kIllegalDataAddress;
    }
    if (!std::all_of(cells, cells + bits.size(), [](const Cell& c) { return c.writable; })) {
        return m_profile.readOnlyException;
    }
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (!cells[i].stuck) {
            cells[i].value = bits[i] != 0 ? 1 : 0;
        }
    }
    return kNoException;
}

std::uint8_t CProfileModel::ReadRegisters(protocol::Table table, std::uint16_t start,
                                          std::uint16_t count, protocol::Words& values) {
    const Cell* cells = Range(TableOf(table), start, count);
    if (cells == nullptr) {
        return kIllegalDataAddress;
    }
    values.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = cells[i].value;
    }
    return kNoException;
}

std::uint8_t CProfileModel::WriteRegisters(std::uint16_t start, const protocol::Words& values) {
    Cell* cells = Range(PointTable::Holding, start, values.size());
    if (cells == nullptr) {
        return kIllegalDataAddress;
    }
    if (!std::all_of(cells, cells + values.size(), [](const Cell& c) { return c.writable; })) {
        return m_profile.readOnlyException;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!cells[i].stuck) {
            cells[i].value = values[i];
        }
    }
    return kNoException;
}

std::uint8_t CProfileModel::ExceptionStatus() {
    std::uint8_t status = 0;
    for (const Cell& cell : Cells(PointTable::Coil)) {
        if (cell.address < kStatusOutputs && cell.value != 0) {
            status = static_cast<std::uint8_t>(status | 1U << cell.address);
        }
    }
    return status;
}

std::uint8_t CProfileModel::ReadFifo(std::uint16_t address, protocol::Words& queue) {
    return m_records.ReadFifo(address, queue);
}

std::uint8_t CProfileModel::ReadFileRecord(std::uint16_t file, std::uint16_t record,
                                           std::uint16_t length, protocol::Words& values) {
    return m_records.ReadFileRecord(file, record, length, values);
}

std::uint8_t CProfileModel::WriteFileRecord(std::uint16_t file, std::uint16_t record,
                                            const protocol::Words& values) {
    return m_records.WriteFileRecord(file, record, values);
}

std::optional<std::size_t> CProfileModel::IndexOf(std::string_view name) const {
    for (std::size_t i = 0; i < m_profile.points.size(); ++i) {
        if (m_profile.points[i].name == name) {
            return i;
        }
    }
    return std::nullopt;
}

std::string CProfileModel::Shown(std::size_t index) const {
    const Point& point = m_profile.points[index];
    const protocol::Words words = Words(index);
    std::string text = profile::DecodePoint(point, words.data()).text;
    if (!point.unit.empty()) {
        text += " " + point.unit;
    }
    return text;
}

std::optional<std::string> CProfileModel::Get(std::string_view name) const {
    const auto index = IndexOf(name);
    return index ? std::optional<std::string>(Shown(*index)) : std::nullopt;
}

std::string CProfileModel::Set(std::string_view name, std::string_view value) {
    const auto index = IndexOf(name);
    if (!index) {
        return "no point '" + std::string(name.substr(0, 64)) + "'";
    }
    std::string why;
    const auto words = profile::EncodePoint(m_profile.points[*index], value, why);
    if (!words) {
        return why;
    }
    Store(*index, *words);
    // A value the motion would compute over at once stays until 'clear', as the operator set it.
    const MotionKind kind = m_profile.points[*index].motion.kind;
    if (kind != MotionKind::None && kind != MotionKind::Increment && kind != MotionKind::Toggle) {
        m_live[*index].stuck = true;
    }
    return {};
}

bool CProfileModel::Stick(std::string_view name) {
    const auto index = IndexOf(name);
    if (!index) {
        return false;
    }
    m_live[*index].stuck = true;
    const Point& point = m_profile.points[*index];
    Cell* cell = Cells(point.table).data() + m_live[*index].cell;
    for (std::size_t r = 0; r < point.Registers(); ++r) {
        cell[r].stuck = true;
    }
    return true;
}

void CProfileModel::UnstickAll() {
    for (Live& live : m_live) {
        live.stuck = false;
    }
    for (std::vector<Cell>& cells : m_tables) {
        for (Cell& cell : cells) {
            cell.stuck = false;
        }
    }
}

std::vector<std::string> CProfileModel::Dump() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < m_profile.points.size(); ++i) {
        lines.push_back(m_profile.points[i].name + "=" + Shown(i));
    }
    return lines;
}

}  // namespace slave
