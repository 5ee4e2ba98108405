// vornak-poll: the Modbus master on the command line.

#include <cstdio>
#include <string>
#include <vector>

#include "modbus/LocalModbus.h"
#include "tools/poll/PollLine.h"
#include "tools/poll/PollOptions.h"
#include "tools/poll/PollRunner.h"
#include "tools/poll/StopRequest.h"
#include "tools/poll/StopSignals.h"

int main(int argc, char** argv) {
    poll::CStopSignals::Block();
    using poll::PollParse;
    const PollParse parse = poll::ParsePollOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parse.action) {
        case PollParse::Action::Help:
            std::fputs(poll::PollUsageText().c_str(), stdout);
            return 0;
        case PollParse::Action::Version:
            std::puts("vornak-poll " VORNAK_VERSION);
            return 0;
        case PollParse::Action::Error:
            std::fprintf(stderr, "vornak-poll: %s\n", parse.error.c_str());
            return 2;
        case PollParse::Action::Run:
            break;
    }
    const poll::PollOptions& options = parse.options;

    CLocalModbus master;
    poll::CStopRequest stop;
    // Declared after the master, so it ends first: no stop can reach a master that is gone.
    const poll::CStopSignals signals([&] {
        stop.Request();
        master.AbortExchanges();
    });

    std::string reason;
    if (!poll::OpenLine(master, options, reason)) {
        std::fprintf(stderr, "vornak-poll: %s\n", reason.c_str());
        return 2;
    }
    const poll::PollSummary summary = poll::RunPolls(master, options, stdout, stop);
    if (summary.failed == 0) {
        return 0;
    }
    if (summary.polls == 1) {
        std::fprintf(stderr, "vornak-poll: %s\n", summary.lastFailure.c_str());
    } else {
        std::fprintf(stderr, "vornak-poll: %u of %u polls failed, the last with: %s\n",
                     summary.failed, summary.polls, summary.lastFailure.c_str());
    }
    return 1;
}
