#include "tester/monitor_bootstrap.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "host/settings_store.h"
#include "host/startup.h"
#include "support/clock.h"
#include "tester/link_setup.h"
#include "tester/tester_seams.h"
#include "testlib/tester_result_printers.h"
#include "testlib/settings_state.h"
#include "testlib/temp_dir.h"
#include "testlib/tester_fake_monitor.h"

namespace zul {
namespace {

class MonitorBootstrapTest : public ::testing::Test {
protected:
    MonitorBootstrapTest() : image_(Image()), seams_(Seams()) {
        auto link = std::make_unique<test::FakeMonitorLink>(clock_);
        fake_ = link.get();
        InstallTesterLink(std::move(link));
        // As after EstablishFastLink: both ends at 115200.
        fake_->testerSpeed = 115200;
        fake_->SetLineSpeed(115200);
        fake_->pcSpeeds.clear();
    }
    ~MonitorBootstrapTest() override { InstallTesterLink(nullptr); }
    static std::vector<std::uint8_t> Image() {
        std::vector<std::uint8_t> image(14336);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 31 + 7);
        return image;
    }
    TesterSeams Seams() {
        TesterSeams seams;
        seams.clock = &clock_;
        seams.monitorImageOverride = MonitorImageRef{0x60000, image_};
        return seams;
    }

    VirtualClock clock_{0};
    std::vector<std::uint8_t> image_;
    TesterSeamsScope seams_;
    test::FakeMonitorLink* fake_ = nullptr;
    MonitorContext context_;
};

TEST_F(MonitorBootstrapTest, RunningMonitorMeansNoUploadAndNoSpeedChange) {
    fake_->uploadedMonitor = true;
    EXPECT_EQ(EnsureMonitor(context_), DownloadResult::Ok);
    EXPECT_EQ(fake_->commands, std::vector<std::string>{"FV"});
    EXPECT_TRUE(fake_->pcSpeeds.empty());
}

TEST_F(MonitorBootstrapTest, UploadSends112BlocksThenCallsTheMonitor) {
    EXPECT_EQ(EnsureMonitor(context_), DownloadResult::Ok);
    EXPECT_EQ(fake_->blocksAccepted, 112);
    ASSERT_GE(fake_->commands.size(), 3u);
    EXPECT_EQ(fake_->commands[0], "FV");
    EXPECT_EQ(fake_->commands[1], "LB 60000 3800");
    EXPECT_EQ(fake_->commands[2], "C 60000 NOT_USED");
    const auto& ram = fake_->Memory("RAM");
    ASSERT_EQ(ram.size(), 0x60000u + image_.size());
    EXPECT_TRUE(std::equal(image_.begin(), image_.end(), ram.begin() + 0x60000));
    // PC follows the new monitor to 9600, then both go to 115200.
    EXPECT_EQ(fake_->pcSpeeds, (std::vector<long>{9600, 115200}));
    EXPECT_EQ(fake_->testerSpeed, 115200);
    EXPECT_TRUE(fake_->uploadedMonitor);
}

TEST_F(MonitorBootstrapTest, UploadFailures) {
    struct Row {
        const char* name;
        int starAtBlock;
        int silentFromBlock;
        MonitorResult uploadResult;
        int blocks;
    };
    const Row rows[] = {
        {"star instead of block 5", 5, -1, MonitorResult::BlockRefused, 5},
        {"silence from block 100", -1, 100, MonitorResult::NoBlockRequest, 100},
    };
    for (const auto& row : rows) {
        auto link = std::make_unique<test::FakeMonitorLink>(clock_);
        fake_ = link.get();
        InstallTesterLink(std::move(link));
        fake_->starAtBlock = row.starAtBlock;
        fake_->silentFromBlock = row.silentFromBlock;
        EXPECT_EQ(UploadAndStart(context_, *ActiveMonitorImage()), row.uploadResult) << row.name;
        EXPECT_EQ(fake_->blocksAccepted, row.blocks) << row.name;
        // One resynchronisation probe after the failure, and no call.
        EXPECT_EQ(fake_->commands.back(), "V") << row.name;
        EXPECT_EQ(fake_->Count("C"), 0) << row.name;

        auto again = std::make_unique<test::FakeMonitorLink>(clock_);
        fake_ = again.get();
        InstallTesterLink(std::move(again));
        fake_->starAtBlock = row.starAtBlock;
        fake_->silentFromBlock = row.silentFromBlock;
        EXPECT_EQ(EnsureMonitor(context_), DownloadResult::MonitorFailed) << row.name;
    }
}

TEST_F(MonitorBootstrapTest, MonitorThatNeverComesUpFailsTheSpeedChange) {
    fake_->monitorStartMs = 60000;
    const std::uint32_t start = clock_.TickCount();
    EXPECT_EQ(EnsureMonitor(context_), DownloadResult::SpeedFailed);
    EXPECT_EQ(fake_->LineSpeed(), 9600);
    // 4 + 11 probes after the call, then the failed speed change's 4 and the
    // fall-back's 4.
    EXPECT_EQ(fake_->Count("V"), 23);
    EXPECT_LT(clock_.TickCount() - start, 40000u);
}

TEST_F(MonitorBootstrapTest, SlowMonitorGetsItsProbes) {
    fake_->monitorStartMs = 9000;
    EXPECT_EQ(EnsureMonitor(context_), DownloadResult::Ok);
    EXPECT_EQ(fake_->testerSpeed, 115200);
}

TEST_F(MonitorBootstrapTest, BuiltInImageIsTheOneUploaded) {
    SetMonitorImageOverride(std::nullopt);
    const auto image = ActiveMonitorImage();
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->loadAddress, 0x60000u);
    EXPECT_EQ(image->bytes.size(), 14336u);
    EXPECT_TRUE(image->placeholder);
    // The built-in image is a stand-in: a real tester never gets it.
    EXPECT_EQ(EnsureMonitor(context_), DownloadResult::MonitorFailed);
    EXPECT_EQ(fake_->commands, std::vector<std::string>{"FV"});
    EXPECT_EQ(LastMonitorImageProblem(), MonitorImageProblem::kPlaceholderForRealTester);
    fake_->commands.clear();
    {
        TesterSeams simulating = InstalledTesterSeams();
        simulating.inProcessSimulator = true;
        TesterSeamsScope scope(simulating);
        EXPECT_EQ(EnsureMonitor(context_), DownloadResult::Ok);
    }
    EXPECT_EQ(fake_->blocksAccepted, 112);
    EXPECT_EQ(fake_->commands[2], "C 60000 NOT_USED");
    EXPECT_EQ(LastMonitorImageProblem(), MonitorImageProblem::kNone);
}

TEST_F(MonitorBootstrapTest, UnusableImageFileNamedInTheSettingsFailsWithoutSending) {
    SetMonitorImageOverride(std::nullopt);
    test::TempDir dir;
    test::ScopedSettingsState settings;
    SetSettingsFilePath(dir / "zultw.ini");
    SettingsStore(SettingsFilePath()).WriteValue("Dir Setup", "MonitorImage", (dir / "absent.bin").c_str());
    EXPECT_FALSE(ActiveMonitorImage().has_value());
    EXPECT_EQ(EnsureMonitor(context_), DownloadResult::MonitorFailed);
    EXPECT_EQ(fake_->commands, std::vector<std::string>{"FV"});
    EXPECT_EQ(LastMonitorImageProblem(), MonitorImageProblem::kUnusableFile);

    std::vector<std::uint8_t> real(256, 0x11);
    std::ofstream(dir / "monitor.bin", std::ios::binary).write(reinterpret_cast<const char*>(real.data()), 256);
    SettingsStore(SettingsFilePath()).WriteValue("Dir Setup", "MonitorImage", (dir / "monitor.bin").c_str());
    ASSERT_TRUE(ActiveMonitorImage().has_value());
    EXPECT_EQ(ActiveMonitorImage()->bytes.size(), 256u);
}

}  // namespace
}  // namespace zul
