#include "tester/link_setup.h"

#include <gtest/gtest.h>

#include "support/clock.h"
#include "testlib/tester_result_printers.h"
#include "testlib/tester_fake_monitor.h"

namespace zul {
namespace {

class LinkSetupTest : public ::testing::Test {
protected:
    LinkSetupTest() : scoped_(clock_) { Reset(); }
    ~LinkSetupTest() override { InstallTesterLink(nullptr); }
    void Reset() {
        auto link = std::make_unique<test::FakeMonitorLink>(clock_);
        fake_ = link.get();
        InstallTesterLink(std::move(link));
    }

    VirtualClock clock_{5000};
    ScopedClock scoped_;
    test::FakeMonitorLink* fake_ = nullptr;
    MonitorContext context_;
};

TEST_F(LinkSetupTest, HardwareIdentifierAnswers) {
    struct Row {
        const char* name;
        std::string answer;  // sent in reply to "I\r"; "-" for silence
        HardwareId expected;
    };
    const Row rows[] = {
        {"ZIZ2", "I\r\nZIZ2\r\n>", HardwareId::Ziz2},
        {"ZIZ2 with more after it", "I\r\nZIZ2-REV B 1998\r\n>", HardwareId::Ziz2},
        {"another tester", "I\r\nZIZ1\r\n>", HardwareId::Other},
        {"shorter than seven characters", "I\r\nZI>", HardwareId::Other},
        {"lower case", "I\r\nziz2\r\n>", HardwareId::Other},
        {"error answer", "I\r\n*ZIZ2*\r\n>", HardwareId::Other},
        {"no answer", "-", HardwareId::Silent},
        {"no prompt", "I\r\nZIZ2\r\n", HardwareId::Silent},
    };
    for (const auto& row : rows) {
        Reset();
        fake_->silent = true;
        if (row.answer != "-") fake_->Send(row.answer, 3);
        EXPECT_EQ(QueryHardwareId(context_), row.expected) << row.name;
    }
}

TEST_F(LinkSetupTest, CloseTwiceIsHarmless) {
    EXPECT_EQ(CloseTesterLink(), 0);
    EXPECT_EQ(ActiveTesterLink(), nullptr);
    EXPECT_EQ(CloseTesterLink(), 0);
}

TEST_F(LinkSetupTest, FastLinkOnAnsweringTester) {
    EXPECT_EQ(EstablishFastLink(context_), DownloadResult::Ok);
    EXPECT_EQ(fake_->testerSpeed, 115200);
    EXPECT_EQ(fake_->LineSpeed(), 115200);
    EXPECT_EQ(fake_->commands, (std::vector<std::string>{"V", "V", "BR 115200", "V"}));
}

TEST_F(LinkSetupTest, FastLinkProbing) {
    struct Row {
        const char* name;
        int ignoreProbes;
        int starProbe;
        DownloadResult expected;
        int probesBeforeBaud;  // "V" sent before "BR" (or in all when no BR)
        std::uint32_t minMs, maxMs;
    };
    const Row rows[] = {
        {"answers only the third probe", 2, -1, DownloadResult::Ok, 4, 2000, 3000},
        {"answers none of five", 100, -1, DownloadResult::NoAnswer, 5, 5000, 5400},
        {"star on the final synchronisation", 0, 1, DownloadResult::NoAnswer, 2, 0, 200},
        {"star on a retry probe, then fine", 1, 1, DownloadResult::Ok, 4, 1000, 2000},
    };
    for (const auto& row : rows) {
        Reset();
        fake_->ignoreProbes = row.ignoreProbes;
        fake_->starFinalProbe = row.starProbe;
        const std::uint32_t start = clock_.TickCount();
        EXPECT_EQ(EstablishFastLink(context_), row.expected) << row.name;
        int probes = 0;
        for (const auto& c : fake_->commands) {
            if (c.rfind("BR", 0) == 0) break;
            if (c == "V") ++probes;
        }
        EXPECT_EQ(probes, row.probesBeforeBaud) << row.name;
        if (row.expected != DownloadResult::Ok) {
            EXPECT_EQ(fake_->Count("BR"), 0) << row.name;
            EXPECT_GE(clock_.TickCount() - start, row.minMs) << row.name;
            EXPECT_LE(clock_.TickCount() - start, row.maxMs) << row.name;
        }
    }
}

TEST_F(LinkSetupTest, FastLinkSpeedFailureFallsBackTo9600) {
    fake_->ignoreBaudCommand = true;
    EXPECT_EQ(EstablishFastLink(context_), DownloadResult::SpeedFailed);
    EXPECT_EQ(fake_->LineSpeed(), 9600);
    EXPECT_EQ(fake_->pcSpeeds, (std::vector<long>{115200, 9600}));
    // The fall-back is PC side only: one baud command in all.
    EXPECT_EQ(fake_->Count("BR"), 1);
}

}  // namespace
}  // namespace zul
