#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "serial/device_names.h"
#include "serial/posix/posix_serial_port.h"
#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "testlib/serial_port_contract.h"
#include "testlib/serial_pty.h"
#include "support/clock.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

using test::PtyPair;

// Waits (bounded) until the port's receive queue holds `count` bytes: bytes
// written on the master reach the slave asynchronously.
bool WaitForInput(const PosixSerialPort& port, int count) {
    return test::WaitUntil([&port, count] {
        int waiting = 0;
        return ioctl(port.descriptor(), FIONREAD, &waiting) == 0 && waiting >= count;
    });
}

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }
    std::unique_ptr<PosixSerialPort> Open(int index = 0) {
        return std::make_unique<PosixSerialPort>(index, pty.slavePath(), kInQueueSize, kOutQueueSize);
    }
    PtyPair pty;
};

TEST_F(PtyPortTest, OpensRawAt19200AndPutsTheDeviceBackWhenClosed) {
    termios found = pty.Attributes();
    cfsetospeed(&found, B38400);
    cfsetispeed(&found, B38400);
    found.c_cflag |= CSTOPB;
    found.c_lflag |= ICANON | ECHO;
    ASSERT_TRUE(pty.SetAttributes(found));
    {
        auto port = Open();
        ASSERT_EQ(port->lastError, 0);
        EXPECT_EQ(PortUseCounts::count(0), 1);
        const termios t = pty.Attributes();
        EXPECT_EQ(pty.Baud(), 19200);
        EXPECT_EQ(pty.StopBits(), 1);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        int baud = 0, dataBits = 0, stopBits = 0;
        char parity = 0;
        port->getLine(&baud, &parity, &dataBits, &stopBits);
        EXPECT_EQ(baud, 19200);
        EXPECT_EQ(parity, 'N');
        EXPECT_EQ(dataBits, 8);
        EXPECT_EQ(stopBits, 1);
        // Raised after open; a pty has no modem lines, which is not an error.
        EXPECT_EQ(port->lineControl(SIG_DTR, -1), 1);
        EXPECT_EQ(port->lineControl(SIG_RTS, -1), 1);
        int in = -1, out = -1;
        EXPECT_EQ(port->getFlowControl(&in, &out), 0);
        EXPECT_EQ(in, 0);
        EXPECT_EQ(out, 0);
    }
    EXPECT_EQ(PortUseCounts::count(0), 0);
    EXPECT_EQ(pty.Baud(), 38400);
    EXPECT_EQ(pty.StopBits(), 2);
    EXPECT_NE(pty.Attributes().c_lflag & ICANON, 0u);
}

TEST_F(PtyPortTest, ConnectionSetUpAndTeardownRestoreInnermostFirst) {
    auto port = Open(2);
    auto link = std::make_unique<SerialLink>(port.get());
    LineErrorWord word = 0xFF;
    ASSERT_EQ(link->checkLineErrors(&word), 0);
    EXPECT_EQ(word, 0);
    auto line = std::make_unique<LineSettings>(link.get());
    auto flow = std::make_unique<FlowSettings>(link.get());
    ASSERT_EQ(line->setLineSettings(9600, 'N', 8, 1), 0);
    EXPECT_EQ(link->purgeReceive(0), 0);
    EXPECT_EQ(pty.Baud(), 9600);
    EXPECT_EQ(pty.StopBits(), 1);
    EXPECT_EQ(port->lineControl(SIG_DTR, -1), 1);
    EXPECT_EQ(port->lineControl(SIG_RTS, -1), 1);

    // The protocol raises the speed and makes it the one to restore.
    ASSERT_EQ(line->setLineSettings(115200, 'N', 8, 1), 0);
    ASSERT_EQ(line->attach(link.get()), 0);
    EXPECT_EQ(pty.Baud(), 115200);
    ASSERT_EQ(line->setLineSettings(9600, 'N', 8, 2), 0);
    EXPECT_EQ(pty.StopBits(), 2);

    flow.reset();
    line.reset();
    EXPECT_EQ(pty.Baud(), 115200);
    EXPECT_EQ(pty.StopBits(), 1);
    link.reset();
    EXPECT_EQ(pty.Baud(), 19200);
    port.reset();
    EXPECT_EQ(PortUseCounts::count(2), 0);
}

TEST_F(PtyPortTest, SecondObjectOnAHeldPortIsRefusedAndLeavesTheFirstAlone) {
    auto first = Open(4);
    ASSERT_EQ(first->lastError, 0);
    {
        PosixSerialPort second(4, pty.slavePath(), kInQueueSize, kOutQueueSize);
        EXPECT_EQ(second.lastError, Code(SerialError::SL_PORT_IN_USE));
        EXPECT_EQ(second.descriptor(), -1);
        SerialLink link(&second);
        LineErrorWord word = 0;
        EXPECT_EQ(link.checkLineErrors(&word), Code(SerialError::SL_PORT_IN_USE));
    }
    EXPECT_EQ(PortUseCounts::count(4), 1);
    EXPECT_EQ(first->writeString("still here"), 10);
    EXPECT_EQ(pty.Read(10), "still here");
    first.reset();
    EXPECT_EQ(PortUseCounts::count(4), 0);
    auto again = Open(4);
    EXPECT_EQ(again->lastError, 0);
}

TEST_F(PtyPortTest, AnotherHolderOfTheDeviceMakesItBusy) {
    // Another port index for the same device: the lock on the device refuses it,
    // as it refuses another program.
    auto first = Open(5);
    ASSERT_EQ(first->lastError, 0);
    PosixSerialPort second(6, pty.slavePath(), kInQueueSize, kOutQueueSize);
    EXPECT_EQ(second.lastError, Code(SerialError::SL_ERROR));
    EXPECT_EQ(LastOpenFailure().kind, OpenFailureKind::kBusy);
    EXPECT_NE(DescribeOpenFailure(LastOpenFailure()).find("another program"), std::string::npos);
    EXPECT_EQ(PortUseCounts::count(6), 0);
}

TEST(PosixPortOpen, DevicesThatCannotServeAsAPort) {
    test::TempDir dir;
    dir.Write("plain", "not a tty");
    const struct {
        std::string path;
        OpenFailureKind kind;
    } kTable[] = {{dir / "missing", OpenFailureKind::kMissing}, {dir / "plain", OpenFailureKind::kNotSerial}};
    for (const auto& row : kTable) {
        PosixSerialPort port(7, row.path, kInQueueSize, kOutQueueSize);
        EXPECT_EQ(port.lastError, Code(SerialError::SL_ERROR)) << row.path;
        EXPECT_EQ(LastOpenFailure().kind, row.kind) << row.path;
        EXPECT_EQ(PortUseCounts::count(7), 0);
        SerialLink link(&port);
        LineErrorWord word = 0;
        EXPECT_EQ(link.checkLineErrors(&word), Code(SerialError::SL_ERROR));
    }
    PosixSerialPort outside(PortUseCounts::kPortUseCountsSize, dir / "plain", kInQueueSize, kOutQueueSize);
    EXPECT_EQ(outside.lastError, Code(SerialError::SL_PORT_UNAVAILABLE));
    PosixSerialPort empty(0, dir / "missing", kInQueueSize, kOutQueueSize, 1);
    EXPECT_EQ(empty.lastError, 0);
    EXPECT_EQ(empty.descriptor(), -1);
}

TEST_F(PtyPortTest, SetLineRefusalsLeaveTheLine) {
    auto port = Open();
    ASSERT_EQ(port->setLine(9600, 'N', 8, 1), 0);
    for (const auto& row : test::kLineRefusals) {
        port->lastError = 0;
        EXPECT_EQ(port->setLine(row.baud, row.parity, row.dataBits, row.stopBits), Code(row.result)) << row.baud;
        EXPECT_EQ(port->lastError, Code(row.result));
        EXPECT_EQ(pty.Baud(), 9600);
    }
}

TEST_F(PtyPortTest, SetLineWritesWhatTheFarEndSees) {
    auto port = Open();
    const struct {
        int baud;
        char parity;
        int dataBits;
        int stopBits;
        int farStopBits;  // CSTOPB as the far end sees it
        int reportedStopBits;
    } kTable[] = {
        {115200, 'N', 8, 1, 1, 1}, {9600, 'E', 7, 2, 2, 2}, {1200, 'O', 5, 2, 2, 1},
        {2400, 'M', 5, 1, 2, 1},   {4800, 'S', 6, 1, 1, 1},
    };
    for (const auto& row : kTable) {
        ASSERT_EQ(port->setLine(row.baud, row.parity, row.dataBits, row.stopBits), 0) << row.baud;
        EXPECT_EQ(pty.Baud(), row.baud);
        EXPECT_EQ(pty.StopBits(), row.farStopBits) << row.baud;
        int baud = 0, dataBits = 0, stopBits = 0;
        char parity = 0;
        port->getLine(&baud, &parity, &dataBits, &stopBits);
        EXPECT_EQ(baud, row.baud);
        EXPECT_EQ(parity, row.parity);
        EXPECT_EQ(dataBits, row.dataBits);
        EXPECT_EQ(stopBits, row.reportedStopBits);
    }
}

TEST_F(PtyPortTest, FlowControlTypes) {
    auto port = Open();
    using enum SerialError;
    const struct {
        int in, out;
        SerialError result, recorded;
        tcflag_t iflag;  // IXON/IXOFF the far end sees on success
    } kTable[] = {
        {SIG_DSR, 0, SL_UNSUPPORTED, SL_UNSUPPORTED, 0},
        {2, 0, SL_ERROR, SL_BAD_IN_FLOW, 0},
        {SIG_CTS, 0, SL_ERROR, SL_BAD_IN_FLOW, 0},
        {0, SIG_CD, SL_UNSUPPORTED, SL_UNSUPPORTED, 0},
        {0, SIG_RI, SL_BAD_OUT_FLOW, SL_BAD_OUT_FLOW, 0},
        {0, SIG_DTR, SL_BAD_OUT_FLOW, SL_BAD_OUT_FLOW, 0},
        {SIG_DTR, 0, SL_UNSUPPORTED, SL_UNSUPPORTED, 0},  // no DTR handshake in termios
        {0, SIG_DSR, SL_UNSUPPORTED, SL_UNSUPPORTED, 0},
        {SIG_RTS, 0, SL_UNSUPPORTED, SL_UNSUPPORTED, 0},  // RTS/CTS only as a pair
        {SIG_XONXOFF, SIG_XONXOFF, SL_OK, SL_OK, IXON | IXOFF},
        {SIG_XONXOFF, 0, SL_OK, SL_OK, IXOFF},
        {SIG_RTS, SIG_CTS, SL_OK, SL_OK, 0},
        {0, 0, SL_OK, SL_OK, 0},
    };
    for (const auto& row : kTable) {
        port->lastError = 0;
        EXPECT_EQ(port->setFlowControl(row.in, row.out), Code(row.result)) << row.in << "/" << row.out;
        EXPECT_EQ(port->lastError, Code(row.recorded)) << row.in << "/" << row.out;
        if (row.result == SL_OK) {
            EXPECT_EQ(pty.Attributes().c_iflag & (IXON | IXOFF), row.iflag);
            int in = -1, out = -1;
            port->getFlowControl(&in, &out);
            EXPECT_EQ(in, row.in);
            EXPECT_EQ(out, row.out);
        }
    }
}

TEST_F(PtyPortTest, ReadsReturnOnlyWhatHasArrived) {
    VirtualClock clock(500);
    ScopedClock scoped(clock);
    auto port = Open();
    SerialLink link(port.get());
    EXPECT_EQ(port->readByte(), Code(SerialError::SL_NO_DATA));
    char buffer[8];
    EXPECT_EQ(port->readBlock(buffer, 8), 0);
    EXPECT_EQ(link.readByte(0), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(clock.TickCount(), 500u);
    EXPECT_EQ(link.readByte(55), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(clock.TickCount(), 555u);

    ASSERT_TRUE(pty.Write("\x80xyz"));
    ASSERT_TRUE(WaitForInput(*port, 4));
    EXPECT_EQ(link.readByte(55), 0x80);
    EXPECT_EQ(clock.TickCount(), 555u);
    EXPECT_EQ(port->readBlock(buffer, 8), 3);
    EXPECT_EQ(std::string(buffer, 3), "xyz");
    EXPECT_EQ(port->lastError, 0);
}

TEST_F(PtyPortTest, WritesQueueAtMost2048Bytes) {
    auto port = Open();
    SerialLink link(port.get());
    EXPECT_EQ(link.writeText("V", -3), 3);
    EXPECT_EQ(pty.Read(3), "V\r\n");
    EXPECT_EQ(link.writeText("V", 256), 0);
    EXPECT_EQ(pty.Drain(), "");

    std::string block(3000, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
    port->lastError = 0;
    EXPECT_EQ(link.writeBlock(block.data(), 3000), 2048);
    EXPECT_EQ(port->lastError, Code(SerialError::SL_SHORT_WRITE));
    EXPECT_EQ(pty.Read(2048), block.substr(0, 2048));
    EXPECT_EQ(port->transmitImmediate('!'), 0);
    EXPECT_EQ(pty.Read(1), "!");
    PortStatus status;
    link.getStatus(&status);
    EXPECT_EQ(status.receiveMarker, 1u);
    EXPECT_EQ(status.transmitMarker, 1u);
    EXPECT_EQ(status.receiveSize, 4096u);
    EXPECT_EQ(status.transmitSize, 2048u);
    EXPECT_EQ(status.transmitCount, 0u);
}

TEST_F(PtyPortTest, PurgeWithACount) {
    auto port = Open();
    ASSERT_TRUE(pty.Write("12345"));
    ASSERT_TRUE(WaitForInput(*port, 5));
    EXPECT_EQ(port->purge(0, 2), Code(SerialError::SL_ERROR));
    EXPECT_EQ(port->readByte(), '3');
    EXPECT_EQ(port->purge(0, 5), 0);  // ran empty after two
    EXPECT_EQ(port->readByte(), Code(SerialError::SL_NO_DATA));
    ASSERT_TRUE(pty.Write("6"));
    ASSERT_TRUE(WaitForInput(*port, 1));
    EXPECT_EQ(port->purge(0, 2), 0);
    EXPECT_EQ(port->readByte(), Code(SerialError::SL_NO_DATA));
    ASSERT_TRUE(pty.Write("789"));
    ASSERT_TRUE(WaitForInput(*port, 3));
    EXPECT_EQ(port->purge(0, 0), 0);
    EXPECT_EQ(port->readByte(), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(port->purge(1, 0), 0);
}

TEST_F(PtyPortTest, SignalsAndBreakOnADeviceWithoutModemLines) {
    auto port = Open();
    EXPECT_EQ(port->lineControl(SIG_DTR, 0), 0);
    EXPECT_EQ(port->lineControl(SIG_RTS, 0), 0);
    EXPECT_EQ(port->lineControl(SIG_RTS, 5), 1);
    EXPECT_EQ(port->lineControl(9, -1), 2);
    EXPECT_EQ(port->lineControl(SIG_DELTA_CTS, -1), 0);
    EXPECT_EQ(port->lineControl(SIG_CTS, -1), 0);
    EXPECT_EQ(port->setBreak(-1), 0);
    SignalRecord record;
    EXPECT_EQ(port->readSignals(&record), 0);
    EXPECT_EQ(record.get(SIG_DTR), 0);
    EXPECT_EQ(record.get(SIG_RTS), 1);
    EXPECT_EQ(record.get(SIG_FRAMING_ERROR), 0);
    std::string dumped;
    port->dump([&dumped](std::string_view line) { dumped.append(line).append("\n"); });
    EXPECT_NE(dumped.find("line 19200 N 8 1"), std::string::npos) << dumped;
}

TEST_F(PtyPortTest, FarEndGoneMakesReadsEmptyAndWritesShort) {
    PtyPair alone(false);
    ASSERT_TRUE(alone.ok());
    PosixSerialPort port(8, alone.slavePath(), kInQueueSize, kOutQueueSize);
    ASSERT_EQ(port.lastError, 0);
    alone.CloseMaster();
    SerialLink link(&port);
    EXPECT_EQ(port.readByte(), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(link.readByte(0), Code(SerialError::SL_NO_DATA));
    port.lastError = 0;
    EXPECT_EQ(port.writeBlock("abc", 3), 0);
    EXPECT_EQ(port.lastError, Code(SerialError::SL_SHORT_WRITE));
    EXPECT_EQ(port.yield(), 0);
}

}  // namespace
}  // namespace zul
