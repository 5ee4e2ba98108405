#include "platform/SignalPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<int> g_writeFd{-1};

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a signal the loop has yet to take.
    [[maybe_unused]] const ssize_t n = ::write(g_writeFd.load(), &byte, 1);
    errno = saved;
}

}  // namespace

CSignalPipe::CSignalPipe(std::initializer_list<int> numbers) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readFd = fds[0];
    g_writeFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : numbers) {
        struct sigaction previous {};
        if (::sigaction(signal, &action, &previous) == 0)
            m_previous.emplace_back(signal, previous);
    }
}

CSignalPipe::~CSignalPipe() {
    for (const auto& [signal, previous] : m_previous)
        ::sigaction(signal, &previous, nullptr);
    if (m_readFd >= 0) {
        ::close(g_writeFd.exchange(-1));
        ::close(m_readFd);
    }
}

int CSignalPipe::Take() {
    int last = 0;
    unsigned char bytes[16];
    for (;;) {
        const ssize_t n = ::read(m_readFd, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return last;
        last = bytes[n - 1];
    }
}
