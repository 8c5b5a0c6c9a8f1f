#include "sim/simulated_tester_port.h"

#include <algorithm>
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
    : SerialPort(portIndex, false), tester_(tester), clock_(clock), lastTick_(clock.TickCount()), simNow_(tester.now()) {
    storeQueueSizes(kInQueueSize, kOutQueueSize);
    configureAndRaiseLines();
}

SimNanos SimulatedTesterPort::Now() {
    const std::uint32_t tick = clock_.TickCount();
    simNow_ += static_cast<SimNanos>(static_cast<std::uint32_t>(tick - lastTick_)) * kNanosPerMs;
    lastTick_ = tick;
    simNow_ = std::max(simNow_, tester_.now());
    return simNow_;
}

void SimulatedTesterPort::Pull() {
    const auto bytes = tester_.TakeOutput(Now(), line_.baud);
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

int SimulatedTesterPort::openDevice() {
    Pull();
    rx_.clear();
    open_ = true;
    dtrState_ = rtsState_ = 1;
    return 0;
}

int SimulatedTesterPort::closeDevice() {
    if (open_) {
        tester_.DropPcUnsent(Now());
        rx_.clear();
    }
    open_ = false;
    dtrState_ = rtsState_ = 0;
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
    storeQueueSizes(std::max(1, inQueueSize & 0xFFFF), std::max(1, outQueueSize & 0xFFFF));
    return 0;
}

int SimulatedTesterPort::applyFlow(int inFlow, int outFlow) {
    if (inFlow != SIG_NONE || outFlow != SIG_NONE) return recordError(SerialError::SL_UNSUPPORTED);
    return 0;
}

int SimulatedTesterPort::applyLine(const LineFormat& line) {
    if (!StandardBaud(line.baud)) return recordError(SerialError::SL_ERROR);
    // What is already on the wire was received at the old speed.
    Pull();
    return 0;
}

int SimulatedTesterPort::writeBlock(const void* data, int count) {
    if (data == nullptr || count <= 0) return 0;
    if (!open_) {
        recordError(SerialError::SL_SHORT_WRITE);
        return 0;
    }
    const SimNanos now = Now();
    const std::size_t inFlight = tester_.PcBytesInFlight(now);
    const std::size_t space = inFlight >= static_cast<std::size_t>(outQueueSize_) ? 0 : outQueueSize_ - inFlight;
    const int n = static_cast<int>(std::min<std::size_t>(space, static_cast<std::size_t>(count)));
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (EightNOne()) {
        tester_.Receive(bytes, static_cast<std::size_t>(n), now, line_.baud);
    } else {
        std::vector<std::uint8_t> misframed(bytes, bytes + n);
        for (std::uint8_t& b : misframed) b = Misframed(b);
        tester_.Receive(misframed.data(), misframed.size(), now, line_.baud);
    }
    if (n < count) recordError(SerialError::SL_SHORT_WRITE);
    return n;
}

int SimulatedTesterPort::transmitImmediate(std::uint8_t byte) {
    return writeBlock(&byte, 1) == 1 ? 0 : Code(SerialError::SL_ERROR);
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

void SimulatedTesterPort::dropReceiveQueue() {
    Pull();
    rx_.clear();
}

void SimulatedTesterPort::dropTransmitQueue() { tester_.DropPcUnsent(Now()); }

void SimulatedTesterPort::dump(const TextSink& sink) {
    if (!sink) return;
    sink("Simulated tester port, index " + std::to_string(portIndex) + (open_ ? ", open" : ", closed"));
    int baud = 0, dataBits = 0, stopBits = 0;
    char parity = '\0';
    getLine(&baud, &parity, &dataBits, &stopBits);
    sink("Line: " + std::to_string(baud) + " " + std::string(1, parity) + " " + std::to_string(dataBits) + " " +
         std::to_string(stopBits));
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
