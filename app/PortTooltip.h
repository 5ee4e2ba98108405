#pragma once

#include <QString>

// What COM<n> means on this machine, for the port list's tooltips: the device it maps to,
// where the mapping comes from and whether the device is there now.
QString PortTooltip(int port);
