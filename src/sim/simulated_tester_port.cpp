#include "sim/simulated_tester_port.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace zul::sim {
namespace {

bool StandardBaud(int baud) {
    static const int kRates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 128000, 256000};
    return std::find(std::begin(kRates), std::end(kRates), baud) != std::end(kRates);
}

// The tester talks 8N1 only. A receiver set for another frame samples other
// bits than the sender put there; the exact outcome depends on the byte and
// the two frames, and is sometimes even right. The simulation makes it
// always wrong, so that a wrong line format can never pass unnoticed: the
// bit where the frames part is taken as inverted.
std::uint8_t Misframed(std::uint8_t byte) { return static_cast<std::uint8_t>(byte ^ 0x80); }

}  // namespace

SimulatedTesterPort::SimulatedTesterPort(TesterSimulator& tester, Clock& clock, int portIndex)
    : SerialPort(portIndex), tester_(tester), clock_(clock), lastTick_(clock.TickCount()), simNow_(tester.now()) {
    configure();
}

SimNanos SimulatedTesterPort::Now() {
    const std::uint32_t tick = clock_.TickCount();
    simNow_ += static_cast<SimNanos>(static_cast<std::uint32_t>(tick - lastTick_)) * kNanosPerMs;
    lastTick_ = tick;
    simNow_ = std::max(simNow_, tester_.now());
    return simNow_;
}

void SimulatedTesterPort::Pull() {
    const auto bytes = tester_.TakeOutput(Now(), baud_);
    if (!open_) return;  // nobody listens: what arrives is lost
    const bool misframed = !EightNOne();
    for (std::uint8_t b : bytes) {
        if (rx_.size() >= static_cast<std::size_t>(inQueueSize_)) {
            lineErrors_ |= kLineRxOverflow;
            continue;
        }
        if (misframed) lineErrors_ |= kLineFraming;
        rx_.push_back(misframed ? Misframed(b) : b);
    }
}

int SimulatedTesterPort::yield() {
    clock_.Sleep(1);
    return 0;
}

void SimulatedTesterPort::pollStatus() { Pull(); }

void SimulatedTesterPort::configure() {
    openDevice();
    baud_ = 19200;
    parity_ = 'N';
    dataBits_ = 8;
    stopBits_ = 1;
}

int SimulatedTesterPort::openDevice() {
    Pull();
    rx_.clear();
    open_ = true;
    dtr_ = rts_ = true;
    return 0;
}

int SimulatedTesterPort::closeDevice() {
    if (open_) {
        tester_.DropPcUnsent(Now());
        rx_.clear();
    }
    open_ = false;
    dtr_ = rts_ = false;
    return 0;
}

void SimulatedTesterPort::getStatus(PortStatus* status, int) {
    if (!status) return;
    Pull();
    status->receiveMarker = 1;
    status->receiveCount = static_cast<std::uint32_t>(rx_.size());
    status->receiveSize = static_cast<std::uint32_t>(inQueueSize_);
    status->transmitMarker = 1;
    status->transmitCount = open_ ? static_cast<std::uint32_t>(tester_.PcBytesInFlight(Now())) : 0;
    status->transmitSize = static_cast<std::uint32_t>(outQueueSize_);
}

int SimulatedTesterPort::setQueueSizes(int inQueueSize, int outQueueSize) {
    inQueueSize_ = std::max(1, inQueueSize & 0xFFFF);
    outQueueSize_ = std::max(1, outQueueSize & 0xFFFF);
    return 0;
}

int SimulatedTesterPort::setFlowControl(int inFlow, int outFlow) {
    // The tester cable carries only data lines: no flow control can be driven.
    if (inFlow == SIG_DSR) return recordError(SL_UNSUPPORTED);
    if (inFlow != SIG_NONE && inFlow != SIG_XONXOFF && inFlow != SIG_DTR && inFlow != SIG_RTS) {
        lastError = SL_BAD_IN_FLOW;
        return SL_ERROR;
    }
    if (outFlow == SIG_CD) return recordError(SL_UNSUPPORTED);
    if (outFlow != SIG_NONE && outFlow != SIG_XONXOFF && outFlow != SIG_CTS && outFlow != SIG_DSR) {
        return recordError(SL_BAD_OUT_FLOW);
    }
    if (inFlow != SIG_NONE || outFlow != SIG_NONE) return recordError(SL_UNSUPPORTED);
    return 0;
}

int SimulatedTesterPort::getFlowControl(int* inFlow, int* outFlow) {
    if (inFlow) *inFlow = 0;
    if (outFlow) *outFlow = 0;
    return 0;
}

int SimulatedTesterPort::setBreak(int state) {
    if (state < 0) return break_;
    break_ = state == 1 ? 1 : 0;
    return break_;
}

int SimulatedTesterPort::lineControl(int signal, int value) {
    if (signal == SIG_BREAK) return setBreak(value);
    if (signal == SIG_DTR && value != -1) dtr_ = value != 0;
    if (signal == SIG_RTS && value != -1) rts_ = value != 0;
    switch (signal) {
        case SIG_DTR: return dtr_ ? 1 : 0;
        case SIG_RTS: return rts_ ? 1 : 0;
        case SIG_CTS:
        case SIG_DSR:
        case SIG_CD: return open_ ? 1 : 0;  // the tester is connected and powered
        case SIG_RI: return 0;
        case SIG_DELTA_CTS:
        case SIG_DELTA_DSR:
        case SIG_DELTA_RI:
        case SIG_DELTA_CD: return 0;
        default: break;
    }
    const int lineError = LineErrorSignalState(lineErrors_, signal);
    return lineError >= 0 ? lineError : 2;
}

int SimulatedTesterPort::setLine(int baud, char parity, int dataBits, int stopBits) {
    if (ParityCode(parity) < 0 || parity == '\0') return recordError(SL_BAD_PARITY);
    if (dataBits < 4 || dataBits > 8) return recordError(SL_BAD_DATA_BITS);
    if (stopBits < 1 || stopBits > 2) return recordError(SL_BAD_STOP_BITS);
    if (!StandardBaud(baud)) return recordError(SL_ERROR);
    // What is already on the wire was received at the old speed.
    Pull();
    baud_ = baud;
    parity_ = parity;
    dataBits_ = dataBits;
    stopBits_ = dataBits == 5 ? 1 : stopBits;
    return 0;
}

void SimulatedTesterPort::getLine(int* baud, char* parity, int* dataBits, int* stopBits) {
    if (baud) *baud = baud_;
    if (parity) *parity = parity_;
    if (dataBits) *dataBits = dataBits_;
    if (stopBits) *stopBits = stopBits_;
}

int SimulatedTesterPort::readSignals(SignalRecord* record) {
    pollStatus();
    SignalRecord local;
    FillSignalRecord(*this, record ? record : &local);
    lineErrors_ = 0;
    return 0;
}

int SimulatedTesterPort::writeByte(std::uint8_t byte) { return writeBlock(&byte, 1) == 1 ? 0 : lastError; }

int SimulatedTesterPort::writeString(const char* text) {
    return text ? writeBlock(text, static_cast<int>(std::strlen(text))) : 0;
}

int SimulatedTesterPort::writeBlock(const void* data, int count) {
    if (data == nullptr || count <= 0) return 0;
    if (!open_) {
        recordError(SL_SHORT_WRITE);
        return 0;
    }
    const SimNanos now = Now();
    const std::size_t inFlight = tester_.PcBytesInFlight(now);
    const std::size_t space = inFlight >= static_cast<std::size_t>(outQueueSize_) ? 0 : outQueueSize_ - inFlight;
    const int n = static_cast<int>(std::min<std::size_t>(space, static_cast<std::size_t>(count)));
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (EightNOne()) {
        tester_.Receive(bytes, static_cast<std::size_t>(n), now, baud_);
    } else {
        std::vector<std::uint8_t> misframed(bytes, bytes + n);
        for (std::uint8_t& b : misframed) b = Misframed(b);
        tester_.Receive(misframed.data(), misframed.size(), now, baud_);
    }
    if (n < count) recordError(SL_SHORT_WRITE);
    return n;
}

int SimulatedTesterPort::transmitImmediate(std::uint8_t byte) { return writeBlock(&byte, 1) == 1 ? 0 : SL_ERROR; }

int SimulatedTesterPort::readByte() {
    Pull();
    if (rx_.empty()) return SL_NO_DATA;
    const std::uint8_t b = rx_.front();
    rx_.pop_front();
    return b;
}

int SimulatedTesterPort::readBlock(void* buffer, int count) {
    if (buffer == nullptr || count <= 0) return 0;
    Pull();
    int n = 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (n < count && !rx_.empty()) {
        out[n++] = rx_.front();
        rx_.pop_front();
    }
    return n;
}

int SimulatedTesterPort::purge(int direction, int count) {
    if (direction != 0) {
        tester_.DropPcUnsent(Now());
        return 0;
    }
    Pull();
    if (count == 0) {
        rx_.clear();
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        if (rx_.empty()) return 0;
        rx_.pop_front();
    }
    return SL_ERROR;
}

void SimulatedTesterPort::dump(const TextSink& sink) {
    if (!sink) return;
    sink("Simulated tester port, index " + std::to_string(portIndex) + (open_ ? ", open" : ", closed"));
    sink("Line: " + std::to_string(baud_) + " " + std::string(1, parity_) + " " + std::to_string(dataBits_) + " " +
         std::to_string(stopBits_));
    sink(std::string("Tester: ") + SimStateName(tester_.state()) + " at " + std::to_string(tester_.baud()));
    sink("Receive queue: " + std::to_string(rx_.size()) + " of " + std::to_string(inQueueSize_));
}

SerialPortFactory SimulatedTesterPortFactory(TesterSimulator& tester, Clock& clock) {
    return [&tester, &clock](int portIndex, int inQueueSize, int outQueueSize) -> std::unique_ptr<SerialPort> {
        auto port = std::make_unique<SimulatedTesterPort>(tester, clock, portIndex);
        port->setQueueSizes(inQueueSize, outQueueSize);
        return port;
    };
}

}  // namespace zul::sim
