#include "tools/profile/LoadProfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "tools/profile/ProfileFile.h"

namespace {

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/vornak-profile-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        for (const std::string& file : files_) {
            std::remove(file.c_str());
        }
        ::rmdir(dir_.c_str());
    }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        files_.push_back(path);
        return path;
    }

    std::string dir_;
    std::vector<std::string> files_;
};

}  // namespace

TEST_F(ProfileFile, RefusesWhatIsNoRegularFileBeforeReading) {
    const std::string fifo = dir_ + "/fifo.toml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    files_.push_back(fifo);
    const std::pair<std::string, std::string> cases[] = {
        {fifo, fifo + ": not a regular file"},
        {dir_, dir_ + ": not a regular file"},
        {"/dev/zero", "/dev/zero: not a regular file"},
        {"/proc/self/status", "/proc/self/status: not a regular file"},
        {dir_ + "/missing.toml", dir_ + "/missing.toml: cannot open: No such file or directory"},
    };
    for (const auto& [path, expected] : cases) {
        std::string error;
        EXPECT_FALSE(profile::LoadProfile(path, error));
        EXPECT_EQ(error, expected);
    }
}

TEST_F(ProfileFile, ReadsUpTo1MiB) {
    const std::string line = "# " + std::string(1021, 'x') + "\n";  // 1024 bytes
    std::string text;
    for (int i = 0; i < 1024; ++i) {
        text += line;
    }
    std::string error;
    EXPECT_TRUE(profile::LoadProfile(Write("full.toml", text), error)) << error;
    const std::string over = Write("over.toml", text + "\n");
    EXPECT_FALSE(profile::LoadProfile(over, error));
    EXPECT_EQ(error, over + ": larger than 1048576 bytes");
}

TEST_F(ProfileFile, ChoosesTheFormatByTheName) {
    const std::string text = "name,table,address\nv,holding,0\n";
    std::string error;
    const auto list = profile::LoadProfile(Write("list.CSV", text), error);
    ASSERT_TRUE(list) << error;
    EXPECT_EQ(list->points.size(), 1u);
    const std::string toml = Write("list.toml", text);
    EXPECT_FALSE(profile::LoadProfile(toml, error));
    EXPECT_EQ(error.rfind(toml + ":1: ", 0), 0u) << error;
}

TEST(ProfileExamples, LoadWithoutError) {
    for (const char* name : {"/meter.toml", "/drive.toml"}) {
        std::string error;
        const auto loaded =
            profile::LoadProfile(std::string(VORNAK_PROFILE_EXAMPLES) + name, error);
        ASSERT_TRUE(loaded) << error;
        EXPECT_GT(loaded->points.size(), 15u);
        EXPECT_TRUE(loaded->identity.vendor);
    }
}
