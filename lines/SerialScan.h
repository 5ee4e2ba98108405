#pragma once

#include <string>
#include <vector>

// A serial device found on this machine: the path to open and the kernel's name for the tty
// behind it ("ttyUSB0"), which tells two paths to one device apart.
struct FoundDevice {
    std::string path;
    std::string tty;
};

// The serial devices present under root ("/" for this machine; tests build a fake tree), in
// the order they get COM numbers: USB and ACM adapters by their /dev/serial/by-id name, so an
// adapter keeps its number in any socket, then on-board UARTs whose driver reports a UART type.
std::vector<FoundDevice> ScanSerialDevices(const std::string& root);

// The kernel's tty name for a device path: the last part of where it leads.
std::string TtyNameOf(const std::string& path);
