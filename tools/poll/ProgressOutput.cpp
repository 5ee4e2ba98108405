#include "tools/poll/ProgressOutput.h"

#include <cerrno>
#include <cstring>

#include "modbus/Modbus.h"

namespace poll {

namespace {

constexpr std::size_t kBarWidth = 20;

int ErrnoOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

}  // namespace

bool Answered(std::uint16_t code) {
    return code == kModbusOk || (code & kModbusException) != 0;
}

bool LineLost(std::uint16_t code) {
    return code == kModbusWriteError || code == kModbusReadError || code == kModbusPortNotOpen;
}

int PrintFlushed(const std::string& text, std::FILE* out) {
    errno = 0;
    if (std::fputs(text.c_str(), out) >= 0 && std::fflush(out) == 0) {
        return 0;
    }
    return ErrnoOr(EIO);
}

std::string ProgressBar(std::size_t done, std::size_t total) {
    const std::size_t filled = total == 0 || done >= total ? kBarWidth : done * kBarWidth / total;
    char count[48];
    std::snprintf(count, sizeof count, "] %zu/%zu, ", done, total);
    std::string bar(1, '[');
    bar.append(filled, '#').append(kBarWidth - filled, '.').append(count);
    return bar;
}

void CProgress::Show(std::size_t done, std::size_t total, const std::string& line) {
    if (m_bTerminal) {
        std::fprintf(m_out, "\r%s\033[K", line.c_str());  // a shorter line leaves no tail
    } else if (total > 0 && done * 10 >= m_nextTenth * total) {
        std::fprintf(m_out, "%s\n", line.c_str());
        m_nextTenth = done * 10 / total + 1;
    }
    std::fflush(m_out);
}

void CProgress::Clear() {
    if (m_bTerminal) {
        std::fputs("\r\033[K", m_out);
        std::fflush(m_out);
    }
}

int FinishOutput(const char* program, int status, int outputError) {
    errno = 0;
    if (std::fflush(stdout) != 0 && outputError == 0) {
        outputError = ErrnoOr(EIO);
    }
    if (std::ferror(stdout) != 0 && outputError == 0) {
        outputError = EIO;
    }
    errno = 0;
    if (std::fclose(stdout) != 0 && outputError == 0) {
        outputError = ErrnoOr(EIO);
    }
    if (outputError == 0) {
        return status;
    }
    std::fprintf(stderr, "%s: write error: %s\n", program, std::strerror(outputError));
    return status == 0 ? 1 : status;
}

}  // namespace poll
