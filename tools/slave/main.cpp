// vornak-slave: a Modbus RTU/ASCII slave simulator on a pseudo-terminal or a serial device, or
// a Modbus TCP/UDP one on a socket, or a Modbus/TCP Security one.

#include <fcntl.h>
#include <openssl/ssl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lines/TlsContext.h"
#include "platform/StandardDescriptors.h"
#include "tools/slave/ControlClient.h"
#include "tools/slave/ControlExecutor.h"
#include "tools/slave/ControlSocket.h"
#include "tools/slave/LineDevice.h"
#include "tools/slave/LineTap.h"
#include "tools/slave/NetListener.h"
#include "tools/slave/NetServer.h"
#include "tools/slave/SimulatorFile.h"
#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveOptions.h"
#include "tools/slave/SlaveServer.h"
#include "tools/slave/SlaveUnits.h"
#include "tools/slave/UnitBuilder.h"

namespace {

int g_stopWriteFd = -1;

constexpr long kTlsSessionsKept = 64;

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

// --send: one command to a running simulator's control socket, its answer on standard output;
// 0 for "ok", 1 for an error answer, 2 when no answer came.
int Send(const std::string& path, const std::string& command) {
    std::string answer;
    std::string error;
    if (!slave::SendControlCommand(path, command, answer, error)) {
        std::fprintf(stderr, "vornak-slave: %s\n", error.c_str());
        return 2;
    }
    if (std::printf("%s\n", answer.c_str()) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "vornak-slave: write error: %s\n", std::strerror(errno));
        return 1;
    }
    return answer.rfind("ok", 0) == 0 ? 0 : 1;
}

void RequestStop() {
    OnStopSignal(0);
}

// What one thread of the simulator serves, and how it ended: 0 stopped, 1 failed.
struct Service {
    std::function<int()> run;
    int status = 0;
};

}  // namespace

int main(int argc, char** argv) {
    // First: the line opened below must not take the number of a closed standard descriptor.
    if (!EnsureStandardDescriptors()) {
        return 1;
    }
    using namespace slave;
    const std::vector<std::string> args(argv + 1, argv + argc);
    ParseResult parsed = ParseSlaveOptions(args);
    if (parsed.action == ParseResult::Action::Help) {
        std::fputs(SlaveUsageText().c_str(), stdout);
        return 0;
    }
    if (parsed.action == ParseResult::Action::Error) {
        std::fprintf(stderr, "vornak-slave: %s\nTry 'vornak-slave --help'.\n",
                     parsed.error.c_str());
        return 2;
    }
    if (parsed.action == ParseResult::Action::Send) {
        return Send(parsed.sendPath, parsed.sendCommand);
    }
    // The file first, the command line over it.
    std::optional<SimulatorFile> file;
    std::string error;
    if (!parsed.options.config.empty()) {
        file = LoadSimulatorFile(parsed.options.config, error);
        if (!file) {
            std::fprintf(stderr, "vornak-slave: %s\n", error.c_str());
            return 2;
        }
        parsed = ParseSlaveOptions(args, file->options);
        if (parsed.action != ParseResult::Action::Run) {
            std::fprintf(stderr, "vornak-slave: %s\n", parsed.error.c_str());
            return 2;
        }
    }
    const SlaveOptions& options = parsed.options;
    std::optional<Units> built;
    if (file) {
        built = BuildUnits(*file, options, error);
        if (!built) {
            std::fprintf(stderr, "vornak-slave: %s\n", error.c_str());
            return 2;
        }
    }

    // Files that cannot serve are refused as bad options are, before anything is opened.
    std::unique_ptr<CTlsContext> tls;
    if (FindPort(options, Transport::Tls) != nullptr) {
        if (const std::optional<std::string> warning = KeyFileWarning(options.tlsKey)) {
            std::fprintf(stderr, "vornak-slave: %s\n", warning->c_str());
        }
        int loadError = 0;
        tls = CTlsContext::Load({options.tlsCert, options.tlsKey, options.tlsCa},
                                CTlsContext::Role::Server, loadError, error);
        if (!tls) {
            std::fprintf(stderr, "vornak-slave: %s\n", error.c_str());
            return 2;
        }
        // TLS 1.2 clients that reconnect again and again leave their sessions in the cache; a
        // few of them resume as well as many, and the memory stays small.
        SSL_CTX_sess_set_cache_size(tls->Get(), kTlsSessionsKept);
    }

    int stopFd = -1;
    if (!InstallStopSignals(stopFd)) {
        std::fprintf(stderr, "vornak-slave: cannot install signal handlers: %s\n",
                     std::strerror(errno));
        return 1;
    }
    CSlaveLog log(stdout, options.log, RequestStop);
    CSlaveUnits units = built ? CSlaveUnits(std::move(*built)) : CSlaveUnits(options);
    std::vector<Service> services;
    const auto refuse = [](const std::string& reason) {
        std::fprintf(stderr, "vornak-slave: %s\n", reason.c_str());
        return 1;
    };

    CLineDevice line;
    CLineTap tap;
    const bool tapped = options.line && !options.tap.empty();
    std::optional<CSlaveServer> lineServer;
    std::vector<std::string> banners;
    const auto removeLinks = [&] {
        if (!options.link.empty() && !line.Path().empty()) {
            RemoveLink(options.link, line.Path());
        }
        if (tapped) {
            RemoveLink(options.tap, tap.Path());
        }
    };
    if (options.line) {
        if (!line.Open(options, error) || (tapped && !tap.Open(options, error))) {
            return refuse(error);
        }
        if (tapped && !MakeLink(options.tap, tap.Path(), error)) {
            return refuse(error);
        }
        if (!options.link.empty() && !MakeLink(options.link, line.Path(), error)) {
            if (tapped) {
                RemoveLink(options.tap, tap.Path());
            }
            return refuse(error);
        }
        const std::string tapText = tapped ? ", tap " + tap.Path() : "";
        banners.push_back(line.Path() + " (" + TransportText(options, Transport::Line) + ", id " +
                          IdsText(options) + ", " + LineText(options) + tapText + ")");
        lineServer.emplace(options, units, line, log, tapped ? &tap : nullptr);
        services.push_back({[&] { return lineServer->Run(stopFd); }});
    }

    std::vector<std::unique_ptr<CNetListener>> listeners;
    std::vector<std::unique_ptr<CNetServer>> netServers;
    for (const NetPort& port : options.ports) {
        auto listener = std::make_unique<CNetListener>();
        if (!listener->Open(options, port, error)) {
            removeLinks();
            return refuse(error);
        }
        if (!listener->IsLoopback()) {
            std::fprintf(stderr,
                         "vornak-slave: %s can be reached from other machines, and whoever "
                         "reaches it can write registers\n",
                         listener->Address().c_str());
        }
        banners.push_back(listener->Address() + " (" + TransportText(options, port.transport) +
                          ", id " + IdsText(options) + ")");
        ssl_ctx_st* context = port.transport == Transport::Tls ? tls->Get() : nullptr;
        netServers.push_back(
            std::make_unique<CNetServer>(options, port, units, *listener, log, context));
        listeners.push_back(std::move(listener));
        CNetServer& server = *netServers.back();
        services.push_back({[&server, stopFd] { return server.Run(stopFd); }});
    }

    CControlSocket control;
    std::optional<CControlExecutor> executor;
    if (!options.control.empty()) {
        if (!control.Open(options.control, error)) {
            removeLinks();
            return refuse(error);
        }
        CControlExecutor::Reload reload;
        if (file) {
            reload = [&args](std::string& why) -> std::optional<Units> {
                const auto fresh = LoadSimulatorFile(ParseSlaveOptions(args).options.config, why);
                if (!fresh) {
                    return std::nullopt;
                }
                const ParseResult again = ParseSlaveOptions(args, fresh->options);
                return BuildUnits(*fresh, again.options, why);
            };
        }
        executor.emplace(units, std::move(reload), log);
        banners.push_back(options.control + " (control)");
        services.push_back({[&] {
            control.Run(stopFd, [&](std::string_view line) { return executor->Execute(line); });
            return 0;
        }});
    }

    for (const std::string& banner : banners) {
        log.Print("vornak-slave: listening on " + banner);
    }
    if (services.size() == 1) {
        services.front().status = services.front().run();
    } else {
        std::vector<std::thread> threads;
        for (Service& service : services) {
            threads.emplace_back([&service] {
                service.status = service.run();
                // One transport that fails for good ends the others.
                if (service.status != 0) {
                    RequestStop();
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    int status = 0;
    for (const Service& service : services) {
        status = std::max(status, service.status);
    }

    removeLinks();
    control.Close();
    if (tapped && tap.Dropped() > 0) {
        log.Frame("tap", {}, std::to_string(tap.Dropped()) + " bytes dropped in all");
    }
    if (const std::string failed = log.Error(); !failed.empty()) {
        std::fprintf(stderr, "vornak-slave: write error: %s\n", failed.c_str());
        return 1;
    }
    return status;
}
