#include "serial/serial_port.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "serial/platform_port.h"

namespace zul {
namespace {

struct NamedCode {
    int code;
    const char* name;
};

const NamedCode kResultNames[] = {
    {Code(SerialError::SL_OK), "SL_OK"},
    {Code(SerialError::SL_ERROR), "SL_ERROR"},
    {Code(SerialError::SL_NO_DATA), "SL_NO_DATA"},
    {Code(SerialError::SL_UNSUPPORTED), "SL_UNSUPPORTED"},
    {Code(SerialError::SL_SHORT_WRITE), "SL_SHORT_WRITE"},
    {Code(SerialError::SL_BREAK_FAILED), "SL_BREAK_FAILED"},
    {Code(SerialError::SL_PORT_UNAVAILABLE), "SL_PORT_UNAVAILABLE"},
    {Code(SerialError::SL_CLOSE_FAILED), "SL_CLOSE_FAILED"},
    {Code(SerialError::SL_BAD_IN_FLOW), "SL_BAD_IN_FLOW"},
    {Code(SerialError::SL_BAD_OUT_FLOW), "SL_BAD_OUT_FLOW"},
    {Code(SerialError::SL_NO_MEMORY), "SL_NO_MEMORY"},
    {Code(SerialError::SL_PORT_IN_USE), "SL_PORT_IN_USE"},
    {Code(SerialError::SL_BAD_BAUD), "SL_BAD_BAUD"},
    {Code(SerialError::SL_BAD_PARITY), "SL_BAD_PARITY"},
    {Code(SerialError::SL_BAD_STOP_BITS), "SL_BAD_STOP_BITS"},
    {Code(SerialError::SL_BAD_DATA_BITS), "SL_BAD_DATA_BITS"},
};

const NamedCode kSignalNames[] = {
    {SIG_NONE, "SIG_NONE"},
    {SIG_XONXOFF, "SIG_XONXOFF"},
    {SIG_DTR, "SIG_DTR"},
    {SIG_RTS, "SIG_RTS"},
    {SIG_BREAK, "SIG_BREAK"},
    {SIG_CTS, "SIG_CTS"},
    {SIG_DSR, "SIG_DSR"},
    {SIG_RI, "SIG_RI"},
    {SIG_CD, "SIG_CD"},
    {SIG_DELTA_CTS, "SIG_DELTA_CTS"},
    {SIG_DELTA_DSR, "SIG_DELTA_DSR"},
    {SIG_DELTA_RI, "SIG_DELTA_RI"},
    {SIG_DELTA_CD, "SIG_DELTA_CD"},
    {SIG_OVERRUN, "SIG_OVERRUN"},
    {SIG_PARITY_ERROR, "SIG_PARITY_ERROR"},
    {SIG_FRAMING_ERROR, "SIG_FRAMING_ERROR"},
    {SIG_BREAK_DETECT, "SIG_BREAK_DETECT"},
    {SIG_RX_OVERFLOW, "SIG_RX_OVERFLOW"},
};

template <std::size_t N>
const char* FindName(const NamedCode (&table)[N], int code) {
    for (const auto& entry : table)
        if (entry.code == code) return entry.name;
    return nullptr;
}

std::array<std::uint16_t, PortUseCounts::kPortUseCountsSize> g_useCounts{};

SerialPortFactory& Factory() {
    static SerialPortFactory factory;
    return factory;
}

constexpr char kParityLetters[] = "NOEMS";

}  // namespace

const char* ResultCodeName(int code) { return FindName(kResultNames, code); }
const char* SignalName(int code) { return FindName(kSignalNames, code); }

int SignalRecord::field(int index) const {
    if (index < 0 || index >= 16) return 0;
    return (bytes[index / 4] >> ((index % 4) * 2)) & 0x3;
}

void SignalRecord::setField(int index, int value) {
    if (index < 0 || index >= 16) return;
    const int shift = (index % 4) * 2;
    std::uint8_t& byte = bytes[index / 4];
    byte = static_cast<std::uint8_t>((byte & ~(0x3 << shift)) | ((value & 0x3) << shift));
}

int SignalRecord::get(int signal) const {
    for (int i = 0; i < 16; ++i)
        if (kSignalRecordOrder[i] == signal) return field(i);
    return 0;
}

std::uint16_t PortUseCounts::count(int portIndex) {
    return valid(portIndex) ? g_useCounts[static_cast<std::size_t>(portIndex)] : 0;
}

void PortUseCounts::add(int portIndex) {
    if (valid(portIndex)) ++g_useCounts[static_cast<std::size_t>(portIndex)];
}

void PortUseCounts::release(int portIndex) {
    if (valid(portIndex) && g_useCounts[static_cast<std::size_t>(portIndex)] != 0)
        --g_useCounts[static_cast<std::size_t>(portIndex)];
}

SerialPort::~SerialPort() {
    if (holdsUseCount_) PortUseCounts::release(portIndex);
}

int SerialPort::reserved23() { return Code(SerialError::SL_UNSUPPORTED); }
int SerialPort::reserved24() { return Code(SerialError::SL_UNSUPPORTED); }

int SerialPort::takeLastError() {
    const int code = lastError;
    lastError = 0;
    return code;
}

void SerialPort::configure() {
    if (!hasWorkingRecord()) return;
    if (takesUseCount_) {
        if (!PortUseCounts::valid(portIndex)) {
            recordError(SerialError::SL_PORT_UNAVAILABLE);
            return;
        }
        if (PortUseCounts::count(portIndex) != 0) {
            recordError(SerialError::SL_PORT_IN_USE);
            return;
        }
    }
    if (openDevice() != 0) return;
    if (takesUseCount_) {
        PortUseCounts::add(portIndex);
        holdsUseCount_ = true;
    }
    line_ = LineFormat{};
    applyDefaults();
}

void SerialPort::configureAndRaiseLines() {
    configure();
    if (lastError == 0) {
        lineControl(SIG_DTR, 1);
        lineControl(SIG_RTS, 1);
    }
}

int SerialPort::setFlowControl(int inFlow, int outFlow) {
    if (!hasWorkingRecord()) return recordError(SerialError::SL_PORT_UNAVAILABLE);
    switch (inFlow) {
        case SIG_NONE:
        case SIG_XONXOFF:
        case SIG_DTR:
        case SIG_RTS: break;
        case SIG_DSR: return recordError(SerialError::SL_UNSUPPORTED);
        default: recordError(SerialError::SL_BAD_IN_FLOW); return Code(SerialError::SL_ERROR);
    }
    switch (outFlow) {
        case SIG_NONE:
        case SIG_XONXOFF:
        case SIG_CTS:
        case SIG_DSR: break;
        case SIG_CD: return recordError(SerialError::SL_UNSUPPORTED);
        default: return recordError(SerialError::SL_BAD_OUT_FLOW);
    }
    const int rc = applyFlow(inFlow, outFlow);
    if (rc != 0) return rc;
    inFlow_ = inFlow;
    outFlow_ = outFlow;
    return 0;
}

int SerialPort::getFlowControl(int* inFlow, int* outFlow) {
    if (inFlow) *inFlow = inFlow_;
    if (outFlow) *outFlow = outFlow_;
    return 0;
}

int SerialPort::setBreak(int state) {
    if (state < 0) return breakState_;
    const int kept = driveBreak(state);
    if (kept < 0) return recordError(SerialError::SL_BREAK_FAILED);
    breakState_ = static_cast<std::int16_t>(kept);
    return breakState_;
}

int SerialPort::lineControl(int signal, int value) {
    if (signal == SIG_BREAK) return setBreak(value);
    if ((signal == SIG_DTR || signal == SIG_RTS) && value != -1) {
        const bool raise = value != 0;
        driveModemLine(signal, raise);
        (signal == SIG_DTR ? dtrState_ : rtsState_) = raise ? 1 : 0;
    }
    switch (signal) {
        case SIG_DTR: return dtrState_;
        case SIG_RTS: return rtsState_;
        case SIG_CTS: return modemSignal(kModemCts);
        case SIG_DSR: return modemSignal(kModemDsr);
        case SIG_RI: return modemSignal(kModemRing);
        case SIG_CD: return modemSignal(kModemCd);
        case SIG_DELTA_CTS:
        case SIG_DELTA_DSR:
        case SIG_DELTA_RI:
        case SIG_DELTA_CD: return 0;
        default: break;
    }
    const int lineError = LineErrorSignalState(lineErrors_, signal);
    return lineError >= 0 ? lineError : 2;
}

int SerialPort::setLine(int baud, char parity, int dataBits, int stopBits) {
    if (!hasWorkingRecord()) return recordError(SerialError::SL_PORT_UNAVAILABLE);
    const int parityCode = ParityCode(parity);
    if (parityCode < 0) return recordError(SerialError::SL_BAD_PARITY);
    if (dataBits < 4 || dataBits > 8) return recordError(SerialError::SL_BAD_DATA_BITS);
    if (stopBits < 1 || stopBits > 2) return recordError(SerialError::SL_BAD_STOP_BITS);
    LineFormat line;
    line.baud = baud;
    line.parity = parityCode;
    line.dataBits = dataBits;
    line.stopBits = dataBits == 5 ? kStopBitsOneAndHalf : (stopBits == 1 ? kStopBitsOne : kStopBitsTwo);
    const int rc = applyLine(line);
    if (rc == 0) line_ = line;
    return rc;
}

void SerialPort::getLine(int* baud, char* parity, int* dataBits, int* stopBits) {
    if (baud) *baud = line_.baud;
    if (parity) *parity = ParityLetter(line_.parity);
    if (dataBits) *dataBits = line_.dataBits;
    if (stopBits) *stopBits = line_.stopBits == kStopBitsTwo ? 2 : 1;
}

int SerialPort::setQueueSizes(int inQueueSize, int outQueueSize) {
    storeQueueSizes(inQueueSize, outQueueSize);
    return 0;
}

int SerialPort::readSignals(SignalRecord* record) {
    pollStatus();
    SignalRecord local;
    FillSignalRecord(*this, record != nullptr ? record : &local);
    modemStatus_ = 0;
    lineErrors_ = 0;
    return 0;
}

int SerialPort::writeByte(std::uint8_t byte) { return writeBlock(&byte, 1) == 1 ? 0 : lastError; }

int SerialPort::writeString(const char* text) {
    if (text == nullptr) return 0;
    return writeBlock(text, static_cast<int>(std::strlen(text)));
}

int SerialPort::readByte() {
    std::uint8_t byte = 0;
    return readBlock(&byte, 1) == 1 ? byte : Code(SerialError::SL_NO_DATA);
}

int SerialPort::purge(int direction, int count) {
    if (direction != 0) {
        dropTransmitQueue();
        return 0;
    }
    if (count == 0) {
        dropReceiveQueue();
        return 0;
    }
    for (int dropped = 0; dropped < count; ++dropped)
        if (readByte() < 0) return 0;
    return Code(SerialError::SL_ERROR);
}

void SerialPort::dumpState(const TextSink& sink) {
    char text[160];
    int baud = 0, dataBits = 0, stopBits = 0;
    char parity = '\0';
    getLine(&baud, &parity, &dataBits, &stopBits);
    std::snprintf(text, sizeof text, "line %d %c %d %d", baud, parity == '\0' ? '?' : parity, dataBits, stopBits);
    sink(text);
    std::snprintf(text, sizeof text, "flow in %d out %d", inFlow_, outFlow_);
    sink(text);
    std::snprintf(text, sizeof text, "DTR %d RTS %d break %d", dtrState_, rtsState_, breakState_);
    sink(text);
    std::snprintf(text, sizeof text, "queues in %u out %u", static_cast<unsigned>(inQueueSize_),
                  static_cast<unsigned>(outQueueSize_));
    sink(text);
    std::snprintf(text, sizeof text, "line errors %02X modem %02X last error %d", static_cast<unsigned>(lineErrors_),
                  static_cast<unsigned>(modemStatus_), lastError);
    sink(text);
}

int LineErrorSignalState(std::uint32_t lineErrors, int signal) {
    switch (signal) {
        case SIG_OVERRUN: return (lineErrors & kLineOverrun) ? 1 : 0;
        case SIG_PARITY_ERROR: return (lineErrors & kLineParity) ? 1 : 0;
        case SIG_FRAMING_ERROR: return (lineErrors & kLineFraming) ? 1 : 0;
        case SIG_BREAK_DETECT: return (lineErrors & kLineBreak) ? 1 : 0;
        case SIG_RX_OVERFLOW: return (lineErrors & kLineRxOverflow) ? 1 : 0;
        default: return -1;
    }
}

void FillSignalRecord(SerialPort& port, SignalRecord* record) {
    for (int i = 0; i < 16; ++i) record->setField(i, port.lineControl(kSignalRecordOrder[i], -1));
}

int ParityCode(char letter) {
    for (int i = 0; kParityLetters[i] != '\0'; ++i)
        if (kParityLetters[i] == letter) return i;
    return -1;
}

char ParityLetter(int code) { return code >= 0 && code < 5 ? kParityLetters[code] : '\0'; }

std::unique_ptr<SerialPort> CreateSerialPort(int portIndex, int inQueueSize, int outQueueSize) {
    if (Factory()) return Factory()(portIndex, inQueueSize, outQueueSize);
    return CreatePlatformSerialPort(portIndex, inQueueSize, outQueueSize);
}

void SetSerialPortFactory(SerialPortFactory factory) { Factory() = std::move(factory); }

SerialPortFactory InstalledSerialPortFactory() { return Factory(); }

}  // namespace zul
