#include "tools/poll/MapProgram.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "modbus/LocalModbus.h"
#include "tools/common/FlushedOutput.h"
#include "tools/common/OptionText.h"
#include "tools/poll/MapWrite.h"
#include "tools/poll/PollLine.h"
#include "tools/profile/LoadProfile.h"

namespace poll {

namespace {

using profile::DeviceProfile;
using profile::Point;

int Finish(int status, int outputError) {
    return FinishOutput("vornak-poll", status, outputError);
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "vornak-poll: %s\n", why.c_str());
    return 2;
}

// Whether a word names a port rather than a point: COMn, a path or a URL.
bool LooksLikePort(const std::string& word) {
    return ComPortNumber(word) > 0 || word.find_first_of("/:") != std::string::npos;
}

// Tells PORT from the points named beside it: of the words that name no point, the one that
// looks like a port (the first, when none does) is PORT; any other is a point the profile
// lacks. The points come in the order named, every point when none is.
bool SelectPoints(const DeviceProfile& profile, PollOptions& o, std::vector<const Point*>& points,
                  std::string& why) {
    std::vector<std::string> others;
    for (const std::string& word : o.map->points) {
        if (const Point* point = profile.Find(word)) {
            points.push_back(point);
        } else {
            others.push_back(word);
        }
    }
    if (!others.empty()) {
        const auto port = std::find_if(others.begin(), others.end(), LooksLikePort);
        why = SetPort(o, port != others.end() ? *port : others.front());
        if (!why.empty()) {
            return false;
        }
        others.erase(port != others.end() ? port : others.begin());
    }
    if (!others.empty()) {
        why = "no point '" + others.front() + "' in " + profile.path;
        return false;
    }
    if (o.port.empty() && !o.map->plan) {
        why = "no PORT given (COM1 to COM16, a device path or a URL)";
        return false;
    }
    if (points.empty()) {
        for (const Point& point : profile.points) {
            points.push_back(&point);
        }
    }
    return true;
}

int PrintPlan(const PollOptions& o, const std::vector<const Point*>& points) {
    const CMapReader reader(points, o.map->maxGap, 0);
    std::string text;
    std::size_t requests = 0;
    for (const std::uint8_t slave : o.slaves) {
        for (const MapRequest& request : reader.Plan(slave)) {
            text += FormatMapRequest(slave, request);
            ++requests;
        }
    }
    text += std::to_string(requests) + (requests == 1 ? " request for " : " requests for ") +
            std::to_string(points.size() * o.slaves.size()) +
            (points.size() * o.slaves.size() == 1 ? " point\n" : " points\n");
    return Finish(0, PrintFlushed(text, stdout));
}

int WriteSet(CLocalModbus& master, const PollOptions& o, const std::vector<PointWrite>& writes) {
    int outputError = PrintFlushed(FormatPointHeader(o.format), stdout);
    std::string lastFailure;
    for (const std::uint8_t slave : o.slaves) {
        for (PointRecord& record : WritePoints(master, slave, writes, o.multiple, o.retries)) {
            record.nameSlave = o.slaves.size() > 1;
            if (record.code != 0) {
                lastFailure = record.point->name + ": " + record.text;
            }
            if (outputError == 0) {
                outputError = PrintFlushed(FormatPointRecord(o.format, record), stdout);
            }
        }
    }
    if (!lastFailure.empty()) {
        std::fprintf(stderr, "vornak-poll: %s\n", lastFailure.c_str());
    }
    return Finish(lastFailure.empty() ? 0 : 1, outputError);
}

}  // namespace

int RunMapProgram(CLocalModbus& master, const PollOptions& given, CStopRequest& stop,
                  const MapPublishing* publishing) {
    PollOptions o = given;
    std::string why;
    const std::optional<DeviceProfile> profile = profile::LoadProfile(o.map->profile, why);
    if (!profile) {
        return Refuse(why);
    }
    if (!o.map->slavesGiven && profile->unit) {
        o.slaves = {static_cast<std::uint8_t>(*profile->unit)};
    }
    std::vector<const Point*> points;
    std::optional<std::vector<PointWrite>> writes;
    if (o.map->set) {
        writes = ParseSetList(*profile, *o.map->set, why);
        if (!writes) {
            return Refuse(why);
        }
    } else if (!SelectPoints(*profile, o, points, why)) {
        return Refuse(why);
    }
    if (o.map->plan) {
        return PrintPlan(o, points);
    }
    if (publishing != nullptr && publishing->start && !publishing->start(why)) {
        return Refuse(why);
    }
    if (!OpenLine(master, o, why)) {
        if (stop.IsRequested()) {
            return 128 + stop.Signal();
        }
        return Refuse(why);
    }
    if (writes) {
        return WriteSet(master, o, *writes);
    }
    CMapReader reader(points, o.map->maxGap, o.retries);
    const bool longRun = o.polls != 1;
    const LineKeeper keeper{
        [&](std::string& reason) { return !stop.IsRequested() && OpenLine(master, o, reason); },
        [&] { master.Close(); }};
    const PollSummary summary =
        RunMapPolls(master, o, reader, stdout, stop, longRun ? &keeper : nullptr,
                    publishing != nullptr ? publishing->points : PointsOut{});
    std::string closing = longRun ? FormatSummary(summary, o.port) : std::string();
    if (publishing != nullptr && publishing->finish) {
        closing += publishing->finish();
    }
    std::fflush(stdout);
    std::fputs(closing.c_str(), stderr);
    if (summary.polls == 0 && stop.IsRequested()) {
        return Finish(128 + stop.Signal(), summary.outputError);
    }
    if (summary.failed > 0) {
        std::fprintf(stderr, "vornak-poll: %u of %u requests failed, the last with: %s\n",
                     summary.failed, summary.polls, summary.lastFailure.c_str());
        return Finish(1, summary.outputError);
    }
    return Finish(0, summary.outputError);
}

}  // namespace poll
