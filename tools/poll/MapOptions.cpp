#include "tools/poll/MapOptions.h"

#include <algorithm>

#include "tools/poll/PollOptions.h"

namespace poll {

namespace {

std::string CheckMap(PollOptions& o, const MapGiven& given,
                     const std::vector<std::string>& points) {
    MapOptions& map = *o.map;
    if (given.request) {
        return "--map reads its points by name; it takes no -f, -r, --ref, -c, -w, -T, --order "
               "or --raw";
    }
    if (*given.kind != '\0') {
        return std::string("--map takes no ") + given.kind + "; give it to a run of its own";
    }
    if (std::find(o.slaves.begin(), o.slaves.end(), std::uint8_t{0}) != o.slaves.end()) {
        return "--map asks 1 to 255; 0 broadcasts and nothing answers it";
    }
    if (map.set) {
        if (given.maxGap || given.plan) {
            return std::string(given.plan ? "--plan" : "--max-gap") +
                   " goes with reads; --set writes neighbours with one request";
        }
        if (o.polls != 1) {
            return "--set writes once; it takes no --polls";
        }
    }
    map.points = points;
    return {};
}

std::string CheckMqtt(const PollOptions& o, const MapGiven& given) {
    if (!o.mqtt) {
        if (given.mqttDetail) {
            return "--mqtt-ca, --mqtt-client-id, --mqtt-per-point, --mqtt-qos, --mqtt-retain "
                   "and --mqtt-queue go with --mqtt URL";
        }
        return {};
    }
    if (*given.kind != '\0') {
        return std::string("--mqtt publishes polls; it takes no ") + given.kind;
    }
    if (!o.write.empty() || (o.map && o.map->set)) {
        return "--mqtt publishes polls; it takes no --write or --set";
    }
    if (o.map && o.map->plan) {
        return "--plan sends nothing; it takes no --mqtt";
    }
    if (given.perPoint && !o.map) {
        return "--mqtt-per-point publishes a map's points; it needs --map";
    }
    return {};
}

}  // namespace

std::string CheckMapOptions(PollOptions& o, const MapGiven& given,
                            const std::vector<std::string>& extraOperands) {
    if (o.map) {
        if (std::string problem = CheckMap(o, given, extraOperands); !problem.empty()) {
            return problem;
        }
    } else if (given.maxGap || given.plan || given.set) {
        return "--max-gap, --plan and --set go with --map PROFILE";
    }
    return CheckMqtt(o, given);
}

}  // namespace poll
