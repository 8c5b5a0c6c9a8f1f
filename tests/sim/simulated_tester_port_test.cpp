#include "serial/serial_link.h"
#include "sim/simulated_tester_port.h"

#include <gtest/gtest.h>

#include "sim_bench.h"
#include "testlib/image_fixtures.h"
#include "support/clock.h"
#include "tester/monitor_image.h"

namespace zul::sim {
namespace {

// The PC side as the protocol code drives it: commands through a SerialLink,
// reads of one byte with a 55 ms time-out, all in virtual time.
class PortFixture : public ::testing::Test {
protected:
    explicit PortFixture(SimOptions options = {}) : tester(std::move(options)) {}

    void SetUp() override {
        port = std::make_unique<SimulatedTesterPort>(tester, clock);
        link = std::make_unique<SerialLink>(port.get());
    }
    // Sends `text`, collects bytes until the prompt or `timeoutMs`.
    std::string Command(const std::string& text, std::uint32_t timeoutMs = 1000) {
        link->writeText(text.c_str(), -1);
        std::string reply;
        const std::uint32_t start = clock.TickCount();
        while (clock.TickCount() - start < timeoutMs) {
            const int b = link->readByte(55);
            if (b == Code(SerialError::SL_NO_DATA)) continue;
            reply += static_cast<char>(b);
            if (b == '>') break;
        }
        return reply;
    }
    bool SetSpeed(int baud) { return link->line->setLineSettings(baud, 'N', 8, 1) == 0; }
    // Waits for "!" and sends the block; false on anything else within 3 s.
    bool SendBlock(const std::uint8_t* data128) {
        const std::uint32_t start = clock.TickCount();
        while (clock.TickCount() - start < 3000) {
            const int b = link->readByte(55);
            if (b == '*') return false;
            if (b == '!') {
                const auto block = MakeBlock(data128);
                return link->writeBlock(block.data(), 130) == 130;
            }
        }
        return false;
    }

    VirtualClock clock{1000};
    ScopedClock installed{clock};
    TesterSimulator tester;
    std::unique_ptr<SimulatedTesterPort> port;
    std::unique_ptr<SerialLink> link;
};

TEST_F(PortFixture, LinkOpensAt9600AndIdentifiesTheTester) {
    EXPECT_EQ(port->baud(), 9600);
    const std::uint32_t start = clock.TickCount();
    const std::string reply = Command("I\r");
    EXPECT_EQ(reply.substr(3, 4), "ZIZ2") << reply;
    // 2 bytes out and 40 back at about 1 ms each.
    EXPECT_GE(clock.TickCount() - start, 42u);
    EXPECT_LE(clock.TickCount() - start, 52u);
}

TEST_F(PortFixture, FullFlashDownloadRunsInVirtualTime) {
    ASSERT_NE(Command("V\r").find('>'), std::string::npos);
    // Raise the speed the way the PC does: command, wait, purge, switch.
    link->writeText("BR 115200\r", -1);
    clock.Sleep(500);
    link->purgeReceive(0);
    ASSERT_TRUE(SetSpeed(115200));
    ASSERT_EQ(Command("V\r").find('*'), std::string::npos);
    EXPECT_EQ(tester.baud(), 115200);

    // Upload the monitor, start it, follow it to 9600.
    const MonitorImage& image = MonitorPowerPcImage();
    link->writeText("LB 60000 3800\r", -1);
    for (std::uint32_t k = 0; k < image.blockCount(); ++k) ASSERT_TRUE(SendBlock(image.bytes.data() + k * 128)) << k;
    clock.Sleep(100);
    link->writeText("C 60000 NOT_USED\r", -1);
    clock.Sleep(100);
    ASSERT_TRUE(SetSpeed(9600));
    int probes = 0;
    std::string answer;
    while (probes < 15 && answer.find('>') == std::string::npos) {
        link->purgeReceive(0);
        answer = Command("V\r");
        ++probes;
    }
    EXPECT_GT(probes, 1);  // the new monitor needed its start-up time
    EXPECT_EQ(Command("FV\r").find('*'), std::string::npos);
    link->writeText("BR 115200\r", -1);
    clock.Sleep(500);
    link->purgeReceive(0);
    ASSERT_TRUE(SetSpeed(115200));
    EXPECT_EQ(Command("V\r").find('*'), std::string::npos);

    // Erase and program 4 KB of flash.
    EXPECT_EQ(Command("FE 100000\r", 6000).back(), '>');
    const auto data = zul::test::ImageBytes(4096, 11);
    link->writeText("FLB 100000 1000\r", -1);
    for (std::uint32_t k = 0; k < 32; ++k) ASSERT_TRUE(SendBlock(data.data() + k * 128)) << k;
    EXPECT_EQ(Command("").back(), '>');
    EXPECT_EQ(tester.memory().ReadFlash(0x100000, 4096), data);
    EXPECT_TRUE(tester.memory().unerasedWrites().empty());
}

TEST_F(PortFixture, TransmitQueueDrainsAtTheLineSpeedAndCanBePurged) {
    const auto data = zul::test::ImageBytes(128);
    const auto block = MakeBlock(data.data());
    ASSERT_EQ(link->writeBlock(block.data(), 130), 130);
    PortStatus status;
    link->getStatus(&status);
    EXPECT_EQ(status.transmitCount, 130u);
    EXPECT_EQ(status.transmitSize, static_cast<std::uint32_t>(kOutQueueSize));
    clock.Sleep(70);
    link->getStatus(&status);
    EXPECT_GT(status.transmitCount, 50u);
    EXPECT_LT(status.transmitCount, 80u);
    link->purgeTransmit();
    link->getStatus(&status);
    EXPECT_LE(status.transmitCount, 1u);  // the byte on the wire finishes
    clock.Sleep(200);
    link->getStatus(&status);
    EXPECT_EQ(status.transmitCount, 0u);
}

TEST_F(PortFixture, WrongPcSpeedGarblesAndTimeOutsPassInVirtualTime) {
    ASSERT_TRUE(SetSpeed(115200));
    const std::string reply = Command("I\r", 3000);
    EXPECT_EQ(reply.find("ZIZ2"), std::string::npos);
    EXPECT_GE(clock.TickCount(), 4000u);
    EXPECT_NE(port->setLine(12345, 'N', 8, 1), 0);
    EXPECT_EQ(port->setLine(9600, 'X', 8, 1), Code(SerialError::SL_BAD_PARITY));
}

// The tester talks 8N1. Any other frame the PC sets garbles every byte, in
// both directions: the tester does not understand what is sent, and what it
// answers comes out wrong.
TEST(SimulatedTesterPort, AnyFrameButEightNOneGarblesEveryByte) {
    const struct {
        char parity;
        int dataBits;
        int stopBits;
        bool understood;
    } kTable[] = {
        {'N', 8, 1, true},  {'E', 8, 1, false}, {'O', 8, 1, false}, {'M', 8, 1, false}, {'S', 8, 1, false},
        {'N', 7, 1, false}, {'E', 7, 1, false}, {'N', 8, 2, false}, {'N', 6, 1, false}, {'N', 5, 2, false},
    };
    // Everything that arrives within a second.
    auto readAll = [](SerialLink& link, Clock& clock) {
        std::string got;
        const std::uint32_t start = clock.TickCount();
        while (clock.TickCount() - start < 1000) {
            const int b = link.readByte(55);
            if (b >= 0) got += static_cast<char>(b);
        }
        return got;
    };
    std::string reference;  // the answer as read in 8N1 (the first row)
    for (const auto& row : kTable) {
        SCOPED_TRACE(::testing::Message() << row.parity << row.dataBits << row.stopBits);
        VirtualClock clock;
        ScopedClock installed(clock);
        for (bool fromPc : {true, false}) {
            TesterSimulator tester;
            SimulatedTesterPort port(tester, clock);
            SerialLink link(&port);
            // The command goes out in the frame under test, or the answer
            // is read in it.
            auto setFrame = [&] { return link.line->setLineSettings(9600, row.parity, row.dataBits, row.stopBits); };
            if (fromPc) {
                ASSERT_EQ(setFrame(), 0);
            }
            link.writeText("I\r", -1);
            if (!fromPc) {
                ASSERT_EQ(setFrame(), 0);
            }
            const std::string answer = readAll(link, clock);
            EXPECT_EQ(answer.find("ZIZ2") != std::string::npos, row.understood) << fromPc << " " << answer;
            EXPECT_EQ(tester.commandCount(), fromPc && !row.understood ? 0u : 1u);
            if (!fromPc) {
                // Byte for byte: every one arrives, and every one is wrong.
                if (row.understood) reference = answer;
                ASSERT_EQ(answer.size(), reference.size());
                for (std::size_t i = 0; i < answer.size(); ++i) EXPECT_EQ(answer[i] == reference[i], row.understood) << i;
            }
        }
    }
}

TEST(SimulatedTesterPortFactory, MakesPortsThatReachTheSameTester) {
    VirtualClock clock;
    ScopedClock installed(clock);
    TesterSimulator tester;
    ScopedSerialPortFactory factory(SimulatedTesterPortFactory(tester, clock));
    for (int round = 0; round < 2; ++round) {
        auto port = CreateSerialPort(3);
        ASSERT_EQ(port->lastError, 0);
        SerialLink link(port.get());
        link.writeText("V\r", -1);
        std::string reply;
        const std::uint32_t start = clock.TickCount();
        while (clock.TickCount() - start < 1000 && reply.find('>') == std::string::npos) {
            const int b = link.readByte(55);
            if (b >= 0) reply += static_cast<char>(b);
        }
        EXPECT_NE(reply.find("boot monitor"), std::string::npos);
    }
    EXPECT_EQ(tester.commandCount(), 2u);
}

}  // namespace
}  // namespace zul::sim
