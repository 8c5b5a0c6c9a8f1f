// The protocol and the engine against the simulated tester, in virtual time.
#include <gtest/gtest.h>

#include "sim/sim_faults.h"
#include "support/clock.h"
#include "tester/download_engine.h"
#include "tester/link_setup.h"
#include "tester/monitor_bootstrap.h"
#include "tester/monitor_image.h"
#include "tester/tester_seams.h"
#include "serial/serial_port.h"
#include "sim/simulated_tester_port.h"
#include "testlib/tester_result_printers.h"
#include "testlib/tester_simulated_link.h"
#include "testlib/temp_dir.h"
#include "testlib/tester_recorders.h"
#include "testlib/image_fixtures.h"
#include "testlib/script_fixtures.h"

namespace zul {
namespace {

class SimulatorProtocolTest : public ::testing::Test {
protected:
    // The simulator stands in for the tester in this process, so the
    // built-in monitor image may go to it.
    SimulatorProtocolTest() : seams_(Seams(clock_)) {}
    ~SimulatorProtocolTest() override { InstallTesterLink(nullptr); }
    static TesterSeams Seams(VirtualClock& clock) {
        TesterSeams seams;
        seams.clock = &clock;
        seams.inProcessSimulator = true;
        return seams;
    }

    void Start(const std::vector<std::string>& faults = {}) {
        sim::SimOptions options;
        for (const auto& faultText : faults) {
            sim::Fault fault;
            std::string error;
            ASSERT_TRUE(sim::ParseFault(faultText, &fault, &error)) << faultText << ": " << error;
            options.faults.push_back(fault);
        }
        tester_ = std::make_unique<sim::TesterSimulator>(options);
        InstallTesterLink(std::make_unique<test::SimulatedLink>(*tester_));
    }
    LoadStatement Statement(const std::string& name, std::size_t size, int loadType, std::uint32_t address,
                            unsigned seed) {
        image_ = test::ImageBytes(size, seed);
        test::WriteImage(dir_ / name, image_);
        LoadStatement s;
        s.loadType = loadType;
        s.loadAddress = address;
        s.imageSize = static_cast<std::uint32_t>(size);
        s.imagePath = dir_ / name;
        return s;
    }
    DownloadResult Run(const LoadStatement& s) { return RunLoadStatement(s, s.imageSize / 128, blocksSent_, observer_); }
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const auto& e : tester_->transcript())
            if (e.kind == sim::TranscriptEntry::Kind::Command) out.push_back(e.text);
        return out;
    }
    int CountCommands(const std::string& prefix) const {
        int n = 0;
        for (const auto& c : Commands()) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    VirtualClock clock_{0};
    TesterSeamsScope seams_;
    test::TempDir dir_;
    std::unique_ptr<sim::TesterSimulator> tester_;
    std::vector<std::uint8_t> image_;
    std::uint32_t blocksSent_ = 0;
    test::RecordingObserver observer_;
    MonitorContext context_;
};

TEST_F(SimulatorProtocolTest, IdentifiesTheTester) {
    Start();
    EXPECT_EQ(QueryHardwareId(context_), HardwareId::Ziz2);
    Start({"wrong-id"});
    EXPECT_EQ(QueryHardwareId(context_), HardwareId::Other);
    Start({"silent"});
    EXPECT_EQ(QueryHardwareId(context_), HardwareId::Silent);
}

TEST_F(SimulatorProtocolTest, FastLinkAndFiveUnansweredProbes) {
    Start();
    EXPECT_EQ(EstablishFastLink(context_), DownloadResult::Ok);
    EXPECT_EQ(tester_->baud(), 115200);
    Start({"silent"});
    const std::uint32_t start = clock_.TickCount();
    EXPECT_EQ(EstablishFastLink(context_), DownloadResult::NoAnswer);
    EXPECT_GE(clock_.TickCount() - start, 5000u);
    EXPECT_LE(clock_.TickCount() - start, 5600u);
    Start({"ignore-baud"});
    EXPECT_EQ(EstablishFastLink(context_), DownloadResult::SpeedFailed);
}

TEST_F(SimulatorProtocolTest, RamStatementLandsIntact) {
    Start();
    const LoadStatement s = Statement("ram.bin", 64 * 1024, kLoadRam, 0x20000, 1);
    EXPECT_EQ(Run(s), DownloadResult::Ok);
    EXPECT_EQ(tester_->memory().ReadRam(0x20000, 64 * 1024), image_);
    EXPECT_EQ(tester_->baud(), 9600);
}

TEST_F(SimulatorProtocolTest, FlashStatementsUploadTheMonitorOnce) {
    Start();
    const LoadStatement first = Statement("f1.bin", 16 * 1024, kLoadFlash, 0x100000, 2);
    const auto firstImage = image_;
    EXPECT_EQ(Run(first), DownloadResult::Ok);
    ASSERT_GE(tester_->transfers().size(), 2u);
    EXPECT_EQ(tester_->transfers()[0].accepted, 112u);
    const auto commands = Commands();
    const auto call = std::find(commands.begin(), commands.end(), "C 60000 NOT_USED");
    ASSERT_NE(call, commands.end());
    EXPECT_EQ(*(call - 1), "LB 60000 3800");
    EXPECT_EQ(tester_->memory().ReadFlash(0x100000, 16 * 1024), firstImage);

    const LoadStatement second = Statement("f2.bin", 8 * 1024, kLoadFlash, 0x140000, 3);
    const int uploadsBefore = CountCommands("LB");
    EXPECT_EQ(Run(second), DownloadResult::Ok);
    EXPECT_EQ(CountCommands("LB"), uploadsBefore);
    EXPECT_EQ(tester_->memory().ReadFlash(0x140000, 8 * 1024), image_);
    EXPECT_EQ(tester_->memory().ReadFlash(0x100000, 16 * 1024), firstImage);
}

TEST_F(SimulatorProtocolTest, ProgramCardPageCounts) {
    struct Row {
        std::uint32_t size;
        const char* erase;
        const char* load;
    };
    const Row rows[] = {{2097152, "MACFE 0 100", "MACFLB 0 100"}, {16384, "MACFE 0 8", "MACFLB 0 2"}};
    for (const auto& row : rows) {
        Start();
        LoadStatement s = Statement("card.bin", row.size, kLoadFlash, 0, 4);
        s.programCard = true;
        EXPECT_EQ(Run(s), DownloadResult::Ok) << row.size;
        EXPECT_EQ(CountCommands(row.erase), 1) << row.size;
        EXPECT_EQ(CountCommands(row.load), 1) << row.size;
        EXPECT_EQ(tester_->memory().ReadCard(0, row.size), image_) << row.size;
    }
}

TEST_F(SimulatorProtocolTest, FaultsGiveTheirResults) {
    struct Row {
        const char* fault;
        int loadType;
        DownloadResult expected;
    };
    const Row rows[] = {
        {"erase-error", kLoadFlash, DownloadResult::NoAnswer},
        {"refuse-block@3", kLoadRam, DownloadResult::BlockRefused},
        {"cable-pull@5", kLoadRam, DownloadResult::BlockRefused},
        {"refuse-monitor", kLoadFlash, DownloadResult::MonitorFailed},
        {"late-monitor=60000", kLoadFlash, DownloadResult::SpeedFailed},
        {"low-battery", kLoadFlash, DownloadResult::Ok},
    };
    for (const auto& row : rows) {
        Start({row.fault});
        blocksSent_ = 0;
        const LoadStatement s = Statement("x.bin", 4096, row.loadType, 0x100000, 5);
        EXPECT_EQ(Run(s), row.expected) << row.fault;
    }
}

TEST_F(SimulatorProtocolTest, CancelDuringTheEraseIsSeenAtTheFirstBlock) {
    Start();
    const LoadStatement s = Statement("c.bin", 64 * 1024, kLoadFlash, 0x100000, 6);
    // The click arrives while the erase runs; the flag stays set.
    observer_.onEvent = [this](const std::string& event) {
        if (event == std::string("status:") + kErasingStatus) observer_.cancel = true;
    };
    EXPECT_EQ(RunLoadStatement(s, 512, blocksSent_, observer_), DownloadResult::Aborted);
    EXPECT_EQ(CountCommands("FE"), 1);
    // The load command was still on the wire: the failure drops it.
    EXPECT_EQ(CountCommands("FLB"), 0);
    EXPECT_EQ(blocksSent_, 0u);
}

}  // namespace
}  // namespace zul

namespace zul {
namespace {

// The whole stack: OpenTesterLink over the serial library, whose port is the
// simulated tester, in virtual time.
TEST(SimulatedSerialStack, FlashStatementThroughTheSerialLibrary) {
    VirtualClock clock(0);
    sim::TesterSimulator tester;
    TesterSeams seams;
    seams.clock = &clock;
    seams.serialPortFactory = sim::SimulatedTesterPortFactory(tester, clock);
    TesterSeamsScope scope(seams);
    test::TempDir dir;
    const auto image = test::ImageBytes(32 * 1024, 11);
    test::WriteImage(dir / "f.bin", image);

    ASSERT_EQ(OpenTesterLink(1), LinkOpenResult::Ok);
    MonitorContext context;
    EXPECT_EQ(QueryHardwareId(context), HardwareId::Ziz2);
    LoadStatement s;
    s.loadType = kLoadFlash;
    s.loadAddress = 0x100000;
    s.imageSize = static_cast<std::uint32_t>(image.size());
    s.imagePath = dir / "f.bin";
    s.resetAfter = true;
    std::uint32_t blocksSent = 0;
    test::RecordingObserver observer;
    EXPECT_EQ(RunLoadStatement(s, 256, blocksSent, observer), DownloadResult::Ok);
    EXPECT_EQ(CloseTesterLink(), 0);
    EXPECT_EQ(tester.memory().ReadFlash(0x100000, 32 * 1024), image);
    EXPECT_EQ(blocksSent, 256u);
    EXPECT_EQ(tester.state(), sim::SimState::BootMonitor);  // reset after the statement
}

}  // namespace
}  // namespace zul
