#include "serial/serial_port.h"

#include <array>

#include "serial/platform_port.h"

namespace zul {
namespace {

struct NamedCode {
    int code;
    const char* name;
};

const NamedCode kResultNames[] = {
    {SL_OK, "SL_OK"},
    {SL_ERROR, "SL_ERROR"},
    {SL_NO_DATA, "SL_NO_DATA"},
    {SL_UNSUPPORTED, "SL_UNSUPPORTED"},
    {SL_SHORT_WRITE, "SL_SHORT_WRITE"},
    {SL_BREAK_FAILED, "SL_BREAK_FAILED"},
    {SL_PORT_UNAVAILABLE, "SL_PORT_UNAVAILABLE"},
    {SL_CLOSE_FAILED, "SL_CLOSE_FAILED"},
    {SL_BAD_IN_FLOW, "SL_BAD_IN_FLOW"},
    {SL_BAD_OUT_FLOW, "SL_BAD_OUT_FLOW"},
    {SL_NO_MEMORY, "SL_NO_MEMORY"},
    {SL_PORT_IN_USE, "SL_PORT_IN_USE"},
    {SL_BAD_BAUD, "SL_BAD_BAUD"},
    {SL_BAD_PARITY, "SL_BAD_PARITY"},
    {SL_BAD_STOP_BITS, "SL_BAD_STOP_BITS"},
    {SL_BAD_DATA_BITS, "SL_BAD_DATA_BITS"},
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

int SerialPort::reserved23() { return SL_UNSUPPORTED; }
int SerialPort::reserved24() { return SL_UNSUPPORTED; }

int SerialPort::takeLastError() {
    const int code = lastError;
    lastError = 0;
    return code;
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

}  // namespace zul
