#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_serial_port.h"
#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "support/clock.h"

namespace zul {
namespace {

using test::FakeSerialPort;
using LineCall = FakeSerialPort::LineCall;

TEST(SerialCodes, NamesOfResultAndSignalCodes) {
    // Every result code with the number callers, stored traces and the tester
    // protocol code rely on.
    using enum SerialError;
    const struct {
        SerialError error;
        int value;
        const char* name;
    } kCodes[] = {
        {SL_OK, 0, "SL_OK"},
        {SL_ERROR, -801, "SL_ERROR"},
        {SL_NO_DATA, -802, "SL_NO_DATA"},
        {SL_UNSUPPORTED, -803, "SL_UNSUPPORTED"},
        {SL_SHORT_WRITE, -805, "SL_SHORT_WRITE"},
        {SL_BREAK_FAILED, -827, "SL_BREAK_FAILED"},
        {SL_PORT_UNAVAILABLE, -828, "SL_PORT_UNAVAILABLE"},
        {SL_CLOSE_FAILED, -829, "SL_CLOSE_FAILED"},
        {SL_BAD_IN_FLOW, -830, "SL_BAD_IN_FLOW"},
        {SL_BAD_OUT_FLOW, -832, "SL_BAD_OUT_FLOW"},
        {SL_NO_MEMORY, -836, "SL_NO_MEMORY"},
        {SL_PORT_IN_USE, -838, "SL_PORT_IN_USE"},
        {SL_BAD_BAUD, -839, "SL_BAD_BAUD"},
        {SL_BAD_PARITY, -840, "SL_BAD_PARITY"},
        {SL_BAD_STOP_BITS, -841, "SL_BAD_STOP_BITS"},
        {SL_BAD_DATA_BITS, -842, "SL_BAD_DATA_BITS"},
    };
    for (const auto& row : kCodes) {
        EXPECT_EQ(Code(row.error), row.value) << row.name;
        EXPECT_STREQ(ResultCodeName(row.value), row.name);
    }
    for (int unknown : {-800, -804, -831, -843, 1, -1}) EXPECT_EQ(ResultCodeName(unknown), nullptr) << unknown;
    EXPECT_STREQ(SignalName(SIG_CTS), "SIG_CTS");
    EXPECT_STREQ(SignalName(31), "SIG_RX_OVERFLOW");
    EXPECT_EQ(SignalName(2), nullptr);
}

TEST(SerialCodes, SignalRecordPacksSixteenTwoBitFieldsLowestFirst) {
    SignalRecord record;
    record.setField(0, 1);   // DTR: byte 0, bits 0-1
    record.setField(3, 1);   // DSR: byte 0, bits 6-7
    record.setField(13, 1);  // framing error: byte 3, bits 2-3
    EXPECT_EQ(record.bytes[0], 0x41);
    EXPECT_EQ(record.bytes[3], 0x04);
    EXPECT_EQ(record.get(SIG_DTR), 1);
    EXPECT_EQ(record.get(SIG_FRAMING_ERROR), 1);
    EXPECT_EQ(record.get(SIG_RTS), 0);
    record.setField(0, 0);
    EXPECT_EQ(record.bytes[0], 0x40);
}

TEST(SerialCodes, LineErrorSignalsAndParityTable) {
    const struct {
        int signal;
        std::uint32_t bit;
    } kTable[] = {{SIG_OVERRUN, kLineOverrun},
                  {SIG_PARITY_ERROR, kLineParity},
                  {SIG_FRAMING_ERROR, kLineFraming},
                  {SIG_BREAK_DETECT, kLineBreak},
                  {SIG_RX_OVERFLOW, kLineRxOverflow}};
    for (const auto& row : kTable) {
        EXPECT_EQ(LineErrorSignalState(row.bit, row.signal), 1) << row.signal;
        EXPECT_EQ(LineErrorSignalState(~row.bit & 0x1F, row.signal), 0) << row.signal;
    }
    EXPECT_EQ(LineErrorSignalState(0x1F, SIG_CTS), -1);
    EXPECT_EQ(ParityCode('N'), 0);
    EXPECT_EQ(ParityCode('S'), 4);
    EXPECT_EQ(ParityCode('X'), -1);
    EXPECT_EQ(ParityCode('\0'), -1);
    EXPECT_EQ(ParityLetter(2), 'E');
    EXPECT_EQ(ParityLetter(5), '\0');
}

TEST(SerialCodes, UseCountsStayWithinTheTable) {
    PortUseCounts::add(9);
    PortUseCounts::add(9);
    EXPECT_EQ(PortUseCounts::count(9), 2);
    PortUseCounts::release(9);
    PortUseCounts::release(9);
    PortUseCounts::release(9);
    EXPECT_EQ(PortUseCounts::count(9), 0);
    PortUseCounts::add(-1);
    PortUseCounts::add(PortUseCounts::kPortUseCountsSize);
    EXPECT_EQ(PortUseCounts::count(-1), 0);
    EXPECT_EQ(PortUseCounts::count(PortUseCounts::kPortUseCountsSize), 0);
}

TEST(SerialLinkSetup, SavesLineAndFlowAndPutsThemBack) {
    FakeSerialPort port;
    port.inFlowType = SIG_XONXOFF;  // as found
    {
        SerialLink link(&port);
        EXPECT_EQ(port.current, (LineCall{9600, 'N', 8, 1}));
        EXPECT_EQ(port.lineCalls, (std::vector<LineCall>{{1200, 'N', 8, 1}, {9600, 'N', 8, 1}}));
        EXPECT_EQ(port.inFlowType, 0);
        ASSERT_TRUE(link.line && link.flow);
        EXPECT_EQ(link.line->savedBaud, 19200);
        EXPECT_EQ(link.flow->savedInFlow, SIG_XONXOFF);

        // A second pair, as a connection makes them: it saves 9600 and restores it.
        LineSettings line(&link);
        FlowSettings flow(&link);
        EXPECT_EQ(line.savedBaud, 9600);
        EXPECT_EQ(line.setLineSettings(115200, 'N', 8, 1), 0);
        EXPECT_EQ(line.attach(&link), 0);  // 115200 is now the line to restore
        EXPECT_EQ(line.savedBaud, 115200);
        EXPECT_EQ(line.setLineSettings(9600, 'N', 8, 1), 0);
    }
    // Innermost first: the second pair put 115200 back, then the link's own 19200 and XON/XOFF.
    ASSERT_GE(port.lineCalls.size(), 2u);
    EXPECT_EQ(port.lineCalls[port.lineCalls.size() - 2], (LineCall{115200, 'N', 8, 1}));
    EXPECT_EQ(port.current, (LineCall{19200, 'N', 8, 1}));
    EXPECT_EQ(port.inFlowType, SIG_XONXOFF);
}

TEST(SerialLinkSetup, PortThatFailedToOpenGetsNoCompanionsAndReportsOnce) {
    FakeSerialPort port;
    port.lastError = Code(SerialError::SL_ERROR);
    SerialLink link(&port);
    EXPECT_FALSE(link.line);
    EXPECT_FALSE(link.flow);
    EXPECT_TRUE(port.lineCalls.empty());
    LineErrorWord word = 0xFFFF;
    EXPECT_EQ(link.checkLineErrors(&word), Code(SerialError::SL_ERROR));
    EXPECT_EQ(word, 0);
    EXPECT_EQ(port.lastError, 0);
    EXPECT_EQ(link.checkLineErrors(&word), 0);
}

TEST(SerialLinkSetup, UnboundAndRefusedSettingsReportGeneralFailure) {
    LineSettings unbound;
    EXPECT_EQ(unbound.baud, 1200);
    EXPECT_EQ(unbound.setLineSettings(9600, 'N', 8, 1), Code(SerialError::SL_ERROR));
    EXPECT_EQ(unbound.attach(nullptr), Code(SerialError::SL_ERROR));
    FlowSettings noFlow(nullptr);
    EXPECT_EQ(noFlow.setFlow(0, 0), Code(SerialError::SL_ERROR));
    EXPECT_EQ(noFlow.refreshSignals(), Code(SerialError::SL_ERROR));

    FakeSerialPort port;
    SerialLink link(&port);
    port.rejectBaud = 115200;
    port.takeLastError();
    EXPECT_EQ(link.line->setLineSettings(115200, 'N', 8, 1), Code(SerialError::SL_ERROR));
    EXPECT_EQ(port.lastError, Code(SerialError::SL_ERROR));  // the port's own code stays
}

TEST(SerialLinkSetup, CheckLineErrorsReportsEachErrorOnce) {
    FakeSerialPort port;
    SerialLink link(&port);
    const struct {
        std::uint32_t lineErrors;
        LineErrorWord word;
    } kTable[] = {{kLineFraming, kLineErrorFraming},
                  {kLineParity, kLineErrorParity},
                  {kLineRxOverflow, kLineErrorRxOverflow},
                  {kLineOverrun, kLineErrorOverrun},
                  {kLineBreak, kLineErrorBreak},
                  {0x1F, 0x1F}};
    for (const auto& row : kTable) {
        port.lineErrors = row.lineErrors;
        LineErrorWord word = 0;
        EXPECT_EQ(link.checkLineErrors(&word), 0);
        EXPECT_EQ(word, row.word);
        EXPECT_EQ(link.checkLineErrors(&word), 0);
        EXPECT_EQ(word, 0) << "reported twice";
    }
}

class SerialLinkIo : public ::testing::Test {
protected:
    VirtualClock clock{1000};
    ScopedClock scoped{clock};
    FakeSerialPort port;
    SerialLink link{&port};
};

TEST_F(SerialLinkIo, ReadByteTimeOuts) {
    port.readAttempts = 0;
    EXPECT_EQ(link.readByte(0), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(port.readAttempts, 1);
    EXPECT_EQ(port.yields, 0);

    EXPECT_EQ(link.readByte(55), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(clock.TickCount(), 1055u);

    port.received.push_back(0xAB);
    EXPECT_EQ(link.readByte(55), 0xAB);
    EXPECT_EQ(clock.TickCount(), 1055u);

    port.yields = 0;
    port.arriveAfterYields = 7;
    port.arrivingByte = 0x00;
    EXPECT_EQ(link.readByte(55), 0x00);
    EXPECT_EQ(clock.TickCount(), 1062u);
}

TEST_F(SerialLinkIo, ReadByteEndsWithANegativeYield) {
    port.yieldResult = -5;
    EXPECT_EQ(link.readByte(55), -5);
    EXPECT_EQ(port.yields, 1);
}

TEST_F(SerialLinkIo, ReadByteSurvivesAWrappingTickCount) {
    clock.Advance(0xFFFFFFFFu - 1000u - 10u);  // 10 ms before the wrap
    EXPECT_EQ(link.readByte(55), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(port.yields, 55);
}

TEST_F(SerialLinkIo, WriteTextTerminators) {
    const struct {
        const char* text;
        int terminator;
        int result;
        const char* sent;
    } kTable[] = {
        {"V", -3, 3, "V\r\n"}, {"V", -2, 2, "V\n"},   {"V", -1, 1, "V"},      {"I\r", -1, 2, "I\r"},
        {"V", 65, 2, "VA"},    {"V", 0, 2, "V\0"},    {"V", 255, 2, "V\xFF"}, {"V", 256, 0, ""},
        {"V", -4, 0, ""},      {nullptr, -1, 0, ""},  {"", -3, 2, "\r\n"},
    };
    for (const auto& row : kTable) {
        port.sent.clear();
        const int expectedLength = row.terminator == 0 ? 2 : static_cast<int>(std::strlen(row.sent));
        EXPECT_EQ(link.writeText(row.text, row.terminator), row.result) << row.text << " " << row.terminator;
        EXPECT_EQ(port.sent, std::string(row.sent, static_cast<std::size_t>(expectedLength)));
    }
}

TEST_F(SerialLinkIo, WriteTextStopsAtTheFirstShortWrite) {
    const struct {
        int room;
        int terminator;
        int result;
    } kTable[] = {{2, -1, 2}, {2, -3, 2}, {3, -3, 3}, {4, -3, 4}, {3, -2, 3}, {3, 'x', 3}};
    for (const auto& row : kTable) {
        port.room = row.room;
        port.sent.clear();
        EXPECT_EQ(link.writeText("abc", row.terminator), row.result) << row.room << " " << row.terminator;
        EXPECT_EQ(static_cast<int>(port.sent.size()), std::min(row.room, row.result));
    }
}

TEST_F(SerialLinkIo, WriteByteWaitsForPacing) {
    EXPECT_EQ(link.writeByte('a'), 0);
    EXPECT_EQ(port.yields, 0);
    link.pacing = 3;
    EXPECT_EQ(link.writeByte('b'), 0);
    EXPECT_EQ(port.yields, 3);
    port.room = 0;
    EXPECT_EQ(link.writeByte('c'), Code(SerialError::SL_SHORT_WRITE));
    port.yieldResult = -9;
    EXPECT_EQ(link.writeByte('d'), -9);
}

TEST_F(SerialLinkIo, BlockStatusAndPurgePassThrough) {
    EXPECT_EQ(link.writeBlock(nullptr, 5), 0);
    EXPECT_EQ(link.writeBlock("12345", 5), 5);
    PortStatus status;
    link.getStatus(&status);
    EXPECT_EQ(port.lastSelector, 7);
    EXPECT_EQ(status.transmitCount, 5u);
    link.purgeReceive(3);
    EXPECT_EQ(port.lastPurge, (std::pair<int, int>{0, 3}));
    link.purgeTransmit();
    EXPECT_EQ(port.lastPurge, (std::pair<int, int>{1, 0}));
    EXPECT_EQ(link.reserved(), Code(SerialError::SL_UNSUPPORTED));
    EXPECT_EQ(port.reserved23(), Code(SerialError::SL_UNSUPPORTED));
    EXPECT_EQ(port.reserved24(), Code(SerialError::SL_UNSUPPORTED));
}

TEST(SerialPortFactory, InstalledFactoryMakesThePorts) {
    int made = 0;
    ScopedSerialPortFactory scoped([&made](int index, int in, int out) {
        ++made;
        EXPECT_EQ(in, kInQueueSize);
        EXPECT_EQ(out, kOutQueueSize);
        return std::make_unique<FakeSerialPort>(index);
    });
    auto port = CreateSerialPort(2);
    ASSERT_TRUE(port);
    EXPECT_EQ(port->portIndex, 2);
    EXPECT_EQ(made, 1);
}

}  // namespace
}  // namespace zul
