#include "tools/common/ProgressOutput.h"

namespace poll {

namespace {

constexpr std::size_t kBarWidth = 20;

}  // namespace

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

}  // namespace poll
