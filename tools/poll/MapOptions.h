#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace poll {

// --map: a device's points read, or with --set written, by name from its profile.
struct MapOptions {
    std::string profile;
    // The words beside the options: PORT and the points named (every point when none is),
    // told apart once the profile is loaded. With --set, PORT is taken at once.
    std::vector<std::string> points;
    std::uint16_t maxGap = 8;        // registers a joined read may skip
    bool plan = false;               // print the requests instead of sending them
    std::optional<std::string> set;  // NAME=VALUE[,NAME=VALUE...]
    bool slavesGiven = false;        // -a, else the profile's unit, else 1
};

// --mqtt: every poll published to a broker as JSON.
struct MqttOptions {
    std::string url;
    std::string caFile;
    std::string clientId;   // empty: the program's name, host and process id
    bool perPoint = false;  // one message a point on TOPIC/NAME, not one a poll on TOPIC
    int qos = 0;
    bool retain = false;
    std::uint32_t queue = 10000;  // messages kept while the broker is away
};

// Which options of a map or MQTT run were given, for the checks between them.
struct MapGiven {
    bool maxGap = false, plan = false, set = false, mqttDetail = false, perPoint = false;
    bool request = false;   // any of -f, -r, --ref, -c, -w, -T, --order, --raw
    const char* kind = "";  // "--scan", "--identify" or "--detect" when one was given
};

struct PollOptions;

// What the map and MQTT options cannot take from the others; empty when they go together.
// The operands left (all of them for a map's reads) become the map's points.
std::string CheckMapOptions(PollOptions& o, const MapGiven& given,
                            const std::vector<std::string>& extraOperands);

}  // namespace poll
