// vornak-monitor: listens to a Modbus serial bus and prints every frame it hears.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lines/TraceFile.h"
#include "platform/StandardDescriptors.h"
#include "tools/common/FlushedOutput.h"
#include "tools/common/StopRequest.h"
#include "tools/common/StopSignals.h"
#include "tools/monitor/BusDecoder.h"
#include "tools/monitor/ListenLine.h"
#include "tools/monitor/MonitorFormat.h"
#include "tools/monitor/MonitorOptions.h"
#include "tools/monitor/MonitorRun.h"

namespace {

int Finish(int status, int outputError) {
    return poll::FinishOutput("vornak-monitor", status, outputError);
}

void ReportTrace(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "vornak-monitor: trace %s: %s\n", path.c_str(), reason.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // First: the line opened below must not take the number of a closed standard descriptor.
    unsigned reopened = 0;
    if (!EnsureStandardDescriptors(&reopened)) {
        return 2;
    }
    poll::CStopSignals::Block();
    const int closedOutput = (reopened & 2u) != 0 ? EBADF : 0;
    using monitor::MonitorParse;
    const MonitorParse parse =
        monitor::ParseMonitorOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parse.action) {
        case MonitorParse::Action::Help:
            std::fputs(monitor::MonitorUsageText().c_str(), stdout);
            return Finish(0, closedOutput);
        case MonitorParse::Action::Version:
            std::puts("vornak-monitor " VORNAK_VERSION);
            return Finish(0, closedOutput);
        case MonitorParse::Action::Error:
            std::fprintf(stderr, "vornak-monitor: %s\n", parse.error.c_str());
            return 2;
        case MonitorParse::Action::Run:
            break;
    }
    const monitor::MonitorOptions& options = parse.options;
    if (closedOutput != 0) {
        return Finish(0, closedOutput);
    }
    // As vornak-poll: --trace, else VORNAK_TRACE or the settings' trace; one that cannot be
    // written is refused before the line opens, a later failure is said once.
    std::unique_ptr<CTraceFile> trace;
    if (const std::string path = options.trace.empty() ? TraceFilePath() : options.trace;
        !path.empty()) {
        trace = std::make_unique<CTraceFile>(path);
        if (!trace->Problem().empty()) {
            ReportTrace(path, trace->Problem());
            return 2;
        }
    }
    SetTraceReporter(ReportTrace);

    monitor::CListenLine line;
    poll::CStopRequest stop;
    const poll::CStopSignals signals([&](int sig) {
        stop.Request(sig);
        line.Stop();
    });
    std::string reason;
    if (!line.Open(options.line, reason)) {
        if (stop.IsRequested()) {
            return 128 + stop.Signal();
        }
        std::fprintf(stderr, "vornak-monitor: %s\n", reason.c_str());
        return 2;
    }
    monitor::CBusDecoder decoder(monitor::SettingsFor(options));
    const monitor::RunSummary run =
        monitor::RunMonitor(line, decoder, options, stdout, trace.get());
    std::fflush(stdout);
    std::fputs(
        monitor::FormatTallies(line.Device(), run.records, decoder.Tallies(), decoder.NoiseBytes())
            .c_str(),
        stderr);
    int status = 0;
    if (!run.lineEnd.empty()) {
        std::fprintf(stderr, "vornak-monitor: %s: %s\n", line.Device().c_str(),
                     run.lineEnd.c_str());
        status = 1;
    } else if (run.stopped && run.records == 0 && stop.IsRequested()) {
        // Stopped before anything was heard: the shell's status for death by that signal.
        status = 128 + stop.Signal();
    }
    return Finish(status, run.outputError);
}
