#pragma once

#include <QString>

// What COM<n> means on this machine, for the port list: the device it maps to, where that
// mapping comes from when it is not the default, and whether the device is there right now,
// e.g. "COM1 → /dev/pts/3 (VORNAK_COM1, present)" or "COM3 → /dev/ttyS2 (not present)".
QString PortTooltip(int port);
