#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "protocol/frame.h"
#include "protocol/units.h"
#include "sim/simulated_module.h"
#include "slave_port.h"

namespace tovra::sim::test {
namespace {

namespace fs = std::filesystem;

// A private directory for the links of one test.
class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tovra-sim-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        module_.Stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    static std::string Target(const fs::path& link) {
        std::error_code ec;
        return fs::read_symlink(link, ec).string();
    }
    static bool Exists(const fs::path& p) {
        std::error_code ec;
        return fs::symlink_status(p, ec).type() != fs::file_type::not_found;
    }

    fs::path dir_;
    SimulatedModule module_{InitialWindowSettings()};
};

TEST_F(LinkTest, LinkLeadsToThePortAndGoesAwayOnStop) {
    const fs::path link = dir_ / "ports" / "nested" / "sim0";
    ASSERT_TRUE(module_.Start(link.string())) << module_.LastError();
    EXPECT_EQ(module_.LinkPath(), link.string());
    EXPECT_EQ(Target(link), module_.PortPath());

    SlavePort port(link.string());
    ASSERT_TRUE(port.IsOpen());
    const auto request = BuildReadAllFrame();
    ASSERT_TRUE(port.Write(Bytes(request.begin(), request.end())));
    EXPECT_TRUE(port.ReadReply().outcome);

    module_.Stop();
    EXPECT_FALSE(Exists(link));
}

TEST_F(LinkTest, OldSymlinksOfTheNameAreReplaced) {
    std::ofstream(dir_ / "real").put('x');
    for (const fs::path& target : {dir_ / "gone", dir_ / "real"}) {
        SCOPED_TRACE(target);
        const fs::path link = dir_ / "sim0";
        fs::create_symlink(target, link);
        ASSERT_TRUE(module_.Start(link.string())) << module_.LastError();
        EXPECT_EQ(Target(link), module_.PortPath());
        module_.Stop();
        EXPECT_FALSE(Exists(link));
    }
}

TEST_F(LinkTest, NeverOverwritesAFile) {
    const fs::path link = dir_ / "sim0";
    std::ofstream(link) << "keep me";
    EXPECT_FALSE(module_.Start(link.string()));
    EXPECT_FALSE(module_.LastError().empty());
    std::string content;
    std::getline(std::ifstream(link), content);
    EXPECT_EQ(content, "keep me");
}

TEST_F(LinkTest, StopLeavesALinkThatNowPointsElsewhere) {
    const fs::path link = dir_ / "sim0";
    ASSERT_TRUE(module_.Start(link.string()));
    fs::remove(link);
    fs::create_symlink(dir_ / "other", link);
    module_.Stop();
    EXPECT_EQ(Target(link), (dir_ / "other").string());
}

TEST_F(LinkTest, LostPortTakesItsLinkAndRestartBringsItBack) {
    Faults f;
    f.lose_after = 0;
    module_.SetFaults(f);
    const fs::path link = dir_ / "sim0";
    ASSERT_TRUE(module_.Start(link.string()));
    {
        SlavePort port(link.string());
        const auto request = BuildReadAllFrame();
        ASSERT_TRUE(port.Write(Bytes(request.begin(), request.end())));
        ASSERT_TRUE(port.WaitHangup());
    }
    EXPECT_FALSE(Exists(link));

    module_.SetFaults({});
    ASSERT_TRUE(module_.Restart()) << module_.LastError();
    EXPECT_EQ(Target(link), module_.PortPath());
    SlavePort port(link.string());
    const auto request = BuildVersionReadFrame();
    ASSERT_TRUE(port.Write(Bytes(request.begin(), request.end())));
    EXPECT_TRUE(port.ReadReply().outcome);
}

}  // namespace
}  // namespace tovra::sim::test
