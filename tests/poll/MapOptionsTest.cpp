#include <gtest/gtest.h>

#include "tools/poll/PollOptions.h"

using Action = poll::PollParse::Action;

TEST(MapOptions, TakesTheMapItsPointsAndTheBroker) {
    const poll::PollParse p = poll::ParsePollOptions(
        {"--map", "m.toml", "COM1", "volts", "amps", "--max-gap", "0", "-n", "0", "--mqtt",
         "mqtt://127.0.0.1/plant/m1", "--mqtt-qos", "1", "--mqtt-per-point", "--mqtt-retain",
         "--mqtt-queue", "50", "--mqtt-client-id", "desk"});
    ASSERT_EQ(p.action, Action::Run) << p.error;
    ASSERT_TRUE(p.options.map && p.options.mqtt);
    EXPECT_EQ(p.options.map->profile, "m.toml");
    EXPECT_EQ(p.options.map->points, (std::vector<std::string>{"COM1", "volts", "amps"}));
    EXPECT_EQ(p.options.map->maxGap, 0);
    EXPECT_FALSE(p.options.map->slavesGiven);
    EXPECT_EQ(p.options.mqtt->url, "mqtt://127.0.0.1/plant/m1");
    EXPECT_EQ(p.options.mqtt->qos, 1);
    EXPECT_TRUE(p.options.mqtt->perPoint && p.options.mqtt->retain);
    EXPECT_EQ(p.options.mqtt->queue, 50u);
    EXPECT_EQ(p.options.mqtt->clientId, "desk");

    const poll::PollParse set =
        poll::ParsePollOptions({"--map", "m.csv", "--set", "a=1,b=x,y", "-a", "3", "COM1"});
    ASSERT_EQ(set.action, Action::Run) << set.error;
    EXPECT_EQ(set.options.map->set, "a=1,b=x,y");
    EXPECT_EQ(set.options.port, "COM1");
    EXPECT_EQ(set.options.map->maxGap, 8);
    EXPECT_TRUE(set.options.map->slavesGiven);
    EXPECT_FALSE(set.options.mqtt);
}

TEST(MapOptions, RefusesWhatDoesNotGoWithAMap) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"COM1", "volts"}, "one PORT only; unexpected 'volts'"},
        {{"--map", "m.toml", "-f", "4", "COM1"}, "--map reads its points by name; it takes no -f"},
        {{"--map", "m.toml", "-T", "float32", "COM1"}, "it takes no -f, -r, --ref, -c, -w"},
        {{"--map", "m.toml", "-w", "1", "COM1"}, "it takes no -f, -r, --ref, -c, -w"},
        {{"--map", "m.toml", "--scan", "COM1"}, "--map takes no --scan"},
        {{"--map", "m.toml", "--identify", "COM1"}, "--map takes no --identify"},
        {{"--map", "m.toml", "--set", "a=1", "COM1", "a"}, "one PORT only; unexpected 'a'"},
        {{"--map", "m.toml", "--set", "a=1", "--plan", "COM1"}, "--plan goes with reads"},
        {{"--map", "m.toml", "--set", "a=1", "-n", "3", "COM1"}, "--set writes once"},
        {{"--map", "m.toml", "--max-gap", "126", "COM1"},
         "bad value for --max-gap: '126' (0 to 125 registers)"},
        {{"--map", "", "COM1"}, "bad value for --map"},
        {{"--plan", "COM1"}, "--max-gap, --plan and --set go with --map PROFILE"},
        {{"--set", "a=1", "COM1"}, "--max-gap, --plan and --set go with --map PROFILE"},
        {{"--mqtt-qos", "1", "COM1"}, "go with --mqtt URL"},
        {{"--mqtt", "mqtt://h/t", "--mqtt-qos", "2", "COM1"},
         "bad value for --mqtt-qos: '2' (0 or 1)"},
        {{"--mqtt", "mqtt://h/t", "--mqtt-queue", "0", "COM1"}, "(1 to 1000000 messages)"},
        {{"--mqtt", "mqtt://h/t", "--scan", "COM1"}, "--mqtt publishes polls; it takes no --scan"},
        {{"--mqtt", "mqtt://h/t", "-w", "5", "COM1"}, "it takes no --write or --set"},
        {{"--mqtt", "mqtt://h/t", "--mqtt-per-point", "COM1"}, "it needs --map"},
        {{"--mqtt", "mqtt://h/t", "--map", "m.toml", "--plan", "COM1"}, "--plan sends nothing"},
    };
    for (const auto& [args, reason] : cases) {
        const poll::PollParse p = poll::ParsePollOptions(args);
        EXPECT_EQ(p.action, Action::Error) << reason;
        EXPECT_NE(p.error.find(reason), std::string::npos) << p.error;
    }
}
