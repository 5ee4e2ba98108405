// Serial devices found on a fake machine: a folder tree with /dev/serial/by-id links and
// /sys/class/tty entries, as the kernel and udev lay them out.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "lines/PortResolver.h"

namespace fs = std::filesystem;

namespace {

TEST(PortDetectionTest, AdaptersByIdThenRealUartsThenTheDefault) {
    const fs::path root = fs::path(::testing::TempDir()) / "vornak-fake-machine";
    fs::remove_all(root);
    fs::create_directories(root / "dev/serial/by-id");
    for (const auto& [id, tty] : {std::pair{"usb-FTDI_FT232R_B2-if00-port0", "ttyUSB1"},
                                  std::pair{"usb-Arduino_Uno_A1-if00", "ttyACM0"},
                                  std::pair{"usb-CH340_C3-if00-port0", "ttyUSB0"}}) {
        fs::create_symlink(std::string("../../") + tty, root / "dev/serial/by-id" / id);
    }
    // The serial core gives each UART port a type; 0 is a port with no UART behind it.
    for (const auto& [tty, type] :
         {std::pair{"ttyS0", "4"}, std::pair{"ttyS1", "0"}, std::pair{"ttyS10", "4"},
          std::pair{"ttyS2", "4"}, std::pair{"ttyAMA0", "91"}}) {
        fs::create_directories(root / "sys/class/tty" / tty);
        std::ofstream(root / "sys/class/tty" / tty / "type") << type << "\n";
    }
    fs::create_directories(root / "sys/class/tty/ttyUSB0");
    fs::create_directories(root / "sys/class/tty/tty0");
    for (int i = 1; i <= 16; ++i) {
        ::unsetenv(("VORNAK_COM" + std::to_string(i)).c_str());
    }
    RescanSerialDevices(root.string());
    // The map names the Arduino (as its kernel name) and COM4: the rest fill the free numbers.
    ::setenv("VORNAK_COM2", "/dev/ttyACM0?echo", 1);
    InstallPortResolver([](int port) -> std::optional<std::string> {
        return port == 4 ? std::optional<std::string>("/dev/serial/by-id/usb-CH340_C3-if00-port0")
                         : std::nullopt;
    });
    const std::pair<std::string, PortSource> expected[] = {
        {"/dev/serial/by-id/usb-FTDI_FT232R_B2-if00-port0", PortSource::Found},
        {"/dev/ttyACM0?echo", PortSource::Environment},
        {"/dev/ttyAMA0", PortSource::Found},
        {"/dev/serial/by-id/usb-CH340_C3-if00-port0", PortSource::Resolver},
        {"/dev/ttyS0", PortSource::Found},
        {"/dev/ttyS2", PortSource::Found},
        {"/dev/ttyS10", PortSource::Found},
        {"/dev/ttyS7", PortSource::Default},
    };
    for (int port = 1; port <= 8; ++port) {
        const PortDevice device = ResolvePort(port);
        EXPECT_EQ(device.path, expected[port - 1].first) << port;
        EXPECT_EQ(device.source, expected[port - 1].second) << port;
    }
    ::unsetenv("VORNAK_COM2");
    InstallPortResolver({});
    RescanSerialDevices("/nonexistent-vornak-root");
}

}  // namespace
