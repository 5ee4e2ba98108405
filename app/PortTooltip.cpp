#include "app/PortTooltip.h"

#include <filesystem>
#include <system_error>

#include "platform/PortResolver.h"

QString PortTooltip(int port) {
    const PortDevice device = ResolvePort(port);
    QString note;
    switch (device.source) {
        case PortSource::Environment:
            note = QStringLiteral("VORNAK_COM%1, ").arg(port);
            break;
        case PortSource::Resolver:
            note = QStringLiteral("Port Map, ");
            break;
        case PortSource::Default:
            break;
    }
    // A device the process may not look at counts as absent: opening it would fail as well.
    std::error_code error;
    const bool present = std::filesystem::exists(device.path, error) && !error;
    note += present ? QStringLiteral("present") : QStringLiteral("not present");
    return QStringLiteral("COM%1 → %2 (%3)")
        .arg(port)
        .arg(QString::fromStdString(device.path), note);
}
