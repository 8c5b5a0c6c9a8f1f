// The platform serial port against the simulated tester device: the speed the
// port sets is the speed the tester sees.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "serial/posix/posix_serial_port.h"
#include "serial/serial_link.h"
#include "sim/tester_device.h"
#include "support/clock.h"

namespace zul::sim {
namespace {

std::string Command(SerialLink& link, const char* text, std::uint32_t timeoutMs = 1500) {
    link.writeText(text, -1);
    std::string reply;
    Clock& clock = CurrentClock();
    const std::uint32_t start = clock.TickCount();
    while (clock.TickCount() - start < timeoutMs) {
        const int b = link.readByte(55);
        if (b < 0) continue;
        reply += static_cast<char>(b);
        if (b == '>') break;
    }
    return reply;
}

TEST(PtySerialPort, SpeedSwitchIsSeenByTheTester) {
    TesterSimulator tester;
    std::string error;
    auto device = OpenTesterDevice(tester, SystemClock(), &error);
    ASSERT_TRUE(device) << error;
    // The device runs on its own thread; the tester is inspected after it stops.
    std::atomic<bool> stop{false};
    std::thread pump([&] {
        while (!stop) device->Pump(5);
    });
    std::string identify, atWrongSpeed, atNewSpeed;
    {
        PosixSerialPort port(0, device->path(), kInQueueSize, kOutQueueSize);
        ASSERT_EQ(port.lastError, 0);
        SerialLink link(&port);
        identify = Command(link, "I\r");
        // The tester switches as soon as its echo has left.
        const std::string echo = Command(link, "BR 115200\r", 300);
        EXPECT_EQ(echo, "BR 115200\r\n");
        atWrongSpeed = Command(link, "V\r", 300);
        link.line->setLineSettings(115200, 'N', 8, 1);
        link.purgeReceive(0);
        Command(link, "\r", 300);  // flush what the garbage left in the tester's line
        atNewSpeed = Command(link, "V\r");
    }
    stop = true;
    pump.join();
    EXPECT_EQ(identify.substr(3, 4), "ZIZ2") << identify;
    EXPECT_EQ(atWrongSpeed.find("boot monitor"), std::string::npos) << atWrongSpeed;
    EXPECT_NE(atNewSpeed.find("V\r\nKVR 7700 boot monitor"), std::string::npos) << atNewSpeed;
    EXPECT_EQ(tester.baud(), 115200);
}

}  // namespace
}  // namespace zul::sim
