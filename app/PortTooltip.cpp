#include "app/PortTooltip.h"

#include <filesystem>
#include <system_error>

#include "lines/DirectionNote.h"
#include "lines/LineAddress.h"
#include "lines/PortResolver.h"
#include "lines/TraceFile.h"

namespace {

QString SourceNote(int port, PortSource source) {
    switch (source) {
        case PortSource::Environment:
            return QStringLiteral("VORNAK_COM%1").arg(port);
        case PortSource::Resolver:
            return QStringLiteral("Port Map");
        case PortSource::Found:
            return QStringLiteral("found");
        case PortSource::Default:
        case PortSource::Refused:
            break;
    }
    return QStringLiteral("default");
}

}  // namespace

QString PortTooltip(int port) {
    const PortDevice device = ResolvePort(port);
    if (device.source == PortSource::Refused) {
        return QStringLiteral("COM%1 → not opened: %2")
            .arg(port)
            .arg(QString::fromStdString(device.refusal));
    }
    QString note = SourceNote(port, device.source);
    std::string error;
    const std::optional<LineAddress> address = ParseLineAddress(device.path, error);
    if (const char* settings = address ? LineSettingsNote(address->kind) : nullptr) {
        note += QStringLiteral(", ") + QString::fromUtf8(settings);
        // MBAP frames end by their length and take no serial setting: only the time-out and
        // the scan time of the dialog still count there.
        if (IsModbusNetwork(address->kind)) {
            note += QStringLiteral(
                ": bit rate, parity, data size, stop bits, flow control, "
                "mode, character interval");
        }
    } else {
        // A device the process may not look at counts as absent: opening it would fail as well.
        std::error_code failed;
        const bool present = std::filesystem::exists(LineTarget(device.path), failed) && !failed;
        note += present ? QStringLiteral(", present") : QStringLiteral(", not present");
    }
    if (!address) {
        note += QStringLiteral(", ") + QString::fromStdString(error);
    } else if (address->rs485) {
        const std::string how = DirectionControlOf(address->target);
        note += QStringLiteral(", RS-485: ") +
                (how.empty() ? QStringLiteral("direction control known after the first open")
                             : QString::fromStdString(how));
    }
    // The trace wraps every port, so each tooltip says where it goes and whether it is written.
    if (const std::string trace = TraceFilePath(); !trace.empty()) {
        const std::string problem = TraceProblem(trace);
        note += QStringLiteral(", traced to ") + QString::fromStdString(trace);
        if (!problem.empty()) {
            note += QStringLiteral(", not written: ") + QString::fromStdString(problem);
        }
    }
    return QStringLiteral("COM%1 → %2 (%3)")
        .arg(port)
        .arg(QString::fromStdString(device.path), note);
}
