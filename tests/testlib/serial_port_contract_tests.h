#pragma once
// The cases of the port contract (see serial_port_contract.h). Defines tests:
// include it in one file per test program, the one that instantiates the suite.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testlib/serial_port_contract.h"

namespace zul::test {

TEST_P(SerialPortContract, OpensAt19200N81WithoutFlowControlAndWithDtrAndRtsRaised) {
    EXPECT_EQ(Line(), "19200 N 8 1");
    EXPECT_EQ(Flow(), std::make_pair(0, 0));
    EXPECT_EQ(port().lineControl(SIG_DTR, -1), 1);
    EXPECT_EQ(port().lineControl(SIG_RTS, -1), 1);
    EXPECT_EQ(port().setBreak(-1), 0);
    PortStatus status;
    port().getStatus(&status, 7);
    EXPECT_EQ(status.receiveMarker, 1u);
    EXPECT_EQ(status.transmitMarker, 1u);
    EXPECT_EQ(status.receiveSize, static_cast<std::uint32_t>(kInQueueSize));
    EXPECT_EQ(status.transmitSize, static_cast<std::uint32_t>(kOutQueueSize));
    EXPECT_EQ(status.receiveCount, 0u);
    EXPECT_EQ(status.holdFlags, 0u);
}

TEST_P(SerialPortContract, SetLineAppliesWhatEveryDeviceCarriesAndRefusesBadArgumentsWithoutChange) {
    const struct {
        int baud;
        char parity;
        int dataBits;
        int stopBits;
        const char* line;  // getLine afterwards
    } kTable[] = {
        {9600, 'N', 8, 1, "9600 N 8 1"},
        {115200, 'E', 7, 2, "115200 E 7 2"},
        {1200, 'O', 5, 2, "1200 O 5 1"},  // five data bits have 1.5 stop bits, reported as 1
        {4800, 'S', 6, 1, "4800 S 6 1"},
        {57600, 'M', 8, 1, "57600 M 8 1"},
    };
    for (const auto& row : kTable) {
        EXPECT_EQ(port().setLine(row.baud, row.parity, row.dataBits, row.stopBits), 0) << row.line;
        EXPECT_EQ(Line(), row.line);
    }
    for (const auto& row : kLineRefusals) {
        port().lastError = 0;
        EXPECT_EQ(port().setLine(row.baud, row.parity, row.dataBits, row.stopBits), Code(row.result))
            << row.baud << " " << row.parity << " " << row.dataBits << " " << row.stopBits;
        EXPECT_EQ(port().lastError, Code(row.result)) << row.baud;
        EXPECT_EQ(Line(), "57600 M 8 1") << row.baud;
    }
    EXPECT_EQ(port().setLine(38400, 'N', 8, 1), 0);
    EXPECT_EQ(Line(), "38400 N 8 1");
}

TEST_P(SerialPortContract, FlowTypesOutsideTheTableAreRefusedWithTheirCodes) {
    using enum SerialError;
    const struct {
        int in, out;
        SerialError result, recorded;
    } kTable[] = {
        {SIG_DSR, 0, SL_UNSUPPORTED, SL_UNSUPPORTED}, {2, 0, SL_ERROR, SL_BAD_IN_FLOW},
        {SIG_CTS, 0, SL_ERROR, SL_BAD_IN_FLOW},       {-1, 0, SL_ERROR, SL_BAD_IN_FLOW},
        {0, SIG_CD, SL_UNSUPPORTED, SL_UNSUPPORTED},  {0, SIG_RI, SL_BAD_OUT_FLOW, SL_BAD_OUT_FLOW},
        {0, SIG_DTR, SL_BAD_OUT_FLOW, SL_BAD_OUT_FLOW}, {SIG_DSR, SIG_RI, SL_UNSUPPORTED, SL_UNSUPPORTED},
        {7, SIG_CD, SL_ERROR, SL_BAD_IN_FLOW},        {0, 0, SL_OK, SL_OK},
    };
    for (const auto& row : kTable) {
        port().lastError = 0;
        EXPECT_EQ(port().setFlowControl(row.in, row.out), Code(row.result)) << row.in << "/" << row.out;
        EXPECT_EQ(port().lastError, Code(row.recorded)) << row.in << "/" << row.out;
        EXPECT_EQ(Flow(), std::make_pair(0, 0)) << row.in << "/" << row.out;
    }
}

TEST_P(SerialPortContract, ModemLinesAndSignalCodes) {
    EXPECT_EQ(port().lineControl(SIG_DTR, 0), 0);
    EXPECT_EQ(port().lineControl(SIG_RTS, 0), 0);
    EXPECT_EQ(port().lineControl(SIG_RTS, 5), 1);
    EXPECT_EQ(port().lineControl(SIG_DTR, -1), 0);
    for (int code : {SIG_DELTA_CTS, SIG_DELTA_DSR, SIG_DELTA_RI, SIG_DELTA_CD})
        EXPECT_EQ(port().lineControl(code, -1), 0) << code;
    for (int code : {2, 9, 16, 99}) EXPECT_EQ(port().lineControl(code, -1), 2) << code;
    for (int code : {SIG_CTS, SIG_DSR, SIG_RI, SIG_CD}) {
        const int state = port().lineControl(code, -1);
        EXPECT_TRUE(state == 0 || state == 1) << code;
    }
    SignalRecord record;
    EXPECT_EQ(port().readSignals(&record), 0);
    EXPECT_EQ(record.get(SIG_DTR), 0);
    EXPECT_EQ(record.get(SIG_RTS), 1);
    for (int code : {SIG_OVERRUN, SIG_PARITY_ERROR, SIG_FRAMING_ERROR, SIG_BREAK_DETECT, SIG_RX_OVERFLOW})
        EXPECT_EQ(record.get(code), 0) << code;
    EXPECT_EQ(port().readSignals(nullptr), 0);
}

TEST_P(SerialPortContract, WritesQueueAtMostTheTransmitQueue) {
    EXPECT_EQ(port().writeString(nullptr), 0);
    EXPECT_EQ(port().writeBlock(nullptr, 5), 0);
    EXPECT_EQ(port().writeBlock("x", 0), 0);
    EXPECT_EQ(port().lastError, 0);
    const std::vector<char> block(3000, 'U');
    EXPECT_EQ(port().writeBlock(block.data(), 3000), kOutQueueSize);
    EXPECT_EQ(port().lastError, Code(SerialError::SL_SHORT_WRITE));
    EXPECT_EQ(port().purge(1, 0), 0);
}

TEST_P(SerialPortContract, ReadsTakeOnlyWhatHasArrivedAndPurgeCountsWhatItDrops) {
    char buffer[256];
    EXPECT_EQ(port().readByte(), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(port().readBlock(buffer, 8), 0);
    EXPECT_EQ(port().readBlock(nullptr, 8), 0);
    EXPECT_EQ(port().purge(0, 3), 0);  // ran empty at once

    const std::string marker = harness->Exchange();
    ASSERT_FALSE(marker.empty());
    PortStatus status;
    port().getStatus(&status, 7);
    const int waiting = static_cast<int>(status.receiveCount);
    ASSERT_GE(waiting, static_cast<int>(marker.size()) + 2);
    ASSERT_LE(waiting, static_cast<int>(sizeof buffer));
    // Two dropped with more behind them: the count ran out first.
    EXPECT_EQ(port().purge(0, 2), Code(SerialError::SL_ERROR));
    const int first = port().readByte();
    ASSERT_GE(first, 0);
    ASSERT_LE(first, 255);
    EXPECT_EQ(port().readBlock(buffer, sizeof buffer), waiting - 3);
    EXPECT_NE(std::string(buffer, static_cast<std::size_t>(waiting - 3)).find(marker), std::string::npos);
    EXPECT_EQ(port().readByte(), Code(SerialError::SL_NO_DATA));
    EXPECT_EQ(port().lastError, 0);

    ASSERT_FALSE(harness->Exchange().empty());
    EXPECT_EQ(port().purge(0, 0), 0);
    EXPECT_EQ(port().readByte(), Code(SerialError::SL_NO_DATA));
    std::vector<std::string> lines;
    port().dump([&lines](std::string_view line) { lines.emplace_back(line); });
    EXPECT_FALSE(lines.empty());
}

}  // namespace zul::test
