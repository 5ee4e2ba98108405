#include "tools/poll/MapWrite.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "modbus/Modbus.h"
#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"
#include "tools/profile/PointValue.h"

namespace poll {

using profile::Point;
using profile::PointTable;

namespace {

struct Assignment {
    std::string name;
    std::string value;
};

std::optional<std::vector<Assignment>> SplitAssignments(std::string_view list, std::string& why) {
    std::vector<Assignment> items;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view item = list.substr(start, comma - start);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos) {
            if (items.empty()) {
                why = "--set: '" + std::string(item) + "' is no NAME=VALUE";
                return std::nullopt;
            }
            items.back().value += "," + std::string(item);
        } else if (equals == 0) {
            why = "--set: no point name before '=' in '" + std::string(item) + "'";
            return std::nullopt;
        } else {
            items.push_back(
                {std::string(item.substr(0, equals)), std::string(item.substr(equals + 1))});
        }
        start = comma + 1;
    }
    return items;
}

std::uint16_t WriteLimit(PointTable table) {
    return table == PointTable::Coil ? protocol::kMaxWriteBits : protocol::kMaxWriteRegisters;
}

template <typename Call>
std::uint16_t Tried(std::uint32_t retries, Call call) {
    std::uint16_t code = kModbusOk;
    for (std::uint32_t attempt = 0; attempt <= retries; ++attempt) {
        code = call();
        if (code == kModbusOk || (code & kModbusException) != 0 || code == kModbusPortNotOpen) {
            break;
        }
    }
    return code;
}

// One run of neighbouring addresses of a table, written by one request.
struct WriteRun {
    PointTable table = PointTable::Holding;
    std::uint16_t address = 0;
    protocol::Words words;
    std::vector<std::size_t> points;  // the writes it carries
};

std::uint16_t Send(CModbus& master, std::uint8_t slave, const WriteRun& run, bool multiple) {
    if (run.table == PointTable::Coil) {
        if (run.words.size() == 1 && !multiple) {
            return master.PresetSingleCoil(slave, run.address, run.words[0]);
        }
        return master.ForceMultipleCoils(slave, run.address,
                                         ByteArray(run.words.begin(), run.words.end()));
    }
    if (run.words.size() == 1 && !multiple) {
        return master.PresetSingleRegister(slave, run.address, run.words[0]);
    }
    return master.PresetMultipleRegisters(slave, run.address, run.words);
}

}  // namespace

std::optional<std::vector<PointWrite>> ParseSetList(const profile::DeviceProfile& profile,
                                                    std::string_view list, std::string& why) {
    const auto items = SplitAssignments(list, why);
    if (!items) {
        return std::nullopt;
    }
    std::vector<PointWrite> writes;
    for (const Assignment& item : *items) {
        const Point* point = profile.Find(item.name);
        if (point == nullptr) {
            why = "--set: no point '" + item.name + "' in " + profile.path;
            return std::nullopt;
        }
        if (!point->writable) {
            why = "--set: point '" + item.name + "' is not writable";
            return std::nullopt;
        }
        if (std::any_of(writes.begin(), writes.end(),
                        [&](const PointWrite& w) { return w.point == point; })) {
            why = "--set: point '" + item.name + "' is set twice";
            return std::nullopt;
        }
        std::string problem;
        auto words = profile::EncodePoint(*point, item.value, problem);
        if (!words) {
            why = "--set: " + item.name + "=" + item.value + ": " + problem;
            return std::nullopt;
        }
        if (words->size() > WriteLimit(point->table)) {
            why = "--set: point '" + item.name + "' spans " + std::to_string(words->size()) +
                  " registers, more than one write takes (" +
                  std::to_string(protocol::kMaxWriteRegisters) + ")";
            return std::nullopt;
        }
        writes.push_back({point, std::move(*words)});
    }
    return writes;
}

std::vector<PointRecord> WritePoints(CModbus& master, std::uint8_t slave,
                                     const std::vector<PointWrite>& writes, bool multiple,
                                     std::uint32_t retries) {
    const auto time = std::chrono::system_clock::now();
    std::vector<PointRecord> records;
    for (const PointWrite& write : writes) {
        PointRecord record;
        record.time = time;
        record.slave = slave;
        record.point = write.point;
        records.push_back(std::move(record));
    }
    // Each point's registers, a bit field merged into its register as read; runs of
    // neighbours are cut only between points, so a value never spans two requests.
    std::map<std::uint16_t, std::uint16_t> fieldRegisters;
    std::map<std::pair<PointTable, std::uint16_t>, WriteRun> blocks;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const Point& point = *writes[i].point;
        if (!point.IsBitField()) {
            blocks[{point.table, point.address}] = {
                point.table, point.address, writes[i].words, {i}};
            continue;
        }
        if (!fieldRegisters.count(point.address)) {
            WordArray value(1);
            const std::uint16_t code = Tried(retries, [&] {
                return master.ReadHoldingRegisters(slave, point.address, 1, value);
            });
            if (code != kModbusOk) {
                records[i].code = code;
                records[i].text = master.GetErrorText(code);
                continue;
            }
            fieldRegisters[point.address] = value[0];
        }
        std::uint16_t& reg = fieldRegisters[point.address];
        reg = profile::InsertBits(point, reg, writes[i].words[0]);
        WriteRun& block = blocks[{point.table, point.address}];
        block.table = point.table;
        block.address = point.address;
        block.words = {reg};
        block.points.push_back(i);
    }
    std::vector<WriteRun> runs;
    for (auto& [at, block] : blocks) {
        WriteRun* last = runs.empty() ? nullptr : &runs.back();
        if (last != nullptr && last->table == block.table &&
            last->address + last->words.size() == block.address &&
            last->words.size() + block.words.size() <= WriteLimit(block.table)) {
            last->words.insert(last->words.end(), block.words.begin(), block.words.end());
            last->points.insert(last->points.end(), block.points.begin(), block.points.end());
        } else {
            runs.push_back(std::move(block));
        }
    }
    for (const WriteRun& run : runs) {
        const std::uint16_t code =
            Tried(retries, [&] { return Send(master, slave, run, multiple); });
        for (const std::size_t i : run.points) {
            const Point& point = *writes[i].point;
            records[i].code = code;
            records[i].text = master.GetErrorText(code);
            if (code == kModbusOk) {
                const std::uint16_t* at = run.words.data() + (point.address - run.address);
                records[i].raw.assign(at, at + point.Registers());
                records[i].value = profile::DecodePoint(point, at).text;
            }
        }
    }
    return records;
}

}  // namespace poll
