#include "serial/serial_link.h"

#include <cstdio>
#include <cstring>

#include "serial/serial_port.h"
#include "support/clock.h"

namespace zul {
namespace {

std::string LineText(const char* label, int baud, char parity, int dataBits, int stopBits) {
    char text[96];
    std::snprintf(text, sizeof text, "%s %d %c %d %d", label, baud, parity == '\0' ? '?' : parity, dataBits, stopBits);
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// LineSettings

LineSettings::LineSettings(SerialLink* link) {
    if (link != nullptr) attach(link);
}

LineSettings::~LineSettings() {
    if (port == nullptr) return;
    baud = savedBaud;
    parity = savedParity;
    dataBits = savedDataBits;
    stopBits = savedStopBits;
    port->setLine(baud, parity, dataBits, stopBits);
}

int LineSettings::attach(SerialLink* link) {
    if (link == nullptr || link->port == nullptr) return Code(SerialError::SL_ERROR);
    port = link->port;
    port->getLine(&savedBaud, &savedParity, &savedDataBits, &savedStopBits);
    return port->setLine(baud, parity, dataBits, stopBits) == 0 ? 0 : Code(SerialError::SL_ERROR);
}

int LineSettings::setLineSettings(int newBaud, char newParity, int newDataBits, int newStopBits) {
    baud = newBaud;
    parity = newParity;
    dataBits = newDataBits;
    stopBits = newStopBits;
    if (port == nullptr) return Code(SerialError::SL_ERROR);
    return port->setLine(baud, parity, dataBits, stopBits) == 0 ? 0 : Code(SerialError::SL_ERROR);
}

void LineSettings::dump(const TextSink& sink) const {
    sink(LineText("line wanted", baud, parity, dataBits, stopBits));
    sink(LineText("line saved", savedBaud, savedParity, savedDataBits, savedStopBits));
    sink(port != nullptr ? "line bound" : "line unbound");
}

// ---------------------------------------------------------------------------
// FlowSettings

FlowSettings::FlowSettings(SerialLink* link) : port(link != nullptr ? link->port : nullptr) {
    if (port == nullptr) return;
    port->readSignals(&signals);
    port->getFlowControl(&savedInFlow, &savedOutFlow);
    inFlow = savedInFlow;
    outFlow = savedOutFlow;
}

FlowSettings::~FlowSettings() {
    if (port != nullptr) restoreFlow();
}

int FlowSettings::setFlow(int newInFlow, int newOutFlow) {
    inFlow = newInFlow;
    outFlow = newOutFlow;
    if (port == nullptr) return Code(SerialError::SL_ERROR);
    return port->setFlowControl(inFlow, outFlow);
}

int FlowSettings::restoreFlow() { return setFlow(savedInFlow, savedOutFlow); }

int FlowSettings::refreshSignals() {
    if (port == nullptr) return Code(SerialError::SL_ERROR);
    return port->readSignals(&signals);
}

void FlowSettings::dump(const TextSink& sink) const {
    char text[96];
    std::snprintf(text, sizeof text, "flow wanted in %d out %d", inFlow, outFlow);
    sink(text);
    std::snprintf(text, sizeof text, "flow saved in %d out %d", savedInFlow, savedOutFlow);
    sink(text);
    std::snprintf(text, sizeof text, "signals %02X %02X %02X %02X", signals.bytes[0], signals.bytes[1],
                  signals.bytes[2], signals.bytes[3]);
    sink(text);
}

// ---------------------------------------------------------------------------
// SerialLink

SerialLink::SerialLink(SerialPort* serialPort) : port(serialPort) {
    // A port that failed to open keeps its error for checkLineErrors and gets
    // no companions: there is nothing to save or restore on it.
    if (port == nullptr || port->lastError != 0) return;
    line = std::make_unique<LineSettings>(this);
    line->setLineSettings(9600, 'N', 8, 1);
    flow = std::make_unique<FlowSettings>(this);
    port->setFlowControl(SIG_NONE, SIG_NONE);
}

SerialLink::~SerialLink() {
    flow.reset();
    line.reset();
}

int SerialLink::readByte(int timeoutMs) {
    if (port == nullptr) return Code(SerialError::SL_ERROR);
    Clock& clock = CurrentClock();
    const std::uint32_t start = clock.TickCount();
    int byte = port->readByte();
    if (byte >= 0) return byte;
    // Elapsed time rather than a deadline, so a wrapping tick count cannot
    // turn a short wait into a 49-day one.
    const std::uint32_t limit = timeoutMs > 0 ? static_cast<std::uint32_t>(timeoutMs) : 0;
    while (static_cast<std::uint32_t>(clock.TickCount() - start) < limit) {
        const int yielded = port->yield();
        if (yielded < 0) return yielded;
        byte = port->readByte();
        if (byte >= 0) return byte;
    }
    return Code(SerialError::SL_NO_DATA);
}

int SerialLink::writeByte(std::uint8_t byte) {
    if (port == nullptr) return Code(SerialError::SL_ERROR);
    const int result = port->writeByte(byte);
    if (pacing > 0) {
        Clock& clock = CurrentClock();
        const std::uint32_t start = clock.TickCount();
        while (static_cast<std::uint32_t>(clock.TickCount() - start) < static_cast<std::uint32_t>(pacing)) {
            const int yielded = port->yield();
            if (yielded < 0) return yielded;
        }
    }
    return result;
}

int SerialLink::reserved() { return Code(SerialError::SL_UNSUPPORTED); }

int SerialLink::writeText(const char* text, int terminator) {
    if (text == nullptr || terminator < -3 || terminator > 255 || port == nullptr) return 0;
    const int length = static_cast<int>(std::strlen(text));
    const int count = port->writeString(text);
    if (count < length) return count;
    switch (terminator) {
        case -1: return count;
        case -2: return writeByte('\n') == 0 ? count + 1 : count;
        case -3:
            if (writeByte('\r') != 0) return count;
            return writeByte('\n') == 0 ? count + 2 : count + 1;
        default: return writeByte(static_cast<std::uint8_t>(terminator)) == 0 ? count + 1 : count;
    }
}

int SerialLink::writeBlock(const void* data, int count) {
    if (data == nullptr || port == nullptr) return 0;
    return port->writeBlock(data, count);
}

void SerialLink::getStatus(PortStatus* status) {
    if (port != nullptr && status != nullptr) port->getStatus(status, 7);
}

int SerialLink::purgeReceive(int count) {
    return port != nullptr ? port->purge(0, count) : Code(SerialError::SL_ERROR);
}

int SerialLink::purgeTransmit() { return port != nullptr ? port->purge(1, 0) : Code(SerialError::SL_ERROR); }

int SerialLink::checkLineErrors(LineErrorWord* word) {
    LineErrorWord local = 0;
    if (word == nullptr) word = &local;
    *word = 0;
    if (port == nullptr) return Code(SerialError::SL_PORT_UNAVAILABLE);
    const int pending = port->takeLastError();
    if (pending != 0) return pending;
    SignalRecord signals;
    if (flow) {
        flow->refreshSignals();
        signals = flow->signals;
    } else {
        port->readSignals(&signals);
    }
    if (signals.get(SIG_PARITY_ERROR)) *word |= kLineErrorParity;
    if (signals.get(SIG_FRAMING_ERROR)) *word |= kLineErrorFraming;
    if (signals.get(SIG_RX_OVERFLOW)) *word |= kLineErrorRxOverflow;
    if (signals.get(SIG_OVERRUN)) *word |= kLineErrorOverrun;
    if (signals.get(SIG_BREAK_DETECT)) *word |= kLineErrorBreak;
    return 0;
}

}  // namespace zul
