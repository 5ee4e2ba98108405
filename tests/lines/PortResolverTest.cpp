#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <thread>

#include "lines/PortResolver.h"

namespace {

class PortResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= 16; ++i) {
            ::unsetenv(("VORNAK_COM" + std::to_string(i)).c_str());
        }
        InstallPortResolver({});
        RescanSerialDevices("/nonexistent-vornak-root");  // this machine's devices stay out
    }
    void TearDown() override { SetUp(); }
};

TEST_F(PortResolverTest, DefaultIsTheNumberedSerialDevice) {
    EXPECT_EQ(ResolvePort(1).path, "/dev/ttyS0");
    EXPECT_EQ(ResolvePort(1).source, PortSource::Default);
    EXPECT_EQ(ResolvePort(16).path, "/dev/ttyS15");
    EXPECT_EQ(ResolvePortDevice(3), "/dev/ttyS2");
}

TEST_F(PortResolverTest, EnvironmentBeatsResolverBeatsDefault) {
    InstallPortResolver([](int port) -> std::optional<std::string> {
        if (port == 2 || port == 3) {
            return "/dev/ttyUSB" + std::to_string(port);
        }
        return std::nullopt;
    });
    ::setenv("VORNAK_COM3", "/dev/pts/42", 1);

    PortDevice three = ResolvePort(3);
    EXPECT_EQ(three.path, "/dev/pts/42");
    EXPECT_EQ(three.source, PortSource::Environment);

    PortDevice two = ResolvePort(2);
    EXPECT_EQ(two.path, "/dev/ttyUSB2");
    EXPECT_EQ(two.source, PortSource::Resolver);

    PortDevice four = ResolvePort(4);
    EXPECT_EQ(four.path, "/dev/ttyS3");
    EXPECT_EQ(four.source, PortSource::Default);

    // An empty variable counts as unset.
    ::setenv("VORNAK_COM3", "", 1);
    EXPECT_EQ(ResolvePort(3).path, "/dev/ttyUSB3");
    EXPECT_EQ(ResolvePort(3).source, PortSource::Resolver);

    // Removing the resolver falls back to the default.
    InstallPortResolver({});
    EXPECT_EQ(ResolvePort(2).path, "/dev/ttyS1");
    EXPECT_EQ(ResolvePort(2).source, PortSource::Default);
}

TEST_F(PortResolverTest, EmptyAnswerFromTheResolverFallsBack) {
    InstallPortResolver([](int) -> std::optional<std::string> { return std::string(); });
    EXPECT_EQ(ResolvePort(5).path, "/dev/ttyS4");
    EXPECT_EQ(ResolvePort(5).source, PortSource::Default);
}

TEST_F(PortResolverTest, InstallingWhileResolvingIsSafe) {
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread resolver([&] {
        while (!stop) {
            const PortDevice d = ResolvePort(7);
            if (d.path != "/dev/ttyS6" && d.path != "/dev/mapped7") {
                ++bad;
            }
        }
    });
    for (int i = 0; i < 2000; ++i) {
        if (i % 2 == 0) {
            InstallPortResolver([](int port) -> std::optional<std::string> {
                return "/dev/mapped" + std::to_string(port);
            });
        } else {
            InstallPortResolver({});
        }
    }
    stop = true;
    resolver.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
