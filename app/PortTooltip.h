#pragma once

#include <QString>

// What COM<n> means on this machine, for the port list: the device it maps to, why (mapped by
// VORNAK_COM<n> or the Port Map, found, default), whether the device is there right now and,
// for RS-485, which direction control is in force once known, e.g.
// "COM1 → /dev/pts/3 (VORNAK_COM1, present)", "COM3 → /dev/ttyS2 (default, not present)",
// "COM2 → socket://10.0.0.5:4001 (Port Map, line settings set on the server)",
// "COM4 → tcp://10.0.0.7:502 (Port Map, Modbus TCP, line settings do not apply: bit rate, ...)";
// and with a frame trace, where it goes and why it is not written if it is not, e.g.
// "COM1 → /dev/ttyUSB0 (found, present, traced to /tmp/t, not written: is a FIFO, not a regular
// file)".
QString PortTooltip(int port);
