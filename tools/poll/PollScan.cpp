#include "tools/poll/PollScan.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>

#include "lines/LineAddress.h"
#include "modbus/Modbus.h"
#include "protocol/ExceptionCode.h"
#include "protocol/Limits.h"
#include "tools/common/FlushedOutput.h"
#include "tools/common/ProgressOutput.h"
#include "tools/common/RecordText.h"
#include "tools/poll/ExchangeEnd.h"
#include "tools/poll/PollRunner.h"

namespace poll {

namespace {

// A network line has no bit rate to go by: a gateway's serial leg or a loaded LAN fits in it.
constexpr std::uint32_t kNetworkWireMs = 100;
constexpr std::uint32_t kScanMarginMs = 50;
constexpr std::uint32_t kBitsPerCharacter = 11;
constexpr std::uint64_t kLongestAnswerBytes = protocol::kMaxRtuFrame;

bool NetworkLine(const PollOptions& o) {
    if (IsNetworkMode(o.mode)) {
        return true;
    }
    std::string error;
    const std::optional<LineAddress> address = ParseLineAddress(o.port, error);
    return address && IsModbusNetwork(address->kind);
}

std::string Milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms);
    return text;
}

}  // namespace

std::uint32_t ScanTimeoutMs(const PollOptions& o) {
    if (NetworkLine(o)) {
        return kNetworkWireMs + kScanMarginMs;
    }
    // RTU bytes: slave, function, address, count, CRC; the answer adds a byte count.
    const std::uint32_t request = 8;
    const std::uint32_t data = o.function <= 2 ? (o.count + 7u) / 8u : 2u * o.count;
    const std::uint32_t answer = 5 + data;
    // ASCII: two characters a byte, an LRC for the CRC, ':' and CR LF.
    auto characters = [&](std::uint32_t bytes) { return o.mode == 1 ? 2 * bytes + 1 : bytes; };
    const std::uint64_t bits =
        std::uint64_t{characters(request) + characters(answer)} * kBitsPerCharacter;
    const std::uint64_t wireMs = (bits * 1000 + o.baud - 1) / std::max<std::uint32_t>(o.baud, 1);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(wireMs + kScanMarginMs, 3600000));
}

std::uint32_t LongestAnswerMs(const PollOptions& o) {
    if (NetworkLine(o)) {
        return 0;
    }
    const std::uint64_t characters = o.mode == 1 ? 2 * kLongestAnswerBytes : kLongestAnswerBytes;
    const std::uint64_t bits = characters * kBitsPerCharacter;
    return static_cast<std::uint32_t>((bits * 1000 + o.baud - 1) /
                                      std::max<std::uint32_t>(o.baud, 1));
}

std::uint32_t IdentifyTimeoutMs(const PollOptions& o) {
    return (NetworkLine(o) ? kNetworkWireMs : LongestAnswerMs(o)) + kScanMarginMs;
}

std::string FormatScanHeader(OutputFormat format, bool identify) {
    if (format != OutputFormat::Csv) {
        return "";
    }
    return identify ? "slave,result,ms,object,value\n" : "slave,result,ms\n";
}

std::string FormatScanRecord(OutputFormat format, const PollRecord& r, const Identity* identity,
                             const std::string& failure) {
    const bool exception = r.code != kModbusOk;
    const std::uint16_t number = r.code & ~kModbusException;
    const std::string what =
        "exception " + std::to_string(number) + " (" + protocol::ExceptionName(number) + ")";
    const std::string slave = std::to_string(r.slave);
    switch (format) {
        case OutputFormat::Csv: {
            const std::string row =
                slave + "," + (exception ? what : "OK") + "," + Milliseconds(r.exchangeMs);
            if (identity == nullptr) {
                return row + "\n";
            }
            if (identity->items.empty()) {
                return row + ",,\n";
            }
            std::string rows;
            for (const IdentityItem& item : identity->items) {
                rows += row + "," + CsvField(item.name) + "," + CsvField(item.value) + "\n";
            }
            return rows;
        }
        case OutputFormat::Json: {
            std::string text =
                "{\"slave\":" + slave + ",\"result\":\"" + (exception ? "exception" : "OK") + "\"" +
                (exception ? ",\"exception\":" + std::to_string(number) + ",\"text\":\"" +
                                 protocol::ExceptionName(number) + "\""
                           : "") +
                ",\"ms\":" + Milliseconds(r.exchangeMs);
            if (identity != nullptr) {
                std::string members;
                for (const IdentityItem& item : identity->items) {
                    members += members.empty() ? "" : ",";
                    members += JsonString(item.name) + ":" + JsonString(item.value);
                }
                text += ",\"identity\":{" + members + "}";
            }
            return text + "}\n";
        }
        case OutputFormat::Table:
            break;
    }
    const std::string ms = std::to_string(std::lround(r.exchangeMs)) + " ms";
    std::string text = slave + ": answers" + (exception ? ", " + what : "") + " (" + ms + ")\n";
    if (identity != nullptr) {
        for (const IdentityItem& item : identity->items) {
            text += "  " + item.name + ": " + item.value + "\n";
        }
        if (identity->items.empty()) {
            text += "  not identified: " + failure + "\n";
        }
    }
    return text;
}

std::string FormatScanProgress(std::size_t asked, std::size_t total, std::uint8_t slave,
                               std::uint32_t found, double msLeft) {
    char text[96];
    std::snprintf(text, sizeof text, "asking %u, %u found, %.0f s left",
                  static_cast<unsigned>(slave), found, std::ceil(msLeft / 1000));
    return ProgressBar(asked, total) + text;
}

ScanSummary RunScan(CModbus& master, const PollOptions& o, std::FILE* out, CStopRequest& stop,
                    CProgress* progress, const std::function<Identity(std::uint8_t)>& identify) {
    ScanSummary summary;
    summary.outputError = PrintFlushed(FormatScanHeader(o.format, bool(identify)), out);
    const auto start = std::chrono::steady_clock::now();
    const std::size_t total = o.slaves.size();
    for (std::size_t i = 0; i < total && summary.outputError == 0; ++i) {
        if (stop.IsRequested()) {
            break;
        }
        if (progress != nullptr) {
            // Until one exchange is timed, each address may cost the whole time-out.
            const double spent =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            const double each = i == 0 ? o.timeoutMs : spent / static_cast<double>(i);
            const std::string line = FormatScanProgress(i, total, o.slaves[i], summary.found,
                                                        each * static_cast<double>(total - i));
            progress->Show(i, total, line);
        }
        const PollRecord record = PollOnce(master, o, o.slaves[i], &stop);
        if (!Answered(record.code) && stop.IsRequested()) {
            break;  // cut short: no answer to count either way
        }
        ++summary.asked;
        if (LineLost(record.code)) {
            summary.lineLost = record.text;  // every later address would fail the same way
            break;
        }
        if (Answered(record.code)) {
            ++summary.found;
            std::string text = FormatScanRecord(o.format, record);
            if (identify) {
                const Identity identity = identify(record.slave);
                text = FormatScanRecord(o.format, record, &identity,
                                        master.GetErrorText(identity.code));
            }
            if (progress != nullptr) {
                progress->Clear();
            }
            summary.outputError = PrintFlushed(text, out);
        }
    }
    if (progress != nullptr) {
        progress->Clear();
    }
    summary.stopped = stop.IsRequested();
    return summary;
}

}  // namespace poll
