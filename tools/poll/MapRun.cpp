#include "tools/poll/MapRun.h"

#include <cstdio>

#include "modbus/Modbus.h"
#include "tools/common/FlushedOutput.h"
#include "tools/poll/ExchangeEnd.h"

namespace poll {

namespace {

// The points of a poll that found the line gone: each carries the failure.
std::vector<PointRecord> LineDown(const CMapReader& reader, std::uint8_t slave,
                                  const std::string& text) {
    std::vector<PointRecord> records;
    const auto time = std::chrono::system_clock::now();
    for (const MapRequest& request : reader.Plan(slave)) {
        for (const profile::Point* point : request.points) {
            PointRecord record;
            record.time = time;
            record.slave = slave;
            record.point = point;
            record.code = kModbusPortNotOpen;
            record.text = text;
            records.push_back(std::move(record));
        }
    }
    return records;
}

}  // namespace

PollSummary RunMapPolls(CModbus& master, const PollOptions& o, CMapReader& reader, std::FILE* out,
                        CStopRequest& stop, const LineKeeper* keeper, const PointsOut& publish) {
    PollSummary summary;
    summary.outputError = PrintFlushed(FormatPointHeader(o.format), out);
    if (summary.outputError != 0) {
        return summary;
    }
    const bool nameSlave = o.slaves.size() > 1;
    EveryInterval(o, stop, [&] {
        std::string reason;
        const bool lineBack = keeper == nullptr || master.IsPortOpen() || keeper->open(reason);
        std::vector<PointRecord> shown;
        bool counted = false;
        for (const std::uint8_t slave : o.slaves) {
            MapPoll poll;
            if (lineBack) {
                poll = reader.Read(master, slave, &stop);
            } else {
                const std::string text = master.GetErrorText(kModbusPortNotOpen) + ": " + reason;
                poll.points = LineDown(reader, slave, text);
                poll.results.push_back(kModbusPortNotOpen);
                poll.exchangeMs.push_back(0);
            }
            if (stop.IsRequested()) {
                return false;  // a poll cut short is not shown
            }
            for (const std::string& split : poll.splits) {
                std::fprintf(stderr, "vornak-poll: %s\n", split.c_str());
            }
            std::string text;
            for (PointRecord& record : poll.points) {
                record.nameSlave = nameSlave;
                text += FormatPointRecord(o.format, record);
            }
            summary.outputError = PrintFlushed(text, out);
            summary.rounds += counted ? 0 : 1;
            counted = true;
            bool lost = false;
            for (std::size_t i = 0; i < poll.results.size(); ++i) {
                const std::uint16_t code = poll.results[i];
                const std::string result = code == kModbusPortNotOpen && !lineBack
                                               ? master.GetErrorText(code) + ": " + reason
                                               : master.GetErrorText(code);
                CountExchange(summary, code, result, poll.exchangeMs[i], true);
                lost = lost || LineLost(code);
            }
            shown.insert(shown.end(), poll.points.begin(), poll.points.end());
            if (summary.outputError != 0) {
                return false;
            }
            if (keeper != nullptr && lineBack && lost) {
                keeper->drop();
                break;
            }
        }
        if (publish) {
            publish(shown);
        }
        return true;
    });
    return summary;
}

}  // namespace poll
