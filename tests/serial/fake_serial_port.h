#pragma once
// A port without a device: a receive queue the test fills, a transmit record
// with a settable room, line and flow as last applied, and counters of the
// calls the link makes.
#include <deque>
#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "support/clock.h"

namespace zul::test {

class FakeSerialPort final : public SerialPort {
public:
    struct LineCall {
        int baud;
        char parity;
        int dataBits;
        int stopBits;
        bool operator==(const LineCall&) const = default;
    };

    explicit FakeSerialPort(int index = 0) : SerialPort(index) {}

    std::deque<int> received;      // bytes that have arrived
    std::string sent;              // bytes queued for sending
    int room = 1 << 30;            // bytes the transmit queue still takes
    int yieldResult = 0;           // what yield returns
    int yields = 0;                // calls of yield
    int readAttempts = 0;          // calls of readByte
    // A byte that arrives after this many yields (-1: none).
    int arriveAfterYields = -1;
    int arrivingByte = 0;
    std::uint32_t lineErrors = 0;  // kLine* bits, cleared by readSignals
    int rejectBaud = -1;           // setLine with this baud fails with -801
    LineCall current{19200, 'N', 8, 1};
    std::vector<LineCall> lineCalls;
    int inFlowType = 0, outFlowType = 0;
    std::vector<std::pair<int, int>> flowCalls;

    int yield() override {
        ++yields;
        if (arriveAfterYields >= 0 && yields == arriveAfterYields) received.push_back(arrivingByte);
        CurrentClock().Sleep(1);
        return yieldResult;
    }
    void pollStatus() override {}
    void configure() override {}
    int openDevice() override { return 0; }
    int closeDevice() override { return 0; }
    void getStatus(PortStatus* status, int selector) override {
        lastSelector = selector;
        status->receiveMarker = status->transmitMarker = 1;
        status->receiveCount = static_cast<std::uint32_t>(received.size());
        status->transmitCount = static_cast<std::uint32_t>(sent.size());
    }
    int setQueueSizes(int, int) override { return 0; }
    int setFlowControl(int in, int out) override {
        flowCalls.emplace_back(in, out);
        inFlowType = in;
        outFlowType = out;
        return 0;
    }
    int getFlowControl(int* in, int* out) override {
        *in = inFlowType;
        *out = outFlowType;
        return 0;
    }
    int setBreak(int) override { return 0; }
    int lineControl(int signal, int value) override {
        (void)value;
        const int state = LineErrorSignalState(lineErrors, signal);
        if (state >= 0) return state;
        return signal == SIG_DTR || signal == SIG_RTS ? 1 : 0;
    }
    int setLine(int baud, char parity, int dataBits, int stopBits) override {
        lineCalls.push_back({baud, parity, dataBits, stopBits});
        if (baud == rejectBaud) return recordError(SerialError::SL_ERROR);
        current = {baud, parity, dataBits, stopBits};
        return 0;
    }
    void getLine(int* baud, char* parity, int* dataBits, int* stopBits) override {
        *baud = current.baud;
        *parity = current.parity;
        *dataBits = current.dataBits;
        *stopBits = current.stopBits;
    }
    int readSignals(SignalRecord* record) override {
        FillSignalRecord(*this, record);
        lineErrors = 0;
        return 0;
    }
    int writeByte(std::uint8_t byte) override { return writeBlock(&byte, 1) == 1 ? 0 : lastError; }
    int writeString(const char* text) override { return writeBlock(text, static_cast<int>(std::string(text).size())); }
    int writeBlock(const void* data, int count) override {
        int amount = count < room ? count : room;
        if (amount < 0) amount = 0;
        const auto* bytes = static_cast<const char*>(data);
        for (int i = 0; i < amount; ++i) sent.push_back(bytes[i]);
        room -= amount;
        if (amount < count) recordError(SerialError::SL_SHORT_WRITE);
        return amount;
    }
    int transmitImmediate(std::uint8_t byte) override { return writeByte(byte); }
    int readByte() override {
        ++readAttempts;
        if (received.empty()) return Code(SerialError::SL_NO_DATA);
        const int byte = received.front();
        received.pop_front();
        return byte;
    }
    int readBlock(void* buffer, int count) override {
        int n = 0;
        auto* out = static_cast<std::uint8_t*>(buffer);
        while (n < count && !received.empty()) {
            out[n++] = static_cast<std::uint8_t>(received.front());
            received.pop_front();
        }
        return n;
    }
    int purge(int direction, int count) override {
        lastPurge = {direction, count};
        return 0;
    }
    void dump(const TextSink& sink) override { sink("fake port"); }

    int lastSelector = -1;
    std::pair<int, int> lastPurge{-1, -1};

protected:
    // Every slot above is the fake's own: the device work below is never reached.
    bool hasWorkingRecord() const override { return true; }
    void applyDefaults() override {}
    int applyFlow(int, int) override { return 0; }
    int applyLine(const LineFormat&) override { return 0; }
    int driveBreak(int state) override { return state; }
    void driveModemLine(int, bool) override {}
    int modemSignal(std::uint32_t) override { return 0; }
    void dropReceiveQueue() override {}
    void dropTransmitQueue() override {}
};

}  // namespace zul::test
