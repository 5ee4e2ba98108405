#include "tools/poll/PollDetect.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>

#include "lines/SerialPort.h"
#include "modbus/Modbus.h"
#include "tools/common/FlushedOutput.h"
#include "tools/common/OptionText.h"
#include "tools/common/ProgressOutput.h"
#include "tools/common/RecordText.h"
#include "tools/poll/ExchangeEnd.h"
#include "tools/poll/PollRecord.h"
#include "tools/poll/PollRunner.h"
#include "tools/poll/PollScan.h"

namespace poll {

namespace {

// A receiver drops a partial RTU frame after 3.5 characters of silence at its own rate, so the
// slowest rate swept bounds the quiet any device this sweep can find needs; never less than an
// USB adapter's 16 ms delivery latency, which may still hand over bytes of the last try.
constexpr std::uint32_t kSettleFloorMs = 20;
constexpr std::uint32_t kSilenceBitsTimes1000 = 35 * 11 * 100;  // 3.5 characters of 11 bits

// As --parity takes it, so that the printed options run as they read.
std::string ParityName(std::uint8_t parity) {
    for (const auto& [name, value] : kParities) {
        if (value == parity) {
            return std::string(name);
        }
    }
    return "none";
}

const char* ModeName(std::uint16_t mode) {
    return mode == 1 ? "ascii" : "rtu";
}

std::string SlaveList(const std::vector<std::uint8_t>& slaves) {
    std::string list;
    for (const std::uint8_t slave : slaves) {
        list += list.empty() ? "" : ",";
        list += std::to_string(slave);
    }
    return list;
}

}  // namespace

std::vector<LineTry> DetectSweep(const DetectPlan& plan) {
    std::vector<LineTry> sweep;
    for (const std::uint32_t baud : plan.bauds) {
        for (const auto& [parity, stopBits] : plan.framings) {
            for (const std::uint16_t mode : plan.modes) {
                sweep.push_back({baud, parity, stopBits, mode});
            }
        }
    }
    return sweep;
}

PollOptions TryOptions(const PollOptions& o, const LineTry& line) {
    PollOptions options = o;
    options.baud = line.baud;
    options.parity = line.parity;
    options.stopBits = line.stopBits;
    options.mode = line.mode;
    if (!o.timeoutGiven) {
        options.timeoutMs = ScanTimeoutMs(options);
    }
    return options;
}

std::uint32_t SettleMs(const PollOptions& o, const LineTry& previous, bool garbled) {
    std::uint32_t slowest = previous.baud;
    if (o.detect) {
        for (const std::uint32_t baud : o.detect->bauds) {
            slowest = std::min(slowest, baud);
        }
    }
    const std::uint64_t silence =
        (std::uint64_t{kSilenceBitsTimes1000} + slowest - 1) / std::max<std::uint32_t>(slowest, 1);
    std::uint64_t ms = std::max<std::uint64_t>(silence, kSettleFloorMs);
    // Bytes that did not check may be the start of an answer to settings close to the last
    // ones: the device's longest answer at that rate is waited out before anything is asked.
    if (garbled) {
        ms += LongestAnswerMs(TryOptions(o, previous));
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, 60000));
}

std::string DetectOptionsText(const LineFind& find, std::uint16_t dataBits) {
    const LineTry& l = find.line;
    std::string text = "-b " + std::to_string(l.baud) + " --parity " + ParityName(l.parity);
    if (dataBits != 8) {
        text += " --data-bits " + std::to_string(dataBits);
    }
    if (l.stopBits == kStopBitsTwo) {
        text += " --stop-bits 2";
    }
    return text + " -m " + ModeName(l.mode) + " -a " + SlaveList(find.slaves);
}

std::string LineTryName(const LineTry& l, std::uint16_t dataBits) {
    const char parity = l.parity == kParityEven ? 'E' : l.parity == kParityOdd ? 'O' : 'N';
    return std::to_string(l.baud) + " " + std::to_string(dataBits) + parity +
           (l.stopBits == kStopBitsTwo ? "2" : "1") + (l.mode == 1 ? " ASCII" : " RTU");
}

std::string FormatDetectHeader(OutputFormat format) {
    return format == OutputFormat::Csv ? "baud,data_bits,parity,stop_bits,mode,slave,options\n"
                                       : "";
}

std::string FormatDetectFind(OutputFormat format, const LineFind& find, std::uint16_t dataBits) {
    const LineTry& l = find.line;
    const std::string stopBits = l.stopBits == kStopBitsTwo ? "2" : "1";
    switch (format) {
        case OutputFormat::Csv: {
            std::string rows;
            for (const std::uint8_t slave : find.slaves) {
                const LineFind one{l, {slave}};
                rows += std::to_string(l.baud) + "," + std::to_string(dataBits) + "," +
                        ParityName(l.parity) + "," + stopBits + "," + ModeName(l.mode) + "," +
                        std::to_string(slave) + "," + CsvField(DetectOptionsText(one, dataBits)) +
                        "\n";
            }
            return rows;
        }
        case OutputFormat::Json:
            return "{\"baud\":" + std::to_string(l.baud) +
                   ",\"data_bits\":" + std::to_string(dataBits) + ",\"parity\":\"" +
                   ParityName(l.parity) + "\",\"stop_bits\":" + stopBits + ",\"mode\":\"" +
                   ModeName(l.mode) + "\",\"slaves\":[" + SlaveList(find.slaves) +
                   "],\"options\":" + JsonString(DetectOptionsText(find, dataBits)) + "}\n";
        case OutputFormat::Table:
            break;
    }
    return DetectOptionsText(find, dataBits) + "\n";
}

std::string FormatDetectProgress(std::size_t tried, std::size_t total, const std::string& line,
                                 std::uint32_t found, double msLeft) {
    char text[128];
    std::snprintf(text, sizeof text, "trying %s, %u found, %.0f s left", line.c_str(), found,
                  std::ceil(msLeft / 1000));
    return ProgressBar(tried, total) + text;
}

DetectSummary RunDetect(CModbus& master, const PollOptions& o, const LineSetter& setLine,
                        std::FILE* out, CStopRequest& stop, CProgress* progress) {
    DetectSummary summary;
    summary.outputError = PrintFlushed(FormatDetectHeader(o.format), out);
    const std::vector<LineTry> sweep = o.detect ? DetectSweep(*o.detect) : std::vector<LineTry>{};
    const bool all = o.detect && o.detect->all;
    // The time left if every try from here waits out its time-outs.
    std::vector<double> left(sweep.size() + 1, 0.0);
    for (std::size_t i = sweep.size(); i-- > 0;) {
        left[i] = left[i + 1] + SettleMs(o, sweep[i], false) +
                  static_cast<double>(TryOptions(o, sweep[i]).timeoutMs) *
                      static_cast<double>(o.slaves.size());
    }
    bool garbled = false;
    for (std::size_t i = 0; i < sweep.size() && summary.outputError == 0; ++i) {
        if (stop.IsRequested()) {
            break;
        }
        const PollOptions options = TryOptions(o, sweep[i]);
        if (progress != nullptr) {
            const std::string line = FormatDetectProgress(
                i, sweep.size(), LineTryName(sweep[i], o.dataBits), summary.found, left[i]);
            progress->Show(i, sweep.size(), line);
        }
        // Closed and set up afresh at every try: nothing half-read at the last settings stays.
        std::string reason;
        if (!setLine(options, reason)) {
            if (!stop.IsRequested()) {
                summary.lineLost = reason;
                summary.neverOpened = i == 0;
            }
            break;
        }
        // The master purges both queues before each request, after this quiet.
        const auto quiet =
            std::chrono::milliseconds(i == 0 ? 0 : SettleMs(o, sweep[i - 1], garbled));
        if (stop.WaitUntil(std::chrono::steady_clock::now() + quiet)) {
            break;
        }
        garbled = false;
        LineFind find{sweep[i], {}};
        bool cut = false;
        for (const std::uint8_t slave : o.slaves) {
            const PollRecord record = PollOnce(master, options, slave, &stop);
            if (!Answered(record.code) && stop.IsRequested()) {
                cut = true;
                break;
            }
            if (LineLost(record.code)) {
                summary.lineLost = record.text;
                break;
            }
            if (Answered(record.code)) {
                find.slaves.push_back(slave);
                if (!all) {
                    break;
                }
            } else if (record.code != kModbusTimeout) {
                garbled = true;
            }
        }
        if (!cut && summary.lineLost.empty()) {
            ++summary.tried;
        }
        if (!find.slaves.empty()) {
            ++summary.found;
            if (progress != nullptr) {
                progress->Clear();
            }
            summary.outputError = PrintFlushed(FormatDetectFind(o.format, find, o.dataBits), out);
            if (!all) {
                break;
            }
        }
        if (cut || !summary.lineLost.empty()) {
            break;
        }
    }
    if (progress != nullptr) {
        progress->Clear();
    }
    summary.stopped = stop.IsRequested();
    return summary;
}

}  // namespace poll
