#include "tester/monitor_protocol.h"

#include <gtest/gtest.h>

#include "host/message_pump.h"
#include "support/clock.h"
#include "tester/tester_seams.h"
#include "testlib/tester_result_printers.h"
#include "testlib/tester_fake_monitor.h"

namespace zul {
namespace {

// Counts how often the protocol pumps, and at which virtual times.
class CountingPump final : public MessagePump {
public:
    explicit CountingPump(VirtualClock& clock) : clock_(clock) {}
    bool HasPendingMessage() override { return false; }
    bool DispatchOne() override { return true; }
    bool Idle(long count) override {
        if (count == 0) times.push_back(clock_.TickCount());
        return false;
    }
    void PostQuit() override {}
    std::vector<std::uint32_t> times;

private:
    VirtualClock& clock_;
};

class MonitorProtocolTest : public ::testing::Test {
protected:
    MonitorProtocolTest() : pump_(clock_), seams_(Seams()) {
        auto link = std::make_unique<test::FakeMonitorLink>(clock_);
        fake_ = link.get();
        InstallTesterLink(std::move(link));
    }
    ~MonitorProtocolTest() override { InstallTesterLink(nullptr); }
    TesterSeams Seams() {
        TesterSeams seams;
        seams.clock = &clock_;
        seams.messagePump = &pump_;
        return seams;
    }
    std::uint32_t Elapsed(std::uint32_t since) { return clock_.TickCount() - since; }

    VirtualClock clock_{1000};
    CountingPump pump_;
    TesterSeamsScope seams_;
    test::FakeMonitorLink* fake_ = nullptr;
    MonitorContext context_;
};

TEST_F(MonitorProtocolTest, SendOnlyReturnsAtOnceWithEmptyReply) {
    context_.SetReply("old answer");
    fake_->Send("I\r\nZIZ2\r\n>");
    EXPECT_EQ(SendCommand(context_, "RS\r", kSendOnly), MonitorResult::Ok);
    EXPECT_EQ(context_.Reply(), "");
    EXPECT_EQ(clock_.TickCount(), 1000u);
    EXPECT_EQ(fake_->commands, std::vector<std::string>{"RS"});
}

TEST_F(MonitorProtocolTest, CaptureKeepsEchoTextAndPrompt) {
    EXPECT_EQ(SendCommand(context_, "I\r", kHardwareQuery), MonitorResult::Ok);
    EXPECT_EQ(context_.Reply(), "I\r\nZIZ2\r\n>");
}

struct WaitRow {
    const char* name;
    std::string answer;       // what the far end sends (nothing when empty)
    CommandWait wait;
    MonitorResult expected;
    std::uint32_t minMs, maxMs;  // virtual time the command took
};

TEST_F(MonitorProtocolTest, CallPatternsAndTheirResults) {
    const WaitRow rows[] = {
        {"prompt in time", "V\r\nX\r\n>", kPlainProbe, MonitorResult::Ok, 0, 100},
        {"no answer, plain probe", "", kPlainProbe, MonitorResult::NoAnswer, 1000, 1060},
        {"star ignored without error code", "V\r\n*E*\r\n>", kPlainProbe, MonitorResult::Ok, 0, 100},
        {"star with retry probe", "V\r\n*E*\r\n>", kRetryProbe, MonitorResult::ProbeRefused, 0, 100},
        {"final sync no answer", "", kFinalSyncProbe, MonitorResult::SyncFailed, 1000, 1060},
        {"final sync star", "V\r\n*E*\r\n>", kFinalSyncProbe, MonitorResult::SyncFailed, 0, 100},
        {"after transfer no answer", "", kProbeAfterTransfer, MonitorResult::NoPromptAfterTransfer, 1000, 1060},
        {"monitor probe star", "FV\r\n*E*\r\n>", kMonitorVersionProbe, MonitorResult::NoAnswer, 0, 100},
        {"battery star ignored", "BV\r\n*LOW*\r\n>", kBatteryTest, MonitorResult::Ok, 0, 100},
        {"erase star", "FE\r\n*E*\r\n>", kEraseWait, MonitorResult::EraseFailed, 0, 100},
        {"echo but no prompt", "V\r\n", kPlainProbe, MonitorResult::NoAnswer, 1000, 1060},
    };
    for (const auto& row : rows) {
        fake_->silent = true;
        fake_->PurgeReceive();
        const std::uint32_t start = clock_.TickCount();
        if (!row.answer.empty()) fake_->Send(row.answer, 5);
        EXPECT_EQ(SendCommand(context_, "X\r", row.wait), row.expected) << row.name;
        EXPECT_GE(Elapsed(start), row.minMs) << row.name;
        EXPECT_LE(Elapsed(start), row.maxMs) << row.name;
        clock_.Advance(2000);
    }
}

TEST_F(MonitorProtocolTest, WhatArrivedCountsBeforeTheTimeOutIsJudged) {
    struct Row {
        const char* name;
        std::uint32_t answerAtMs;  // when the answer is there
        std::uint32_t stallMs;     // how long the PC is not scheduled after sending
        MonitorResult expected;
        const char* reply;
    };
    const Row rows[] = {
        {"answer exactly at the time-out", 1000, 0, MonitorResult::Ok, "I\r\nZIZ2\r\n>"},
        {"reader asleep while the answer arrived", 5, 1500, MonitorResult::Ok, "I\r\nZIZ2\r\n>"},
        {"answer after the time-out", 1100, 0, MonitorResult::NoAnswer, ""},
    };
    for (const auto& row : rows) {
        fake_->silent = true;
        fake_->PurgeReceive();
        fake_->Send("I\r\nZIZ2\r\n>", row.answerAtMs);
        fake_->stallAfterWriteMs = row.stallMs;
        EXPECT_EQ(SendCommand(context_, "I\r", kHardwareQuery), row.expected) << row.name;
        EXPECT_EQ(context_.Reply(), row.reply) << row.name;
        clock_.Advance(2000);
    }
    // The same for a block request that waited in the buffer.
    fake_->PurgeReceive();
    fake_->Send("!", 5);
    fake_->stallAfterWriteMs = 0;
    clock_.Advance(4000);
    EXPECT_EQ(SendBlock(context_, BlockFrame{}), MonitorResult::Ok);
}

TEST_F(MonitorProtocolTest, StarWithCaptureStaysInReply) {
    fake_->silent = true;
    fake_->Send("I\r\n*ERR*\r\n>", 2);
    EXPECT_EQ(SendCommand(context_, "I\r", kHardwareQuery), MonitorResult::Ok);
    EXPECT_EQ(context_.Reply(), "I\r\n*ERR*\r\n>");
}

TEST_F(MonitorProtocolTest, LongAnswerIsCutAt255Characters) {
    fake_->silent = true;
    fake_->Send(std::string(400, 'x') + ">", 2);
    EXPECT_EQ(SendCommand(context_, "I\r", kHardwareQuery), MonitorResult::Ok);
    EXPECT_EQ(context_.Reply(), std::string(255, 'x'));
}

TEST_F(MonitorProtocolTest, AfterStarTheWaitGoesOnToThePromptPastTheTimeout) {
    fake_->silent = true;
    fake_->Send("V\r\n*", 2);
    fake_->Send("slow error text\r\n>", 5000);  // long after the 1 s time-out
    const std::uint32_t start = clock_.TickCount();
    EXPECT_EQ(SendCommand(context_, "V\r", kRetryProbe), MonitorResult::ProbeRefused);
    EXPECT_GE(Elapsed(start), 5000u);
}

TEST_F(MonitorProtocolTest, WaitsWithoutTimeoutEndWhenTheMonitorFallsSilent) {
    struct Row {
        const char* name;
        std::string answer;
        CommandWait wait;
        MonitorResult expected;
    };
    const Row rows[] = {
        {"after a star", "FE\r\n*ERASE", kEraseWait, MonitorResult::EraseFailed},
        {"end of transfer, nothing at all", "", kTransferEnd, MonitorResult::WentSilent},
        {"end of transfer, no prompt", "\r\n", kTransferEnd, MonitorResult::WentSilent},
    };
    for (const auto& row : rows) {
        fake_->silent = true;
        fake_->PurgeReceive();
        const std::uint32_t start = clock_.TickCount();
        if (!row.answer.empty()) fake_->Send(row.answer, 10);
        EXPECT_EQ(SendCommand(context_, "", row.wait), row.expected) << row.name;
        EXPECT_GE(Elapsed(start), kMonitorSilenceLimitMs) << row.name;
        EXPECT_LE(Elapsed(start), kMonitorSilenceLimitMs + 200) << row.name;
    }
}

TEST_F(MonitorProtocolTest, TransferEndWaitsForALatePromptWhileBytesKeepComing) {
    fake_->silent = true;
    for (int i = 1; i <= 5; ++i) fake_->Send(".", 9000u * static_cast<std::uint32_t>(i));
    fake_->Send(">", 50000);
    EXPECT_EQ(SendCommand(context_, "", kTransferEnd), MonitorResult::Ok);
}

TEST_F(MonitorProtocolTest, NoiseCannotHoldAWaitThatOnlyThePromptEnds) {
    struct Row {
        const char* name;
        std::string start;  // sent at once
        CommandWait wait;
        MonitorResult expected;
    };
    const Row rows[] = {
        {"end of transfer", "", kTransferEnd, MonitorResult::WentSilent},
        {"checked end of transfer", "", kCheckedTransferEnd, MonitorResult::WentSilent},
        {"after a star", "V\r\n*", kRetryProbe, MonitorResult::ProbeRefused},
        {"erase after a star", "FE 0\r\n*", kEraseWait, MonitorResult::EraseFailed},
    };
    for (const auto& row : rows) {
        fake_->silent = true;
        fake_->PurgeReceive();
        const std::uint32_t start = clock_.TickCount();
        if (!row.start.empty()) fake_->Send(row.start, 10);
        // One noise byte a second, for far longer than any bound.
        for (std::uint32_t s = 1; s <= 200; ++s) fake_->Send("~", s * 1000);
        EXPECT_EQ(SendCommand(context_, "", row.wait), row.expected) << row.name;
        EXPECT_GE(Elapsed(start), kMonitorAnswerLimitMs) << row.name;
        EXPECT_LE(Elapsed(start), kMonitorAnswerLimitMs + 1100) << row.name;
        clock_.Advance(300000);
    }
}

TEST_F(MonitorProtocolTest, CheckedTransferEndSeesARefusedLastBlock) {
    struct Row {
        const char* name;
        std::string answer;
        MonitorResult expected;
    };
    const Row rows[] = {
        {"prompt", "\r\n>", MonitorResult::Ok},
        {"last block refused", "*CHECK WORD ERROR*\r\n>", MonitorResult::BlockRefused},
        {"star, then silence", "*CHECK", MonitorResult::BlockRefused},
    };
    for (const auto& row : rows) {
        fake_->silent = true;
        fake_->PurgeReceive();
        fake_->Send(row.answer, 3);
        EXPECT_EQ(SendCommand(context_, "", kCheckedTransferEnd), row.expected) << row.name;
        // The unchecked wait of old takes the same answer for a success.
        fake_->PurgeReceive();
        fake_->Send(row.answer, 3);
        if (row.answer.back() == '>') {
            EXPECT_EQ(SendCommand(context_, "", kTransferEnd), MonitorResult::Ok) << row.name;
        }
        clock_.Advance(100000);
    }
}

TEST_F(MonitorProtocolTest, EchoIsComparedWithTheCommandSent) {
    struct Row {
        const char* name;
        std::string answer;  // "" for none
        MonitorResult expected;
        std::uint32_t maxMs;
    };
    const Row rows[] = {
        {"same", "FLB 20000 10000\r\n!", MonitorResult::Ok, 100},
        {"address garbled", "FLB 28000 10000\r\n!", MonitorResult::EchoWrong, 100},
        {"line end garbled", "FLB 20000 10000\n\r!", MonitorResult::EchoWrong, 100},
        {"cut short", "FLB 20000", MonitorResult::NoEcho, kMonitorEchoTimeoutMs + 60},
        {"nothing", "", MonitorResult::NoEcho, kMonitorEchoTimeoutMs + 60},
    };
    for (const auto& row : rows) {
        fake_->silent = true;
        fake_->PurgeReceive();
        if (!row.answer.empty()) fake_->Send(row.answer, 5);
        const std::uint32_t start = clock_.TickCount();
        EXPECT_EQ(SendCheckedCommand(context_, "FLB 20000 10000\r"), row.expected) << row.name;
        EXPECT_LE(Elapsed(start), row.maxMs) << row.name;
        clock_.Advance(2000);
    }
    EXPECT_TRUE(ReplyEchoes("FE 10\r\n>", "FE 10\r"));
    EXPECT_FALSE(ReplyEchoes("FE 18\r\n>", "FE 10\r"));
    EXPECT_FALSE(ReplyEchoes("FE 10\r", "FE 10\r"));
    EXPECT_FALSE(ReplyEchoes("", "FE 10\r"));
}

TEST_F(MonitorProtocolTest, SpeedChangeHeardAsAnotherRateFailsWithoutProbing) {
    fake_->hearsAs["BR 115200"] = "BR 11520";
    EXPECT_EQ(SetLinkSpeed(context_, "115200", false), LinkSpeedResult::Failed);
    EXPECT_EQ(fake_->Count("V"), 0);
    EXPECT_TRUE(fake_->pcSpeeds.empty());
}

TEST_F(MonitorProtocolTest, SilentEraseWaitPumpsMessages) {
    fake_->silent = true;
    fake_->Send("FE\r\n", 1);
    fake_->Send("DONE\r\n>", 3000);
    pump_.times.clear();
    const std::uint32_t start = clock_.TickCount();
    EXPECT_EQ(SendCommand(context_, "FE 0\r", kEraseWait), MonitorResult::Ok);
    ASSERT_FALSE(pump_.times.empty());
    std::uint32_t previous = start;
    for (std::uint32_t t : pump_.times) {
        EXPECT_LE(t - previous, 60u);
        previous = t;
    }
}

TEST_F(MonitorProtocolTest, SendBlockWaitsForRequestSkippingOtherBytes) {
    fake_->silent = true;
    const BlockFrame frame{};
    fake_->Send("xyz\r\n!", 100);
    EXPECT_EQ(SendBlock(context_, frame), MonitorResult::Ok);

    fake_->Send("abc", 10);
    fake_->Send("def", 2000);
    const std::uint32_t start = clock_.TickCount();
    EXPECT_EQ(SendBlock(context_, frame), MonitorResult::NoBlockRequest);
    EXPECT_GE(Elapsed(start), 3000u);
    EXPECT_LE(Elapsed(start), 3060u);

    fake_->PurgeReceive();
    fake_->Send("ab*!", 10);
    EXPECT_EQ(SendBlock(context_, frame), MonitorResult::BlockRefused);
}

class ShortWriteLink final : public TesterLink {
public:
    explicit ShortWriteLink(VirtualClock& clock) : clock_(clock) {}
    int ReadByte(int) override { return '!'; }
    int WriteText(std::string_view text) override { return static_cast<int>(text.size()); }
    int WriteBlock(const std::uint8_t*, std::size_t count) override { return static_cast<int>(count) - 1; }
    int PendingOutput() override { return 0; }
    void PurgeReceive() override {}
    void PurgeTransmit() override {}
    int SetLineSpeed(long) override { return 0; }
    long LineSpeed() const override { return 9600; }
    VirtualClock& clock_;
};

TEST_F(MonitorProtocolTest, SendBlockShortWriteIsRefusal) {
    InstallTesterLink(std::make_unique<ShortWriteLink>(clock_));
    const BlockFrame frame{};
    EXPECT_EQ(SendBlock(context_, frame), MonitorResult::BlockRefused);
}

TEST_F(MonitorProtocolTest, BlockTransferSendsWholeBlocksOnly) {
    std::vector<std::uint8_t> data(300);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    SendCommand(context_, LoadDataCommand(0x1000, 300), kSendOnly);
    int blocks = 0;
    EXPECT_EQ(SendBlocks(context_, data, [&](std::size_t) { ++blocks; }), MonitorResult::Ok);
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(fake_->blocksAccepted, 2);
    const auto& ram = fake_->Memory("RAM");
    ASSERT_GE(ram.size(), 0x1000u + 256);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 256, ram.begin() + 0x1000));
}

TEST_F(MonitorProtocolTest, SetLinkSpeedChangesBothEnds) {
    EXPECT_EQ(SetLinkSpeed(context_, "115200", false), LinkSpeedResult::Ok);
    EXPECT_EQ(fake_->testerSpeed, 115200);
    EXPECT_EQ(fake_->LineSpeed(), 115200);
    EXPECT_EQ(fake_->commands.front(), "BR 115200");
    EXPECT_EQ(fake_->Count("V"), 1);
}

TEST_F(MonitorProtocolTest, SetLinkSpeedPcOnlySendsNothingBeforeSwitching) {
    fake_->testerSpeed = 115200;
    EXPECT_EQ(SetLinkSpeed(context_, "115200", true), LinkSpeedResult::Ok);
    EXPECT_EQ(fake_->commands, std::vector<std::string>{"V"});
    EXPECT_EQ(fake_->pcSpeeds, std::vector<long>{115200});
}

struct SpeedFailureRow {
    const char* name;
    std::vector<int> pending;
    int refuse;
    bool ignoreBaud;
    LinkSpeedResult expected;
    int probes;
};

TEST_F(MonitorProtocolTest, SetLinkSpeedFailures) {
    const SpeedFailureRow rows[] = {
        {"drains after three waits", {5, 5, 5}, 0, false, LinkSpeedResult::Ok, 1},
        {"output never drains", {5, 5, 5, 5, 5}, 0, false, LinkSpeedResult::Failed, 0},
        {"port refuses rate", {}, -801, false, LinkSpeedResult::Failed, 0},
        {"tester ignores baud command", {}, 0, true, LinkSpeedResult::Failed, 4},
    };
    for (const auto& row : rows) {
        auto link = std::make_unique<test::FakeMonitorLink>(clock_);
        fake_ = link.get();
        InstallTesterLink(std::move(link));
        fake_->pendingOutputs = row.pending;
        fake_->refuseSpeed = row.refuse;
        fake_->ignoreBaudCommand = row.ignoreBaud;
        EXPECT_EQ(SetLinkSpeed(context_, "115200", false), row.expected) << row.name;
        EXPECT_EQ(fake_->Count("V"), row.probes) << row.name;
    }
}

}  // namespace
}  // namespace zul
