// vornak-slave: a Modbus RTU/ASCII slave simulator on a pseudo-terminal or a serial device, or
// a Modbus TCP/UDP one on a socket.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/StandardDescriptors.h"
#include "tools/slave/LineDevice.h"
#include "tools/slave/LineTap.h"
#include "tools/slave/NetListener.h"
#include "tools/slave/NetServer.h"
#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveOptions.h"
#include "tools/slave/SlaveServer.h"

namespace {

int g_stopWriteFd = -1;

void OnStopSignal(int) {
    const char byte = 's';
    // Nothing to do when the pipe is full: one byte already wakes the loop.
    [[maybe_unused]] const ssize_t n = ::write(g_stopWriteFd, &byte, 1);
}

bool InstallStopSignals(int& stopReadFd) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return false;
    }
    for (int fd : fds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    stopReadFd = fds[0];
    g_stopWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(sig, &action, nullptr) != 0) {
            return false;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

// Points link at target, replacing a symlink left by an earlier run but never a real file.
bool MakeLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = link + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        error = "symlink " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Removes the link only while it still points at our line.
void RemoveLink(const std::string& link, const std::string& target) {
    char buffer[4096];
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n >= 0 && std::string(buffer, static_cast<std::size_t>(n)) == target) {
        ::unlink(link.c_str());
    }
}

int ServeNetwork(const slave::SlaveOptions& options, int stopFd) {
    using namespace slave;
    CNetListener listener;
    std::string error;
    if (!listener.Open(options, error)) {
        std::fprintf(stderr, "vornak-slave: %s\n", error.c_str());
        return 1;
    }
    if (!listener.IsLoopback()) {
        std::fprintf(stderr,
                     "vornak-slave: %s can be reached from other machines, and whoever reaches "
                     "it can write registers\n",
                     listener.Address().c_str());
    }
    std::printf("vornak-slave: listening on %s (%s, id %s)\n", listener.Address().c_str(),
                options.transport == Transport::Tcp ? "TCP" : "UDP", IdsText(options).c_str());
    std::fflush(stdout);

    CSlaveLog log(stdout, options.log);
    CNetServer server(options, listener, log);
    return server.Run(stopFd);
}

}  // namespace

int main(int argc, char** argv) {
    // First: the line opened below must not take the number of a closed standard descriptor.
    if (!EnsureStandardDescriptors()) {
        return 1;
    }
    using namespace slave;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseSlaveOptions(args);
    if (parsed.action == ParseResult::Action::Help) {
        std::fputs(SlaveUsageText().c_str(), stdout);
        return 0;
    }
    if (parsed.action == ParseResult::Action::Error) {
        std::fprintf(stderr, "vornak-slave: %s\nTry 'vornak-slave --help'.\n",
                     parsed.error.c_str());
        return 2;
    }
    const SlaveOptions& options = parsed.options;

    int stopFd = -1;
    if (!InstallStopSignals(stopFd)) {
        std::fprintf(stderr, "vornak-slave: cannot install signal handlers: %s\n",
                     std::strerror(errno));
        return 1;
    }
    if (options.transport != Transport::Line) {
        return ServeNetwork(options, stopFd);
    }

    CLineDevice line;
    CLineTap tap;
    const bool tapped = !options.tap.empty();
    std::string error;
    if (!line.Open(options, error) || (tapped && !tap.Open(options, error))) {
        std::fprintf(stderr, "vornak-slave: %s\n", error.c_str());
        return 1;
    }
    if (tapped && !MakeLink(options.tap, tap.Path(), error)) {
        std::fprintf(stderr, "vornak-slave: %s\n", error.c_str());
        return 1;
    }
    if (!options.link.empty() && !MakeLink(options.link, line.Path(), error)) {
        std::fprintf(stderr, "vornak-slave: %s\n", error.c_str());
        if (tapped) {
            RemoveLink(options.tap, tap.Path());
        }
        return 1;
    }

    const std::string tapText = tapped ? ", tap " + tap.Path() : "";
    std::printf("vornak-slave: listening on %s (%s, id %s, %s%s)\n", line.Path().c_str(),
                options.mode == Framing::Rtu ? "RTU" : "ASCII", IdsText(options).c_str(),
                LineText(options).c_str(), tapText.c_str());
    std::fflush(stdout);

    CSlaveLog log(stdout, options.log);
    CSlaveServer server(options, line, log, tapped ? &tap : nullptr);
    const int status = server.Run(stopFd);

    if (!options.link.empty()) {
        RemoveLink(options.link, line.Path());
    }
    if (tapped) {
        RemoveLink(options.tap, tap.Path());
        if (tap.Dropped() > 0) {
            log.Frame("tap", {}, std::to_string(tap.Dropped()) + " bytes dropped in all");
        }
    }
    return status;
}
