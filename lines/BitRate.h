#pragma once

#include <cstdint>
#include <string>

// Any bit rate a Linux tty driver takes, not only the fixed termios table: the driver is asked
// for the exact rate (termios2 with BOTHER) and tells which one it really set. Kept apart from
// the termios code because the kernel's termios2 header clashes with <termios.h>.

// Above this no serial driver on Linux goes; a pseudo-terminal would take any number.
constexpr std::uint32_t kMaxBitRate = 4000000;

struct LineBitRate {
    std::uint32_t output = 0;
    std::uint32_t input = 0;  // 0: the same as output
};

// Each returns 0 or the errno of the failed call.
int SetExactBitRate(int fd, std::uint32_t rate);
int ReadBitRate(int fd, LineBitRate& rate);

// Empty when the rate the driver set is the one asked for, within the 2 % a UART's clock
// divider rounds; otherwise why the line cannot be used at that rate.
std::string BitRateMismatch(const std::string& device, std::uint32_t asked, const LineBitRate& set);
