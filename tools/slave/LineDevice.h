#pragma once

#include <optional>
#include <string>

#include "tools/slave/MasterSettings.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

// The simulator's end of the line: a new pseudo-terminal, or a real serial device. The file
// descriptor is non-blocking and in raw mode.
class CLineDevice {
public:
    CLineDevice() = default;
    ~CLineDevice();
    CLineDevice(const CLineDevice&) = delete;
    CLineDevice& operator=(const CLineDevice&) = delete;

    // Opens what the options name; on failure returns false with a reason in error.
    bool Open(const SlaveOptions& options, std::string& error);
    void Close();

    int Fd() const { return m_fd; }
    // The path a master opens: the terminal side of the pseudo-terminal, or the device.
    const std::string& Path() const { return m_strPath; }
    bool IsPseudoTerminal() const { return m_holdFd >= 0; }
    // On a pseudo-terminal, the settings its master has set (one ioctl); else none: a real
    // line's UART does the hearing.
    std::optional<MasterSettings> HeardSettings() const;

private:
    bool OpenPseudoTerminal(const SlaveOptions& options, std::string& error);
    bool OpenDevice(const SlaveOptions& options, std::string& error);

    int m_fd = -1;
    // The terminal side, held open so the line does not hang up while no master has it open.
    int m_holdFd = -1;
    std::string m_strPath;
};

// Within the 2 % a UART's clock divider rounds to, and a receiver tolerates.
bool RateWithinTolerance(long wanted, long actual);

// Raw mode with the options' character format and bit rate. requireSpeed makes a rate the
// driver does not set (more than 2 % off) an error: a real line has to run at it.
bool ApplyLineSettings(int fd, const SlaveOptions& options, bool requireSpeed, std::string& error);

}  // namespace slave
