#pragma once
// A SerialPort whose far end is a TesterSimulator, on any platform, in the
// time of a Clock. The line carries the speed and the frame the PC sets: at
// another speed than the tester's the bytes garble as on a cable, and with
// another frame than 8N1 every byte does. With a VirtualClock every wait of the protocol code (the
// link's read time-outs call yield, which sleeps 1 ms on the clock; fixed
// waits sleep on it directly) moves the tester along, so multi-second
// time-outs take microseconds.
//
//   VirtualClock clock;
//   ScopedClock installed(clock);
//   sim::TesterSimulator tester;
//   sim::SimulatedTesterPort port(tester, clock);
//   SerialLink link(&port);
//
// or, for code that opens its own port by COM number:
//
//   ScopedSerialPortFactory factory(sim::SimulatedTesterPortFactory(tester, clock));
#include <cstdint>
#include <deque>

#include "serial/serial_port.h"
#include "sim/tester_simulator.h"
#include "support/clock.h"

namespace zul::sim {

class SimulatedTesterPort : public SerialPort {
public:
    // Open and configured (19200 8N1, as a fresh platform port). The tester
    // and the clock must outlive the port. Several ports may be made one
    // after the other over the same tester (a link per conversation).
    SimulatedTesterPort(TesterSimulator& tester, Clock& clock, int portIndex = 0);
    ~SimulatedTesterPort() override = default;

    // Opening drops what arrived while closed; closing drops what was not sent.
    int openDevice() override;
    int closeDevice() override;
    bool isOpen() const { return open_; }

    // Sleeps 1 ms on the clock, which moves the tester along.
    int yield() override;
    // The simulator time that corresponds to the clock's present.
    SimNanos Now();
    void pollStatus() override;
    void getStatus(PortStatus* status, int selector) override;
    // Sizes below 1 become 1.
    int setQueueSizes(int inQueueSize, int outQueueSize) override;

    // The PC side's line speed.
    int baud() const { return line_.baud; }
    // The line format the tester uses. With any other, every byte either
    // way arrives garbled (and the PC's port sees framing errors).
    bool EightNOne() const { return line_.dataBits == 8 && line_.parity == 0 && line_.stopBits == kStopBitsOne; }
    int writeBlock(const void* data, int count) override;
    int readBlock(void* buffer, int count) override;
    int transmitImmediate(std::uint8_t byte) override;
    void dump(const TextSink& sink) override;

private:
    bool hasWorkingRecord() const override { return true; }
    void applyDefaults() override {}
    // Only the speeds of the PC's port driver; the line takes effect after
    // what is already on the wire has been received at the old one.
    int applyLine(const LineFormat& line) override;
    // The tester cable carries only data lines: no flow control can be driven.
    int applyFlow(int inFlow, int outFlow) override;

    void driveModemLine(int, bool) override {}
    // CTS, DSR and CD are on while the port is open (the tester is connected
    // and powered); RI never is.
    int modemSignal(std::uint32_t modemBit) override { return modemBit != kModemRing && open_ ? 1 : 0; }
    int driveBreak(int state) override { return state == 1 ? 1 : 0; }

    void dropReceiveQueue() override;
    void dropTransmitQueue() override;
    // Moves what the tester sent by now into the receive queue.
    void Pull();

    TesterSimulator& tester_;
    Clock& clock_;
    std::uint32_t lastTick_;
    SimNanos simNow_;
    bool open_ = false;
    std::deque<std::uint8_t> rx_;
};

// A factory for ScopedSerialPortFactory / SetSerialPortFactory that makes
// SimulatedTesterPorts over `tester` (every port index reaches the same tester).
SerialPortFactory SimulatedTesterPortFactory(TesterSimulator& tester, Clock& clock);

}  // namespace zul::sim
