#include "app/PortTooltip.h"

#include <sys/stat.h>

#include "platform/PortResolver.h"

QString PortTooltip(int port) {
    const PortDevice device = ResolvePort(port);
    QString source;
    switch (device.source) {
        case PortSource::Environment:
            source = QStringLiteral("VORNAK_COM%1").arg(port);
            break;
        case PortSource::Resolver:
            source = QStringLiteral("Port Map");
            break;
        case PortSource::Default:
            source = QStringLiteral("default");
            break;
    }
    struct stat st {};
    const bool present = ::stat(device.path.c_str(), &st) == 0;
    return QStringLiteral("COM%1 \u2192 %2 (%3, %4)")
        .arg(port)
        .arg(QString::fromStdString(device.path), source,
             present ? QStringLiteral("present") : QStringLiteral("not present"));
}
