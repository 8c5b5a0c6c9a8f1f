#include "sim/tester_simulator.h"

#include <gtest/gtest.h>

#include "sim_bench.h"
#include "testlib/image_fixtures.h"
#include "tester/monitor_image.h"

namespace zul::sim {
namespace test {

bool StartUploadedMonitor(SimBench& bench) {
    const MonitorImage& image = MonitorPowerPcImage();
    bench.sim.Receive("LB 60000 3800\r", bench.now, bench.pcBaud);
    const std::string out = bench.SendBlocks(image.bytes, image.blockCount());
    if (out.find('*') != std::string::npos) return false;
    bench.Talk("C 60000 NOT_USED\r", 30);
    bench.pcBaud = 9600;
    bench.Wait(bench.sim.options().timing.monitorStartMs + 10);
    return bench.sim.state() == SimState::UploadedMonitor;
}

}  // namespace test

namespace {

using test::SimBench;
constexpr SimNanos kMs = kNanosPerMs;

TEST(UploadedMonitor, SitsWhereZulLoadsItsMonitor) {
    EXPECT_EQ(kUploadedMonitorAddress, kMonitorLoadAddress);
}

TEST(BlockCheckWord, MakesTheSixtyFiveWordsSumToZero) {
    struct Case {
        std::uint8_t fill;
        std::uint16_t expected;
    } cases[] = {{0x00, 0x0000}, {0xFF, 0x0040}, {0x01, 0xBFC0}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> data(128, c.fill);
        EXPECT_EQ(BlockCheckWord(data.data()), c.expected) << int(c.fill);
        auto block = MakeBlock(data.data());
        ASSERT_EQ(block.size(), 130u);
        EXPECT_TRUE(BlockCheckWordValid(block.data()));
        block[5] ^= 0x10;
        EXPECT_FALSE(BlockCheckWordValid(block.data()));
    }
    const auto pattern = zul::test::ImageBytes(128);
    EXPECT_TRUE(BlockCheckWordValid(MakeBlock(pattern.data()).data()));
}

TEST(SimLine, SameSpeedIsExactAndOtherSpeedsGarble) {
    for (int baud : {9600, 115200}) {
        SimLine line;
        for (int b = 0; b < 256; ++b) line.Send(static_cast<std::uint8_t>(b), 0, baud);
        int n = 0;
        while (auto r = line.Receive(kNever - 1, baud)) {
            EXPECT_EQ(r->value, n);
            EXPECT_FALSE(r->framingError);
            ++n;
        }
        EXPECT_EQ(n, 256);
    }
    struct Case {
        int send, receive;
    } cases[] = {{9600, 115200}, {115200, 9600}, {9600, 19200}};
    for (const auto& c : cases) {
        SimLine line;
        const std::string text = "I\r\nZIZ2 KVR 7700\r\n>";
        for (char ch : text) line.Send(static_cast<std::uint8_t>(ch), 0, c.send);
        std::string got;
        while (auto r = line.Receive(kNever - 1, c.receive)) got += static_cast<char>(r->value);
        EXPECT_EQ(got.find("ZIZ2"), std::string::npos) << c.send << "->" << c.receive;
        EXPECT_NE(got, text);
    }
}

TEST(SimLine, ByteTimeIsTenBitTimesAndNothingArrivesEarly) {
    SimLine line;
    const SimNanos end = line.Send('A', 1000, 9600);
    EXPECT_EQ(end, 1000 + FrameTime(9600));
    EXPECT_EQ(line.InFlight(1000), 1u);
    EXPECT_FALSE(line.Receive(1000 + FrameTime(9600) / 2, 9600).has_value());
    auto r = line.Receive(end, 9600);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->value, 'A');
    EXPECT_EQ(line.InFlight(end), 0u);
}

TEST(BootMonitor, AnswersItsCommandsWithEchoAndPrompt) {
    struct Case {
        const char* sent;
        const char* begins;  // echo and text
        bool error;
    } cases[] = {
        {"V\r", "V\r\nKVR 7700 boot monitor", false},
        {"I\r", "I\r\nZIZ2", false},
        {"\r", "\r\n*UNKNOWN COMMAND*\r\n>", true},
        {"FV\r", "FV\r\n*", true},
        {"FE 80000\r", "FE 80000\r\n*", true},
        {"BV a1\r", "BV a1\r\n*", true},
        {"RS\r", "RS\r\n*", true},
        {"XYZ 1\r", "XYZ 1\r\n*", true},
        {"LB 1000 zz\r", "LB 1000 zz\r\n*", true},
        {"BR 12345\r", "BR 12345\r\n*", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        SimBench bench;
        const std::string out = bench.Talk(c.sent);
        EXPECT_EQ(out.rfind(c.begins, 0), 0u) << out;
        EXPECT_EQ(out.back(), '>');
        EXPECT_EQ(out.find('*') != std::string::npos, c.error);
        EXPECT_EQ(bench.sim.state(), SimState::BootMonitor);
    }
}

TEST(BootMonitor, IdentifierSitsAtCharactersThreeToSixAndTheTranscriptHasTheExchange) {
    SimBench bench;
    bench.now = 5 * kMs;
    const std::string out = bench.Talk("I\r");
    EXPECT_EQ(out.substr(3, 4), "ZIZ2");
    ASSERT_EQ(bench.sim.transcript().size(), 1u);
    const TranscriptEntry& e = bench.sim.transcript()[0];
    EXPECT_EQ(e.text, "I");
    EXPECT_EQ(e.answer, out);
    EXPECT_EQ(e.baud, 9600);
    // The CR is complete after two frame times of the PC's bytes.
    EXPECT_EQ(e.time / 1000, (5 * kMs + 2 * FrameTime(9600) - BitTime(9600) / 2) / 1000);
}

TEST(BootMonitor, AnswerTakesTenBitTimesPerByte) {
    SimBench bench;
    bench.sim.Receive("V\r", 0, 9600);
    // The echo of "V" starts once its stop bit is in; from then on the answer
    // leaves byte after byte, 10 bit times each.
    const std::string expected = "V\r\nKVR 7700 boot monitor 3.2 (simulated)\r\n>";
    const SimNanos first = FrameTime(9600) - BitTime(9600) / 2;
    const SimNanos done = first + expected.size() * FrameTime(9600);
    std::string out = bench.sim.TakeOutputText(done - FrameTime(9600) / 2, 9600);
    EXPECT_EQ(out.size(), expected.size() - 1);
    out += bench.sim.TakeOutputText(done, 9600);
    EXPECT_EQ(out, expected);
}

// Only a carriage return ends a line, and every byte before it belongs to the
// line: a line feed or a backspace makes a line the monitor does not know.
// Each is answered like an unknown command and changes nothing.
TEST(BootMonitor, LineFeedsAndBackspacesArePartOfTheLine) {
    const struct {
        const char* sent;
        const char* answer;  // everything the tester sends back
        std::uint32_t commands;
    } kTable[] = {
        {"I\r\n", "I\r\nZIZ2 KVR 7700 PowerPC (simulated)\r\n>\n", 1},
        {"I\r\nV\r", "I\r\nZIZ2 KVR 7700 PowerPC (simulated)\r\n>\nV\r\n*UNKNOWN COMMAND*\r\n>", 2},
        {"V\n", "V\n", 0},
        {"V\nI\r", "V\nI\r\n*UNKNOWN COMMAND*\r\n>", 1},
        {"IX\b\r", "IX\b\r\n*UNKNOWN COMMAND*\r\n>", 1},
        {"\n\r", "\n\r\n*UNKNOWN COMMAND*\r\n>", 1},
        {"\r\r", "\r\n*UNKNOWN COMMAND*\r\n>\r\n*UNKNOWN COMMAND*\r\n>", 2},
    };
    for (const auto& row : kTable) {
        SCOPED_TRACE(::testing::PrintToString(std::string(row.sent)));
        SimBench bench;
        bench.Talk(row.sent, 200);
        EXPECT_EQ(bench.received, row.answer);
        EXPECT_EQ(bench.sim.commandCount(), row.commands);
        EXPECT_EQ(bench.sim.state(), SimState::BootMonitor);
    }
}

TEST(BaudRate, EchoAtTheOldSpeedThenBothDirectionsSwitch) {
    SimBench bench;
    std::string out = bench.Talk("BR 115200\r", 500);
    EXPECT_EQ(out, "BR 115200\r\n");
    EXPECT_EQ(bench.sim.baud(), 115200);
    // A PC that stayed at 9600 gets no sensible answer and is not understood.
    out = bench.Talk("V\r", 200);
    EXPECT_EQ(out.find("boot monitor"), std::string::npos);
    EXPECT_EQ(bench.sim.commandCount(), 1u);
    bench.pcBaud = 115200;
    out = bench.Talk("\r\rV\r", 200);  // the garbage line is flushed by the first CR
    EXPECT_NE(out.find("V\r\nKVR 7700 boot monitor"), std::string::npos) << out;
    out = bench.Talk("BR 9600\r", 500);
    EXPECT_EQ(out, "BR 9600\r\n");
    bench.pcBaud = 9600;
    EXPECT_NE(bench.Talk("V\r").find("boot monitor"), std::string::npos);
}

TEST(BaudRate, MismatchedPcSpeedGarblesBothDirections) {
    for (int pcBaud : {115200, 19200, 4800}) {
        SimBench bench;
        bench.pcBaud = pcBaud;
        const std::string out = bench.Talk("I\r", 300);
        EXPECT_EQ(out.find("ZIZ2"), std::string::npos) << pcBaud;
        for (const auto& e : bench.sim.transcript()) EXPECT_NE(e.text, "I") << pcBaud;
    }
}

TEST(BlockTransfer, RamLoadStoresExactlyTheAnnouncedBlocks) {
    struct Case {
        std::uint32_t size;
        std::uint32_t blocks;
    } cases[] = {{300, 2}, {127, 0}, {128, 1}, {1024, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        SimBench bench;
        const auto data = zul::test::ImageBytes(c.size + 128, 3);
        bench.sim.Receive("LB 2000 " + [&] {
            char b[16];
            std::snprintf(b, sizeof b, "%x", c.size);
            return std::string(b);
        }() + "\r", 0, 9600);
        const std::string out = bench.SendBlocks(data, c.blocks);
        EXPECT_EQ(std::count(out.begin(), out.end(), '!'), static_cast<long>(c.blocks));
        EXPECT_EQ(out.find('*'), std::string::npos);
        EXPECT_EQ(out.back(), '>');
        const auto ram = bench.sim.memory().ReadRam(0x2000 - 1, c.blocks * 128 + 2);
        EXPECT_EQ(ram.front(), 0);
        EXPECT_EQ(ram.back(), 0);
        EXPECT_TRUE(std::equal(ram.begin() + 1, ram.end() - 1, data.begin()));
        ASSERT_EQ(bench.sim.transfers().size(), 1u);
        EXPECT_TRUE(bench.sim.transfers()[0].complete);
        EXPECT_EQ(bench.sim.transfers()[0].accepted, c.blocks);
    }
}

TEST(BlockTransfer, BadCheckWordIsRefusedAndEndsTheTransfer) {
    SimBench bench;
    bench.Talk("LB 2000 100\r", 50);
    auto data = zul::test::ImageBytes(128);
    auto block = MakeBlock(data.data());
    block[129] ^= 1;
    bench.sim.Receive(block.data(), block.size(), bench.now, 9600);
    const std::string out = bench.Wait(300);
    EXPECT_EQ(out.front(), '*');
    EXPECT_EQ(out.back(), '>');
    EXPECT_EQ(bench.sim.memory().ReadRam(0x2000, 1)[0], 0);
    EXPECT_FALSE(bench.sim.transfers().at(0).complete);
    // Command mode again.
    EXPECT_NE(bench.Talk("I\r").find("ZIZ2"), std::string::npos);
}

// A block goes out only after the "!" that asks for it. One that starts
// earlier (with the load command, straight after the block before it, or a
// block one byte too long) ends the transfer; its bytes are then read as a
// command line, which the monitor does not know.
TEST(BlockTransfer, BlockSentBeforeItsRequestEndsTheTransfer) {
    const std::vector<std::uint8_t> data(128, 0x55);
    const std::vector<std::uint8_t> block = MakeBlock(data.data());
    auto join = [](std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::string command = "LB 2000 100\r";
    const struct {
        const char* name;
        bool waitForFirstRequest;
        std::vector<std::uint8_t> sent;
        std::uint32_t accepted;
    } kTable[] = {
        {"with the load command", false, block, 0},
        {"two blocks at once", true, join(block, block), 1},
        {"one byte too many", true, join(block, {0x55}), 1},
    };
    for (const auto& row : kTable) {
        SCOPED_TRACE(row.name);
        SimOptions options;
        options.timing.ramBlockUs = 0;  // the tester asks again at once: the PC is still too early
        SimBench bench(options);
        if (row.waitForFirstRequest) {
            ASSERT_EQ(bench.Talk(command, 50), "LB 2000 100\r\n!");
        } else {
            bench.sim.Receive(command, bench.now, bench.pcBaud);
        }
        bench.sim.Receive(row.sent.data(), row.sent.size(), bench.now, bench.pcBaud);
        bench.Wait(400);
        ASSERT_EQ(bench.sim.transfers().size(), 1u);
        EXPECT_FALSE(bench.sim.transfers()[0].complete);
        EXPECT_EQ(bench.sim.transfers()[0].accepted, row.accepted);
        EXPECT_EQ(bench.sim.memory().ReadRam(0x2000 + row.accepted * 128, 1)[0], 0);
        const std::string answer = bench.Talk("\r", 200);
        EXPECT_EQ(answer.substr(answer.size() - 22), "\r\n*UNKNOWN COMMAND*\r\n>");
        EXPECT_NE(bench.Talk("I\r").find("ZIZ2"), std::string::npos);
    }
}

// In either monitor, a line that differs from the exact form in any way is
// answered like an unknown command and changes nothing: no transfer, erase,
// speed change or start of code.
TEST(StrictMonitor, LinesNotInTheExactFormAreAnsweredAsUnknownAndChangeNothing) {
    const char* const kEither[] = {
        "LB 2000 A0", "LB 2000 0a0", "LB 02000 a0", "LB  2000 a0", "LB 2000 a0 ", " LB 2000 a0", "LB 2000",
        "lb 2000 a0", "LB 0x2000 a0", "C 2000 X", "C 60000", "C 2000 not_used", "C 2000 NOT_USED ", "C 02000 NOT_USED",
        "BR 09600", "BR 115200 ", "br 115200", "BR 115200 0", "\nV", "\nBR 115200", "v", "I\x7f",
    };
    const char* const kUploadedOnly[] = {
        "FE 80000 0100", "FE 8000A", "FE 80000 100 1", "FLB 80000 1OO", "FLB 80000", "MACFE 0 08", "MACFLB 00 1",
        "BV A1", "BV 0a1", "BV 100", "RS ", "FV 1", "fv", "FE  80000",
    };
    for (bool uploaded : {false, true}) {
        SimBench bench;
        if (uploaded) {
            ASSERT_TRUE(test::StartUploadedMonitor(bench));
        }
        const SimState state = bench.sim.state();
        const std::size_t transfers = bench.sim.transfers().size();
        std::vector<std::string> lines(std::begin(kEither), std::end(kEither));
        if (uploaded) lines.insert(lines.end(), std::begin(kUploadedOnly), std::end(kUploadedOnly));
        for (const std::string& line : lines) {
            SCOPED_TRACE(::testing::PrintToString(line) + (uploaded ? " to the uploaded monitor" : ""));
            EXPECT_EQ(bench.Talk(line + "\r", 600), line + "\r\n*UNKNOWN COMMAND*\r\n>");
            EXPECT_EQ(bench.sim.state(), state);
            EXPECT_EQ(bench.sim.baud(), 9600);
            EXPECT_EQ(bench.sim.transfers().size(), transfers);
            EXPECT_EQ(bench.sim.memory().flashEraseCount(), 0u);
            EXPECT_EQ(bench.sim.memory().cardEraseCount(), 0u);
        }
        // The exact forms still work.
        EXPECT_NE(bench.Talk("V\r").find(uploaded ? "flash monitor" : "boot monitor"), std::string::npos);
    }
}

TEST(MonitorUpload, ImageLandsIntactAndTheMonitorComesUpAt9600) {
    SimBench bench;
    bench.Talk("BR 115200\r", 500);
    bench.pcBaud = 115200;
    const MonitorImage& image = MonitorPowerPcImage();
    bench.sim.Receive("LB 60000 3800\r", bench.now, bench.pcBaud);
    const std::string out = bench.SendBlocks(image.bytes, image.blockCount());
    EXPECT_EQ(std::count(out.begin(), out.end(), '!'), 112);
    const auto ram = bench.sim.memory().ReadRam(0x60000 - 4, image.size() + 8);
    EXPECT_TRUE(std::equal(image.bytes.begin(), image.bytes.end(), ram.begin() + 4));
    EXPECT_EQ(std::vector<std::uint8_t>(ram.begin(), ram.begin() + 4), std::vector<std::uint8_t>(4, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(ram.end() - 4, ram.end()), std::vector<std::uint8_t>(4, 0));

    bench.Talk("C 60000 NOT_USED\r", 100);
    EXPECT_EQ(bench.sim.state(), SimState::MonitorStarting);
    bench.pcBaud = 9600;
    EXPECT_EQ(bench.Talk("V\r", 900), "");  // still starting: deaf
    bench.Wait(600);
    EXPECT_EQ(bench.sim.state(), SimState::UploadedMonitor);
    EXPECT_EQ(bench.sim.baud(), 9600);
    std::string answer = bench.Talk("FV\r");
    EXPECT_EQ(answer.rfind("FV\r\n", 0), 0u);
    EXPECT_EQ(answer.find('*'), std::string::npos);
    EXPECT_EQ(answer.back(), '>');
}

TEST(MonitorUpload, CallElsewhereOrOfAnIncompleteImageRunsTheApplication) {
    {
        SimBench bench;
        bench.Talk("C 2000 NOT_USED\r");
        EXPECT_EQ(bench.sim.state(), SimState::Application);
        EXPECT_EQ(bench.Talk("V\r", 2000), "");
        bench.sim.PowerCycle(bench.now);
        EXPECT_NE(bench.Talk("I\r").find("ZIZ2"), std::string::npos);
    }
    {
        SimBench bench;
        bench.sim.Receive("LB 60000 3800\r", 0, 9600);
        bench.SendBlocks(MonitorPowerPcImage().bytes, 5);
        bench.sim.PowerCycle(bench.now);  // interrupted, RAM lost
        bench.Talk("C 60000 NOT_USED\r");
        EXPECT_EQ(bench.sim.state(), SimState::Application);
    }
}

class UploadedMonitorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::StartUploadedMonitor(bench)); }
    SimBench bench;
};

TEST_F(UploadedMonitorTest, FlashEraseProgramAndUnerasedWrites) {
    // Erase takes its time: no prompt after half of it, prompt after it.
    bench.sim.Receive("FE 80000\r", bench.now, 9600);
    std::string out = bench.Wait(300);
    EXPECT_EQ(out, "FE 80000\r\n");
    out = bench.Wait(500);
    EXPECT_EQ(out, ">");
    const auto data = zul::test::ImageBytes(256, 9);
    bench.sim.Receive("FLB 80000 100\r", bench.now, 9600);
    out = bench.SendBlocks(data, 2);
    EXPECT_EQ(out.back(), '>');
    EXPECT_EQ(bench.sim.memory().ReadFlash(0x80000, 256), data);
    EXPECT_EQ(bench.sim.memory().ReadFlash(0x80100, 1)[0], 0xFF);
    EXPECT_TRUE(bench.sim.memory().unerasedWrites().empty());
    // Programming again without an erase ANDs the bits and is recorded.
    const auto other = zul::test::ImageBytes(128, 77);
    bench.sim.Receive("FLB 80000 80\r", bench.now, 9600);
    bench.SendBlocks(other, 1);
    ASSERT_EQ(bench.sim.memory().unerasedWrites().size(), 1u);
    EXPECT_EQ(bench.sim.memory().unerasedWrites()[0].address, 0x80000u);
    EXPECT_EQ(bench.sim.memory().ReadFlash(0x80000, 1)[0], data[0] & other[0]);
    // A bank erase of the range clears it again.
    bench.sim.Receive("FE 80000 100\r", bench.now, 9600);
    EXPECT_EQ(bench.WaitFor(">").back(), '>');
    EXPECT_EQ(bench.sim.memory().ReadFlash(0x80000, 2), std::vector<std::uint8_t>(2, 0xFF));
}

TEST_F(UploadedMonitorTest, ProgramCardCountsPagesOfSixtyFourBlocks) {
    bench.sim.Receive("MACFE 0 8\r", bench.now, 9600);
    EXPECT_EQ(bench.WaitFor(">").find('*'), std::string::npos);
    const auto data = zul::test::ImageBytes(8192, 5);
    bench.sim.Receive("MACFLB 1 1\r", bench.now, 9600);
    const std::string out = bench.SendBlocks(data, 64);
    EXPECT_EQ(std::count(out.begin(), out.end(), '!'), 64);
    EXPECT_EQ(out.back(), '>');
    EXPECT_EQ(bench.sim.memory().ReadCard(8192, 8192), data);
    EXPECT_EQ(bench.sim.memory().ReadCard(16384, 1)[0], 0xFF);
    for (const char* bad : {"MACFE ff 8\r", "MACFLB 100 1\r", "MACFE 0 101\r"}) {
        EXPECT_NE(bench.Talk(bad).find('*'), std::string::npos) << bad;
    }
    bench.sim.Receive("MACFE 0 100\r", bench.now, 9600);  // the whole 2 MB card
    EXPECT_EQ(bench.WaitFor(">", 10000).find('*'), std::string::npos);
}

TEST_F(UploadedMonitorTest, BatteryTestsCompareTheLevel) {
    for (const char* cmd : {"BV a1\r", "BV a7\r", "BV ad\r", "BV b4\r"}) {
        const std::string out = bench.Talk(cmd);
        EXPECT_EQ(out.find('*'), std::string::npos) << cmd;
        EXPECT_EQ(out.back(), '>');
    }
    EXPECT_NE(bench.Talk("BV ff\r").find('*'), std::string::npos);
}

TEST_F(UploadedMonitorTest, ResetReturnsToTheBootMonitorOrToTheApplication) {
    bench.Talk("BR 115200\r", 500);
    bench.pcBaud = 115200;
    EXPECT_NE(bench.Talk("V\r").find("flash monitor"), std::string::npos);
    bench.Talk("RS\r", 10);
    EXPECT_EQ(bench.sim.state(), SimState::Resetting);
    bench.Wait(bench.sim.options().timing.resetMs);
    EXPECT_EQ(bench.sim.state(), SimState::BootMonitor);
    EXPECT_EQ(bench.sim.baud(), 9600);
    bench.pcBaud = 9600;
    EXPECT_NE(bench.Talk("FV\r").find('*'), std::string::npos);

    SimOptions options;
    options.resetBootsApplication = true;
    SimBench quiet(options);
    ASSERT_TRUE(test::StartUploadedMonitor(quiet));
    quiet.Talk("RS\r", options.timing.resetMs + 10);
    EXPECT_EQ(quiet.sim.state(), SimState::Application);
    EXPECT_EQ(quiet.Talk("V\r", 1000), "");
}

TEST(Timing, FastPresetShortensEveryWait) {
    SimOptions options;
    options.timing = SimTiming::Fast();
    SimBench bench(options);
    ASSERT_TRUE(test::StartUploadedMonitor(bench));
    bench.sim.Receive("FE 0 100000\r", bench.now, 9600);  // 16 sectors
    EXPECT_EQ(bench.Wait(200).back(), '>');
}

}  // namespace
}  // namespace zul::sim

namespace zul::sim {
namespace {

using test::SimBench;

// Line noise and half-typed commands at changing speeds: the tester must keep
// going (no crash, no hang) and still answer once the line is clean again.
TEST(Robustness, SurvivesRandomInputInEveryState) {
    const char alphabet[] = "VIBRLCFEMASN0123456789abcdef \r\r\r!*>\x7f\x08\n\xff";
    std::uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state >> 33);
    };
    for (bool uploaded : {false, true}) {
        SimOptions options;
        options.timing = SimTiming::Fast();
        SimBench bench(options);
        if (uploaded) {
            ASSERT_TRUE(test::StartUploadedMonitor(bench));
        }
        for (int round = 0; round < 400; ++round) {
            std::string noise;
            const std::uint32_t n = next() % 40;
            for (std::uint32_t i = 0; i < n; ++i) noise += alphabet[next() % (sizeof alphabet - 1)];
            bench.pcBaud = (next() % 4 == 0) ? 115200 : bench.sim.baud();
            bench.Talk(noise, next() % 50);
        }
        // Whatever state the noise left: drop the PC's backlog, power-cycle
        // and talk cleanly.
        bench.sim.DropPcUnsent(bench.now);
        bench.Wait(10);
        bench.sim.PowerCycle(bench.now);
        bench.pcBaud = 9600;
        const std::string flushed = bench.Talk("\r", 50);  // may echo the byte that was on the wire
        EXPECT_EQ(flushed.substr(flushed.size() - 3), "\r\n>");
        EXPECT_EQ(bench.Talk("I\r").substr(0, 7), "I\r\nZIZ2");
    }
}

}  // namespace
}  // namespace zul::sim
