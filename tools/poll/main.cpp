// vornak-poll: the Modbus master on the command line.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lines/TraceFile.h"
#include "modbus/LocalModbus.h"
#include "platform/StandardDescriptors.h"
#include "tools/common/FlushedOutput.h"
#include "tools/common/ProgressOutput.h"
#include "tools/common/StopRequest.h"
#include "tools/common/StopSignals.h"
#include "tools/poll/MapProgram.h"
#include "tools/poll/PollDetect.h"
#include "tools/poll/PollIdentify.h"
#include "tools/poll/PollLine.h"
#include "tools/poll/PollOptions.h"
#include "tools/poll/PollPublisher.h"
#include "tools/poll/PollRunner.h"
#include "tools/poll/PollScan.h"

namespace {

int Finish(int status, int outputError) {
    return poll::FinishOutput("vornak-poll", status, outputError);
}

void ReportTrace(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "vornak-poll: trace %s: %s\n", path.c_str(), reason.c_str());
}

int Detect(CLocalModbus& master, const poll::PollOptions& options, poll::CStopRequest& stop) {
    const poll::LineSetter setLine = [&](const poll::PollOptions& line, std::string& why) {
        if (!poll::OpenLine(master, line, why)) {
            return false;
        }
        if (!poll::LineHasSettings(master)) {
            why = "--detect needs a serial line; " + options.port + " (" + master.GetPortDevice() +
                  ") has no line settings to detect";
            master.Close();
            return false;
        }
        return true;
    };
    poll::CProgress progress(stderr, isatty(STDERR_FILENO) != 0);
    const poll::DetectSummary found =
        poll::RunDetect(master, options, setLine, stdout, stop, &progress);
    if (found.stopped) {
        return Finish(128 + stop.Signal(), found.outputError);
    }
    if (found.neverOpened) {
        std::fprintf(stderr, "vornak-poll: %s\n", found.lineLost.c_str());
        return Finish(2, found.outputError);
    }
    if (!found.lineLost.empty()) {
        std::fprintf(stderr, "vornak-poll: detection ended after %u combinations: %s\n",
                     found.tried, found.lineLost.c_str());
        return Finish(1, found.outputError);
    }
    if (found.found == 0 && found.outputError == 0) {
        std::fprintf(stderr, "vornak-poll: no answer at %u %s\n", found.tried,
                     found.tried == 1 ? "combination" : "combinations");
    }
    return Finish(found.found > 0 ? 0 : 1, found.outputError);
}

}  // namespace

int main(int argc, char** argv) {
    // First: the line opened below must not take the number of a closed standard descriptor.
    unsigned reopened = 0;
    if (!EnsureStandardDescriptors(&reopened)) {
        return 2;
    }
    poll::CStopSignals::Block();
    // Output to a closed descriptor has gone nowhere though /dev/null took its place.
    const int closedOutput = (reopened & 2u) != 0 ? EBADF : 0;
    using poll::PollParse;
    const PollParse parse = poll::ParsePollOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parse.action) {
        case PollParse::Action::Help:
            std::fputs(poll::PollUsageText().c_str(), stdout);
            return Finish(0, closedOutput);
        case PollParse::Action::Version:
            std::puts("vornak-poll " VORNAK_VERSION);
            return Finish(0, closedOutput);
        case PollParse::Action::Error:
            std::fprintf(stderr, "vornak-poll: %s\n", parse.error.c_str());
            return 2;
        case PollParse::Action::Run:
            break;
    }
    const poll::PollOptions& options = parse.options;
    // Nothing goes on the bus when what comes back could not be shown.
    if (closedOutput != 0) {
        return Finish(0, closedOutput);
    }
    // A trace asked for and not writable is refused before the line opens; a later failure
    // is said once and the run goes on.
    if (const std::string trace = options.trace.empty() ? TraceFilePath() : options.trace;
        !trace.empty()) {
        const CTraceFile probe(trace);
        if (!probe.Problem().empty()) {
            ReportTrace(trace, probe.Problem());
            return 2;
        }
    }
    SetTraceReporter(ReportTrace);

    CLocalModbus master;
    poll::CStopRequest stop;
    // Declared after the master, so it ends first: no stop can reach a master that is gone.
    const poll::CStopSignals signals([&](int sig) {
        stop.Request(sig);
        master.AbortExchanges();
    });

    std::string reason;
    // A broker that cannot be reached is found before anything goes on the bus.
    std::unique_ptr<poll::CPollPublisher> publisher;
    if (options.mqtt) {
        publisher = poll::CPollPublisher::Make(options, reason);
        if (!publisher) {
            std::fprintf(stderr, "vornak-poll: %s\n", reason.c_str());
            return 2;
        }
    }
    if (options.map) {
        if (!publisher) {
            return poll::RunMapProgram(master, options, stop);
        }
        const poll::MapPublishing publishing{
            [&](std::string& why) { return publisher->Start(why); },
            [&](const std::vector<poll::PointRecord>& records) {
                publisher->PublishPoints(records);
            },
            [&] { return publisher->Finish(); }};
        return poll::RunMapProgram(master, options, stop, &publishing);
    }
    if (publisher && !publisher->Start(reason)) {
        std::fprintf(stderr, "vornak-poll: %s\n", reason.c_str());
        return 2;
    }
    if (options.detect) {
        return Detect(master, options, stop);
    }
    if (!poll::OpenLine(master, options, reason)) {
        if (stop.IsRequested()) {
            return 128 + stop.Signal();
        }
        std::fprintf(stderr, "vornak-poll: %s\n", reason.c_str());
        return 2;
    }
    if (options.identify && !options.scan) {
        std::fputs(poll::FormatIdentityHeader(options.format).c_str(), stdout);
        bool any = false;
        for (const std::uint8_t slave : options.slaves) {
            if (stop.IsRequested()) {
                return Finish(128 + stop.Signal(), 0);
            }
            const poll::Identity identity = poll::Identify(master, slave);
            std::fputs(poll::FormatIdentity(options.format, slave, identity).c_str(), stdout);
            if (identity.items.empty()) {
                std::fprintf(stderr, "vornak-poll: slave %u: %s\n", slave,
                             master.GetErrorText(identity.code).c_str());
            }
            any = any || !identity.items.empty();
        }
        return Finish(any ? 0 : 1, 0);
    }
    if (options.scan) {
        // Identification waits its own short time-out: its answers are longer than the read's.
        const auto identify = [&](std::uint8_t slave) {
            master.SetTimeout(options.identifyTimeoutMs);
            poll::Identity identity = poll::Identify(master, slave);
            master.SetTimeout(options.timeoutMs);
            return identity;
        };
        poll::CProgress progress(stderr, isatty(STDERR_FILENO) != 0);
        const poll::ScanSummary scan = poll::RunScan(
            master, options, stdout, stop, &progress,
            options.identify ? identify : std::function<poll::Identity(std::uint8_t)>{});
        if (scan.stopped) {
            // A partial list is no answer to "who is on this line": the signal's status.
            return Finish(128 + stop.Signal(), scan.outputError);
        }
        if (!scan.lineLost.empty()) {
            std::fprintf(stderr, "vornak-poll: scan ended after %u of %zu addresses: %s\n",
                         scan.asked, options.slaves.size(), scan.lineLost.c_str());
            return Finish(1, scan.outputError);
        }
        if (scan.found == 0 && scan.outputError == 0) {
            std::fprintf(stderr, "vornak-poll: no answer from %zu %s\n", options.slaves.size(),
                         options.slaves.size() == 1 ? "address" : "addresses");
        }
        return Finish(scan.found > 0 ? 0 : 1, scan.outputError);
    }
    // A long run outlives an unplugged adapter or a restarted server: it opens the line again.
    const bool longRun = options.polls != 1;
    const poll::LineKeeper keeper{[&](std::string& why) {
                                      return !stop.IsRequested() &&
                                             poll::OpenLine(master, options, why);
                                  },
                                  [&] { master.Close(); }};
    poll::RecordsOut publish;
    if (publisher) {
        publish = [&](const std::vector<poll::PollRecord>& records) {
            publisher->PublishRecords(records);
        };
    }
    const poll::PollSummary summary =
        poll::RunPolls(master, options, stdout, stop, longRun ? &keeper : nullptr, publish);
    if (longRun) {
        std::fflush(stdout);
        std::fputs(poll::FormatSummary(summary, options.port).c_str(), stderr);
    }
    if (publisher) {
        std::fputs(publisher->Finish().c_str(), stderr);
    }
    int status = 0;
    if (summary.polls == 0 && stop.IsRequested()) {
        // Cut short before anything came back: the shell's status for death by that signal.
        status = 128 + stop.Signal();
    } else if (summary.failed > 0) {
        if (summary.polls == 1) {
            std::fprintf(stderr, "vornak-poll: %s\n", summary.lastFailure.c_str());
        } else {
            std::fprintf(stderr, "vornak-poll: %u of %u %s failed, the last with: %s\n",
                         summary.failed, summary.polls,
                         options.slaves.size() > 1 ? "requests" : "polls",
                         summary.lastFailure.c_str());
        }
        status = 1;
    }
    return Finish(status, summary.outputError);
}
