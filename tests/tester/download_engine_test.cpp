#include "tester/download_engine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "host/message_pump.h"
#include "support/clock.h"
#include "tester/link_setup.h"
#include "tester/monitor_bootstrap.h"
#include "tester/tester_seams.h"
#include "testlib/image_fixtures.h"
#include "testlib/tester_result_printers.h"
#include "testlib/temp_dir.h"
#include "testlib/tester_fake_monitor.h"
#include "testlib/tester_recorders.h"

namespace zul {
namespace {

// Runs an action at a chosen virtual time, from inside the engine's pumping,
// the way a click on Cancel arrives.
class TimedPump final : public MessagePump {
public:
    explicit TimedPump(VirtualClock& clock) : clock_(clock) {}
    bool HasPendingMessage() override { return false; }
    bool DispatchOne() override { return true; }
    bool Idle(long) override {
        if (action_ && clock_.TickCount() >= at_) {
            auto action = std::move(action_);
            action_ = nullptr;
            action();
        }
        return false;
    }
    void PostQuit() override {}
    void At(std::uint32_t at, std::function<void()> action) {
        at_ = at;
        action_ = std::move(action);
    }

private:
    VirtualClock& clock_;
    std::uint32_t at_ = 0;
    std::function<void()> action_;
};

class DownloadEngineTest : public ::testing::Test {
protected:
    DownloadEngineTest() : pump_(clock_), monitor_(14336, 0x42), seams_(Seams()) { NewTester(); }
    ~DownloadEngineTest() override { InstallTesterLink(nullptr); }
    TesterSeams Seams() {
        TesterSeams seams;
        seams.clock = &clock_;
        seams.messagePump = &pump_;
        seams.monitorImageOverride = MonitorImageRef{0x60000, monitor_};
        return seams;
    }
    void NewTester() {
        auto link = std::make_unique<test::FakeMonitorLink>(clock_);
        fake_ = link.get();
        InstallTesterLink(std::move(link));
    }
    LoadStatement Image(const std::string& name, const std::vector<std::uint8_t>& bytes, int loadType,
                        std::uint32_t address) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        LoadStatement s;
        s.loadType = loadType;
        s.loadAddress = address;
        s.imageSize = static_cast<std::uint32_t>(bytes.size());
        s.imagePath = dir_ / name;
        return s;
    }
    DownloadResult Run(const LoadStatement& s) {
        std::uint32_t total = s.imageSize / 128;
        return RunLoadStatement(s, total, blocksSent_, observer_);
    }
    bool Holds(const std::string& kind, std::uint32_t at, const std::vector<std::uint8_t>& bytes) {
        const auto& mem = fake_->Memory(kind);
        return mem.size() >= at + bytes.size() &&
               std::equal(bytes.begin(), bytes.end(), mem.begin() + static_cast<std::ptrdiff_t>(at));
    }

    VirtualClock clock_{100};
    TimedPump pump_;
    std::vector<std::uint8_t> monitor_;
    TesterSeamsScope seams_;
    test::TempDir dir_;
    test::FakeMonitorLink* fake_ = nullptr;
    test::RecordingObserver observer_;
    std::uint32_t blocksSent_ = 0;
};

TEST_F(DownloadEngineTest, MissingImageTouchesNothing) {
    LoadStatement s;
    s.loadType = kLoadRam;
    s.imageSize = 256;
    s.imagePath = dir_ / "absent.bin";
    EXPECT_EQ(Run(s), DownloadResult::ImageUnreadable);
    EXPECT_TRUE(fake_->commands.empty());
    EXPECT_TRUE(observer_.events.empty());
}

TEST_F(DownloadEngineTest, ShortImageIsRefusedBeforeAnythingIsSent) {
    LoadStatement s = Image("short.bin", test::ImageBytes(1000, 1), kLoadFlash, 0x100000);
    s.imageSize = 4096;
    EXPECT_EQ(Run(s), DownloadResult::ImageUnreadable);
    EXPECT_TRUE(fake_->commands.empty());
    // A tail shorter than a block is never sent, so it need not be there.
    LoadStatement tail = Image("tail.bin", test::ImageBytes(256, 2), kLoadRam, 0x2000);
    tail.imageSize = 300;
    EXPECT_EQ(Run(tail), DownloadResult::Ok);
    EXPECT_EQ(fake_->blocksAccepted, 2);
}

TEST_F(DownloadEngineTest, RamStatementSkipsMonitorBatteryAndErase) {
    const auto bytes = test::ImageBytes(4096, 3);
    const LoadStatement s = Image("ram.bin", bytes, kLoadRam, 0x20000);
    EXPECT_EQ(Run(s), DownloadResult::Ok);
    EXPECT_EQ(fake_->commands,
              (std::vector<std::string>{"V", "V", "BR 115200", "V", "LB 20000 1000", "V", "BR 9600", "V"}));
    EXPECT_TRUE(Holds("RAM", 0x20000, bytes));
    EXPECT_EQ(fake_->testerSpeed, 9600);
    EXPECT_EQ(fake_->LineSpeed(), 9600);
    EXPECT_EQ(observer_.Statuses(),
              (std::vector<std::string>{kErasingStatus, DownloadingStatusText(s.imagePath)}));
    EXPECT_EQ(observer_.history.front(), kErasingTitle);
    EXPECT_EQ(observer_.current.back(), 100);
    EXPECT_EQ(blocksSent_, 32u);
}

TEST_F(DownloadEngineTest, RunStatementCallsTheLoadedCode) {
    const LoadStatement s = Image("run.bin", test::ImageBytes(512, 4), kLoadRamRun, 0x400000);
    EXPECT_EQ(Run(s), DownloadResult::Ok);
    auto load = std::find(fake_->commands.begin(), fake_->commands.end(), "LB 400000 200");
    ASSERT_LE(load + 4, fake_->commands.end());
    EXPECT_EQ(std::vector<std::string>(load, load + 4), (std::vector<std::string>{"LB 400000 200", "V", "C 400000 NOT_USED", "BR 9600"}));
}

TEST_F(DownloadEngineTest, FlashStatementUploadsMonitorTestsBatteryErasesAndLoads) {
    const auto bytes = test::ImageBytes(8192, 5);
    const LoadStatement s = Image("flash.bin", bytes, kLoadFlash, 0x100000);
    EXPECT_EQ(Run(s), DownloadResult::Ok);
    EXPECT_EQ(fake_->Count("LB"), 1);
    EXPECT_TRUE(Holds("RAM", 0x60000, monitor_));
    EXPECT_TRUE(Holds("FLASH", 0x100000, bytes));
    const std::vector<std::string> expected = {"BV a1", "BV a7", "BV ad", "BV b4", "V", "FE 100000", "FLB 100000 2000"};
    auto at = std::find(fake_->commands.begin(), fake_->commands.end(), "BV a1");
    ASSERT_NE(at, fake_->commands.end());
    EXPECT_EQ(std::vector<std::string>(at, at + 7), expected);

    // The next flash statement finds the monitor running.
    const auto more = test::ImageBytes(1024, 6);
    const LoadStatement second = Image("flash2.bin", more, kLoadFlash, 0x180000);
    fake_->commands.clear();
    EXPECT_EQ(Run(second), DownloadResult::Ok);
    EXPECT_EQ(fake_->Count("LB"), 0);
    EXPECT_EQ(fake_->Count("FV"), 1);
    EXPECT_TRUE(Holds("FLASH", 0x180000, more));
}

TEST_F(DownloadEngineTest, EraseAndLoadCommandVariants) {
    struct Row {
        const char* name;
        std::uint32_t size;
        bool programCard, bankErase, noErase, batterySkip;
        std::string erase;  // "" when none
        std::string load;
    };
    const Row rows[] = {
        {"plain flash", 1024, false, false, false, false, "FE 10", "FLB 10 400"},
        {"bank erase", 1024, false, true, false, false, "FE 10 400", "FLB 10 400"},
        {"no erase", 1024, false, false, true, false, "", "FLB 10 400"},
        {"card 2 MB", 2097152, true, false, false, true, "MACFE 10 100", "MACFLB 10 100"},
        {"card 9000 bytes", 9000, true, false, false, true, "MACFE 10 8", "MACFLB 10 1"},
        {"card wins over bank", 8192, true, true, false, true, "MACFE 10 8", "MACFLB 10 1"},
    };
    for (const auto& row : rows) {
        NewTester();
        fake_->uploadedMonitor = true;
        LoadStatement s = Image("v.bin", test::ImageBytes(row.size, 7), kLoadFlash, 0x10);
        s.programCard = row.programCard;
        s.bankErase = row.bankErase;
        s.noErase = row.noErase;
        s.batterySkip = row.batterySkip;
        Run(s);
        const auto& c = fake_->commands;
        const bool erased = std::find(c.begin(), c.end(), row.erase) != c.end();
        EXPECT_EQ(erased, !row.erase.empty()) << row.name;
        EXPECT_EQ(fake_->Count("FE") + fake_->Count("MACFE"), row.erase.empty() ? 0 : 1) << row.name;
        EXPECT_NE(std::find(c.begin(), c.end(), row.load), c.end()) << row.name;
        EXPECT_EQ(fake_->Count("BV"), row.batterySkip ? 0 : 4) << row.name;
    }
}

TEST_F(DownloadEngineTest, EraseOnlySendsNoDataButFinishesAndResets) {
    fake_->uploadedMonitor = true;
    LoadStatement s = Image("erase.bin", test::ImageBytes(10, 8), kLoadFlash, 0);
    s.eraseOnly = true;
    s.programCard = true;
    s.imageSize = 0x200000;  // larger than the file: nothing is read
    s.resetAfter = true;
    const std::uint32_t start = clock_.TickCount();
    EXPECT_EQ(Run(s), DownloadResult::Ok);
    EXPECT_EQ(fake_->Count("MACFE"), 1);
    EXPECT_EQ(fake_->Count("MACFLB"), 0);
    EXPECT_EQ(fake_->blocksAccepted, 0);
    EXPECT_EQ(fake_->commands.back(), "RS");
    EXPECT_EQ(fake_->Count("BR"), 2);  // up and back down
    EXPECT_GE(clock_.TickCount() - start, 10000u);
    EXPECT_EQ(observer_.Statuses().back(), DownloadingStatusText(s.imagePath));
    EXPECT_TRUE(observer_.current.empty());
}

TEST_F(DownloadEngineTest, TinyImageSendsNoBlockButAwaitsThePrompt) {
    const LoadStatement s = Image("tiny.bin", test::ImageBytes(127, 9), kLoadRam, 0x3000);
    EXPECT_EQ(Run(s), DownloadResult::Ok);
    EXPECT_EQ(fake_->blocksAccepted, 0);
    EXPECT_TRUE(observer_.current.empty());
    EXPECT_NE(std::find(fake_->commands.begin(), fake_->commands.end(), "LB 3000 7f"), fake_->commands.end());
}

TEST_F(DownloadEngineTest, PercentagesAndTitleAcrossStatements) {
    const LoadStatement a = Image("a.bin", test::ImageBytes(128 * 10, 10), kLoadRam, 0x1000);
    const LoadStatement b = Image("b.bin", test::ImageBytes(128 * 30, 11), kLoadRam, 0x9000);
    const std::uint32_t total = 40;
    EXPECT_EQ(RunLoadStatement(a, total, blocksSent_, observer_), DownloadResult::Ok);
    EXPECT_EQ(observer_.current, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(observer_.total, (std::vector<int>{0, 2, 5, 7, 10, 12, 15, 17, 20, 22}));
    EXPECT_EQ(RunLoadStatement(b, total, blocksSent_, observer_), DownloadResult::Ok);
    EXPECT_EQ(observer_.total.back(), 97);
    EXPECT_EQ(blocksSent_, 40u);
    // The title changes only when the total percentage does.
    std::vector<std::string> downloading;
    for (const auto& t : observer_.history)
        if (t != kErasingTitle) downloading.push_back(t);
    for (std::size_t i = 1; i < downloading.size(); ++i) EXPECT_NE(downloading[i], downloading[i - 1]);
    EXPECT_EQ(observer_.history.back(), "ZUL - Downloading (97%)");
}

TEST_F(DownloadEngineTest, CancelDuringEraseIsSeenAtTheFirstBlock) {
    fake_->uploadedMonitor = true;
    fake_->eraseMs = 5000;
    const LoadStatement s = Image("c.bin", test::ImageBytes(4096, 12), kLoadFlash, 0x10000);
    pump_.At(clock_.TickCount() + 3000, [this] { observer_.cancel = true; });
    EXPECT_EQ(Run(s), DownloadResult::Aborted);
    EXPECT_EQ(fake_->Count("FE"), 1);
    EXPECT_EQ(fake_->blocksAccepted, 0);
    EXPECT_EQ(fake_->Count("BR"), 1);  // not switched back
    EXPECT_EQ(fake_->purgeTransmits, 1);
}

TEST_F(DownloadEngineTest, CancelDuringTransferStopsAtTheNextBlock) {
    const LoadStatement s = Image("c.bin", test::ImageBytes(128 * 50, 13), kLoadRam, 0x10000);
    int calls = 0;
    observer_.onEvent = [&](const std::string& event) {
        if (event.rfind("current:", 0) == 0 && ++calls == 20) observer_.cancel = true;
    };
    EXPECT_EQ(RunLoadStatement(s, 50, blocksSent_, observer_), DownloadResult::Aborted);
    EXPECT_EQ(fake_->blocksAccepted, 19);
}

TEST_F(DownloadEngineTest, FailuresEndTheStatementWithoutSwitchingBack) {
    struct Row {
        const char* name;
        std::function<void(test::FakeMonitorLink&)> fault;
        int loadType;
        DownloadResult expected;
    };
    const Row rows[] = {
        {"tester silent", [](auto& f) { f.silent = true; }, kLoadRam, DownloadResult::NoAnswer},
        {"baud ignored", [](auto& f) { f.ignoreBaudCommand = true; }, kLoadRam, DownloadResult::SpeedFailed},
        {"monitor upload refused", [](auto& f) { f.starAtBlock = 3; }, kLoadFlash, DownloadResult::MonitorFailed},
        {"erase fails", [](auto& f) { f.uploadedMonitor = true; f.starCommands = {"FE"}; }, kLoadFlash,
         DownloadResult::NoAnswer},
        // Probes 0 to 2 bring the link up; the 4th closes the battery chain.
        {"probe after the battery tests refused", [](auto& f) { f.uploadedMonitor = true; f.starFinalProbe = 3; },
         kLoadFlash, DownloadResult::NoAnswer},
        {"battery answers nothing", [](auto& f) { f.uploadedMonitor = true; f.silentCommands = {"BV"}; }, kLoadFlash,
         DownloadResult::Ok},
        {"block refused", [](auto& f) { f.starAtBlock = 4; }, kLoadRam, DownloadResult::BlockRefused},
        {"cable pulled", [](auto& f) { f.silentFromBlock = 4; }, kLoadRam, DownloadResult::BlockRefused},
        {"no prompt after the transfer", [](auto& f) { f.endTransferWithPrompt = false; }, kLoadRam,
         DownloadResult::NoAnswer},
    };
    for (const auto& row : rows) {
        NewTester();
        row.fault(*fake_);
        const LoadStatement s = Image("f.bin", test::ImageBytes(1024, 14), row.loadType, 0x10000);
        const std::uint32_t start = clock_.TickCount();
        EXPECT_EQ(Run(s), row.expected) << row.name;
        if (row.expected == DownloadResult::Ok) {
            // A battery test that gets no prompt ends the chain; the probe decides.
            EXPECT_EQ(fake_->Count("BV"), 1) << row.name;
            continue;
        }
        EXPECT_EQ(fake_->purgeTransmits, 1) << row.name;
        EXPECT_EQ(fake_->Count("RS"), 0) << row.name;
        EXPECT_LE(fake_->Count("BR"), 1) << row.name;
        EXPECT_LT(clock_.TickCount() - start, 60000u) << row.name;
    }
}

TEST_F(DownloadEngineTest, MonitorSilentAfterTheTransferEndsWith2007) {
    fake_->silentAfterTransfer = true;
    const LoadStatement s = Image("p.bin", test::ImageBytes(256, 15), kLoadRam, 0x10000);
    EXPECT_EQ(Run(s), DownloadResult::NoAnswer);
    EXPECT_EQ(fake_->blocksAccepted, 2);
    EXPECT_EQ(fake_->commands.back(), "V");
    EXPECT_EQ(fake_->Count("BR"), 1);
}

TEST_F(DownloadEngineTest, StatementStartedAfterACancelTouchesNothing) {
    for (int loadType : {kLoadRam, kLoadFlash}) {
        NewTester();
        LoadStatement s = Image("c.bin", test::ImageBytes(1024, 17), loadType, 0x10000);
        s.eraseOnly = loadType == kLoadFlash;
        observer_.cancel = true;
        EXPECT_EQ(Run(s), DownloadResult::Aborted) << loadType;
        EXPECT_TRUE(fake_->commands.empty()) << loadType;
        EXPECT_TRUE(observer_.events.empty()) << loadType;
    }
}

TEST_F(DownloadEngineTest, RefusedLastBlockIsNoSuccess) {
    struct Row {
        const char* name;
        int loadType;
        bool monitorRuns;
        int refuseBlock;  // 0-based, counted from the first transfer of the statement
        DownloadResult expected;
        bool called;  // the monitor was started with "C"
    };
    const Row rows[] = {
        {"RAM, last block", kLoadRam, false, 7, DownloadResult::BlockRefused, false},
        {"flash, last block", kLoadFlash, true, 7, DownloadResult::BlockRefused, false},
        {"monitor upload, last block", kLoadFlash, false, 111, DownloadResult::MonitorFailed, false},
        {"RAM, all accepted", kLoadRam, false, -1, DownloadResult::Ok, false},
    };
    for (const auto& row : rows) {
        NewTester();
        fake_->uploadedMonitor = row.monitorRuns;
        fake_->refuseBlockData = row.refuseBlock;
        const LoadStatement s = Image("l.bin", test::ImageBytes(1024, 18), row.loadType, 0x100000);
        EXPECT_EQ(Run(s), row.expected) << row.name;
        EXPECT_EQ(fake_->Count("C"), row.called ? 1 : 0) << row.name;
        if (row.expected != DownloadResult::Ok) {
            EXPECT_EQ(fake_->Count("BR"), 1) << row.name;  // not switched back
        }
    }
}

TEST_F(DownloadEngineTest, CommandHeardDifferentlyFailsBeforeAnyData) {
    struct Row {
        const char* name;
        std::string sent, heard;
        int loadType;
        bool monitorRuns;
        DownloadResult expected;
        int blocksAccepted;  // monitor blocks included
    };
    const Row rows[] = {
        {"flash load address", "FLB 20000 400", "FLB 28000 400", kLoadFlash, true, DownloadResult::NoAnswer, 0},
        {"flash erase address", "FE 20000", "FE 28000", kLoadFlash, true, DownloadResult::NoAnswer, 0},
        {"RAM load address", "LB 410000 400", "LB 40000 400", kLoadRam, false, DownloadResult::NoAnswer, 0},
        {"call address", "C 410000 NOT_USED", "C 40000 NOT_USED", kLoadRamRun, false, DownloadResult::NoAnswer, 8},
        {"speed change", "BR 115200", "BR 11520", kLoadRam, false, DownloadResult::SpeedFailed, 0},
        {"monitor load", "LB 60000 3800", "LB 68000 3800", kLoadFlash, false, DownloadResult::MonitorFailed, 0},
        {"monitor call", "C 60000 NOT_USED", "C 68000 NOT_USED", kLoadFlash, false, DownloadResult::MonitorFailed, 112},
    };
    for (const auto& row : rows) {
        NewTester();
        fake_->uploadedMonitor = row.monitorRuns;
        fake_->hearsAs[row.sent] = row.heard;
        const std::uint32_t address = row.loadType == kLoadFlash ? 0x20000 : 0x410000;
        const LoadStatement s = Image("g.bin", test::ImageBytes(1024, 19), row.loadType, address);
        EXPECT_EQ(Run(s), row.expected) << row.name;
        EXPECT_EQ(fake_->blocksAccepted, row.blocksAccepted) << row.name;
        EXPECT_EQ(fake_->purgeTransmits, 1) << row.name;
    }
}

TEST_F(DownloadEngineTest, PlaceholderMonitorGoesOnlyToASimulatedTester) {
    SetMonitorImageOverride(MonitorImageRef{0x60000, monitor_, true});
    const LoadStatement flash = Image("p.bin", test::ImageBytes(1024, 20), kLoadFlash, 0x20000);
    EXPECT_EQ(Run(flash), DownloadResult::MonitorFailed);
    EXPECT_TRUE(fake_->commands.empty());
    EXPECT_EQ(LastMonitorImageProblem(), MonitorImageProblem::kPlaceholderForRealTester);
    // RAM work needs no monitor.
    EXPECT_EQ(Run(Image("r.bin", test::ImageBytes(256, 21), kLoadRam, 0x20000)), DownloadResult::Ok);

    // A tester that says it is simulated may have it.
    NewTester();
    fake_->hardwareId = "ZIZ2 KVR 7700 PowerPC (simulated)";
    MonitorContext query;
    EXPECT_EQ(QueryHardwareId(query), HardwareId::Ziz2);
    EXPECT_TRUE(TesterIsSimulated());
    EXPECT_EQ(Run(flash), DownloadResult::Ok);
    EXPECT_TRUE(Holds("RAM", 0x60000, monitor_));

    // And so may the simulator in this process; a real tester again may not.
    NewTester();
    EXPECT_EQ(QueryHardwareId(query), HardwareId::Ziz2);
    EXPECT_FALSE(TesterIsSimulated());
    {
        TesterSeams simulating = InstalledTesterSeams();
        simulating.inProcessSimulator = true;
        TesterSeamsScope scope(simulating);
        EXPECT_EQ(Run(flash), DownloadResult::Ok);
    }
    NewTester();
    EXPECT_EQ(Run(flash), DownloadResult::MonitorFailed);
    EXPECT_TRUE(fake_->commands.empty());
}

TEST_F(DownloadEngineTest, UnknownLoadTypeStopsAtTheLoadCommand) {
    const LoadStatement s = Image("u.bin", test::ImageBytes(256, 16), kLoadNone, 0x10000);
    EXPECT_EQ(Run(s), DownloadResult::BadDeviceType);
    EXPECT_EQ(fake_->purgeTransmits, 0);
    EXPECT_EQ(fake_->Count("BR"), 1);
    EXPECT_EQ(fake_->Count("LB") + fake_->Count("FLB"), 0);
    EXPECT_EQ(observer_.Statuses().back(), DownloadingStatusText(s.imagePath));
}

TEST(DisplayName, ShortensOnlyFullPaths) {
    struct Row {
        const char* path;
        const char* shown;
    };
    const Row rows[] = {
        {"C:\\apps\\kvr\\images\\main.bin", "C:\\...\\main.bin"},
        {"C:\\main.bin", "C:\\...\\main.bin"},
        {"C:main.bin", "C:main.bin"},
        {"\\apps\\main.bin", "\\apps\\main.bin"},
        {"/home/tech/images/main.bin", "/home/tech/images/main.bin"},
        {"D:\\images\\noext", "D:\\...\\noext"},
        {"D:\\images\\.bin", "D:\\images\\.bin"},
        {"D:/images/a.b.c", "D:\\...\\a.b.c"},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(ShortDisplayName(row.path), row.shown) << row.path;
    EXPECT_EQ(DownloadingStatusText("C:\\x\\y.bin"), "Downloading: C:\\...\\y.bin");
    EXPECT_EQ(DownloadingTitle(42), "ZUL - Downloading (42%)");
}

}  // namespace
}  // namespace zul
