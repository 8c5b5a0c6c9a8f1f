#include "serial/win32/win32_serial_port.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "serial/device_names.h"
#include "serial/platform_port.h"
#include "support/clock.h"

namespace zul {
namespace {

constexpr DWORD kDtrControlEnable = DTR_CONTROL_ENABLE;
constexpr DWORD kDtrControlHandshake = DTR_CONTROL_HANDSHAKE;
constexpr DWORD kRtsControlEnable = RTS_CONTROL_ENABLE;
constexpr DWORD kRtsControlDisable = RTS_CONTROL_DISABLE;
constexpr DWORD kRtsControlHandshake = RTS_CONTROL_HANDSHAKE;

}  // namespace

std::unique_ptr<SerialPort> CreatePlatformSerialPort(int portIndex, int inQueueSize, int outQueueSize) {
    return std::make_unique<Win32SerialPort>(portIndex, inQueueSize, outQueueSize);
}

Win32SerialPort::Win32SerialPort(int portIndex, int inQueueSize, int outQueueSize, int empty)
    : SerialPort(portIndex) {
    if (empty != 0) return;
    dcb_.reset(new (std::nothrow) DCB());
    overlapped_.reset(new (std::nothrow) OVERLAPPED());
    savedTimeouts_.reset(new (std::nothrow) COMMTIMEOUTS());
    if (!dcb_ || !overlapped_ || !savedTimeouts_) {
        dcb_.reset();
        overlapped_.reset();
        savedTimeouts_.reset();
        lastError = SL_NO_MEMORY;
        return;
    }
    overlapped_->hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    eventOverlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    inQueueSize_ = static_cast<std::uint16_t>(inQueueSize);
    outQueueSize_ = static_cast<std::uint16_t>(outQueueSize);
    configure();
    if (lastError == 0) {
        lineControl(SIG_DTR, 1);
        lineControl(SIG_RTS, 1);
    }
}

Win32SerialPort::~Win32SerialPort() {
    if (dcb_ && handle_ != INVALID_HANDLE_VALUE && holdsUseCount()) closeDevice();
    if (overlapped_ && overlapped_->hEvent) CloseHandle(overlapped_->hEvent);
    if (eventOverlapped_.hEvent) CloseHandle(eventOverlapped_.hEvent);
    for (auto& slot : writes_)
        if (slot->overlapped.hEvent) CloseHandle(slot->overlapped.hEvent);
}

int Win32SerialPort::translateSystemError() { return TranslateWindowsError(GetLastError()); }

bool Win32SerialPort::clearCommError(COMSTAT* status) {
    DWORD errors = 0;
    COMSTAT local{};
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    if (!ClearCommError(handle_, &errors, status != nullptr ? status : &local)) return false;
    foldErrors(errors);
    return true;
}

void Win32SerialPort::configure() {
    if (!PortUseCounts::valid(portIndex)) {
        recordError(SL_PORT_UNAVAILABLE);
        return;
    }
    if (PortUseCounts::count(portIndex) != 0) {
        recordError(SL_PORT_IN_USE);
        return;
    }
    if (openDevice() != 0) return;
    PortUseCounts::add(portIndex);
    markUseCountHeld();

    SetupComm(handle_, inQueueSize_, outQueueSize_);
    DWORD mask = 0;
    if (GetCommMask(handle_, &mask)) savedEventMask_ = mask;
    SetCommMask(handle_, 0);

    DCB& d = *dcb_;
    d.DCBlength = sizeof(DCB);
    GetCommState(handle_, &d);
    d.BaudRate = 19200;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    d.fOutxCtsFlow = FALSE;
    d.fOutxDsrFlow = FALSE;
    d.fDtrControl = kDtrControlEnable;
    d.fRtsControl = kRtsControlDisable;
    d.fBinary = TRUE;
    d.fNull = FALSE;
    d.EofChar = 0;
    d.EvtChar = 0;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
    d.XonLim = static_cast<WORD>(inQueueSize_ / 4);
    d.XoffLim = 128;

    GetCommTimeouts(handle_, savedTimeouts_.get());
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // reads return at once with what has arrived
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 50;
    timeouts.WriteTotalTimeoutConstant = 300;
    SetCommTimeouts(handle_, &timeouts);

    if (!SetCommState(handle_, &d)) {
        const DWORD error = GetLastError();
        NoteOpenFailure({OpenFailureKindOf(error), PortLockName(openedName_), static_cast<int>(error)});
        recordError(TranslateWindowsError(error));
    }
}

int Win32SerialPort::openDevice() {
    if (handle_ != INVALID_HANDLE_VALUE) return 0;  // there is no reopen
    ClearOpenFailure();
    char name[20] = {};
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", portIndex + 1);
    const std::string device = DeviceOverride().empty() ? std::string(name) : DeviceOverride();
    openedName_ = device;
    if (!lock_.acquire(device)) {
        NoteOpenFailure({OpenFailureKind::kBusy, PortLockName(device), ERROR_ACCESS_DENIED});
        return recordError(TranslateWindowsError(ERROR_ACCESS_DENIED));
    }
    handle_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        lock_.release();
        NoteOpenFailure({OpenFailureKindOf(error), PortLockName(device), static_cast<int>(error)});
        return recordError(TranslateWindowsError(error));
    }
    return 0;
}

int Win32SerialPort::closeDevice() {
    if (handle_ == INVALID_HANDLE_VALUE) return 0;
    purge(0, 0);
    purge(1, 0);
    EscapeCommFunction(handle_, CLRDTR);
    EscapeCommFunction(handle_, CLRRTS);
    // Ends a pending wait for input, then lets every queued write finish or
    // abort before its record goes.
    SetCommMask(handle_, 0);
    if (eventPending_) {
        DWORD n = 0;
        GetOverlappedResult(handle_, &eventOverlapped_, &n, TRUE);
        eventPending_ = false;
    }
    CancelIo(handle_);
    reapWrites(true);
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    lock_.release();
    if (!closed) return recordError(SL_CLOSE_FAILED);
    return 0;
}

int Win32SerialPort::applyState() {
    if (handle_ == INVALID_HANDLE_VALUE || !SetCommState(handle_, dcb_.get())) return recordError(translateSystemError());
    return 0;
}

int Win32SerialPort::yield() {
    if (&CurrentClock() != &SystemClock()) {
        // Under a test clock the pause is the clock's own millisecond.
        CurrentClock().Sleep(1);
        return 0;
    }
    if (handle_ == INVALID_HANDLE_VALUE || eventOverlapped_.hEvent == nullptr || eventWaitBroken_) {
        Sleep(1);
        return 0;
    }
    COMSTAT status{};
    if (clearCommError(&status) && status.cbInQue > 0) return 0;
    // Wait for the next received character, but only briefly: a byte ends the
    // pause at once, and an idle wait does not keep a processor busy.
    if (!eventMaskSet_) {
        SetCommMask(handle_, EV_RXCHAR);
        eventMaskSet_ = true;
    }
    if (!eventPending_) {
        ResetEvent(eventOverlapped_.hEvent);
        eventMask_ = 0;
        if (WaitCommEvent(handle_, &eventMask_, &eventOverlapped_)) {
            if (eventMask_ == 0) eventWaitBroken_ = true;
            return 0;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            eventWaitBroken_ = true;
            Sleep(1);
            return 0;
        }
        eventPending_ = true;
    }
    if (WaitForSingleObject(eventOverlapped_.hEvent, 1) == WAIT_OBJECT_0) {
        DWORD n = 0;
        const BOOL ok = GetOverlappedResult(handle_, &eventOverlapped_, &n, FALSE);
        eventPending_ = false;
        // A wait that ends without an event failed: every later one would
        // too, and at once.
        if (!ok || eventMask_ == 0) {
            eventWaitBroken_ = true;
            Sleep(1);
        }
    }
    return 0;
}

void Win32SerialPort::pollStatus() {
    clearCommError(nullptr);
    DWORD status = 0;
    if (handle_ != INVALID_HANDLE_VALUE && GetCommModemStatus(handle_, &status)) modemStatus_ = static_cast<int>(status & 0xFF);
}

void Win32SerialPort::getStatus(PortStatus* status, int /*selector*/) {
    if (status == nullptr) return;
    COMSTAT comStatus{};
    clearCommError(&comStatus);
    status->receiveMarker = 1;
    status->receiveCount = comStatus.cbInQue;
    status->receiveSize = inQueueSize_;
    status->transmitMarker = 1;
    status->transmitCount = comStatus.cbOutQue;
    status->transmitSize = outQueueSize_;
    if (comStatus.fXoffSent) status->holdFlags |= kHoldXoffSent;
    if (comStatus.fCtsHold || comStatus.fDsrHold || comStatus.fXoffHold) status->holdFlags |= kHoldTransmit;
}

int Win32SerialPort::setQueueSizes(int inQueueSize, int outQueueSize) {
    inQueueSize_ = static_cast<std::uint16_t>(inQueueSize);
    outQueueSize_ = static_cast<std::uint16_t>(outQueueSize);
    if (handle_ != INVALID_HANDLE_VALUE && !SetupComm(handle_, inQueueSize_, outQueueSize_))
        return recordError(translateSystemError());
    return 0;
}

int Win32SerialPort::setFlowControl(int inFlow, int outFlow) {
    if (!dcb_) return recordError(SL_PORT_UNAVAILABLE);
    DCB& d = *dcb_;
    d.fInX = FALSE;
    d.fOutX = FALSE;
    if (d.fRtsControl == kRtsControlHandshake) d.fRtsControl = kRtsControlEnable;
    if (d.fDtrControl == kDtrControlHandshake) d.fDtrControl = kDtrControlEnable;
    d.fOutxCtsFlow = FALSE;
    d.fOutxDsrFlow = FALSE;
    switch (inFlow) {
        case SIG_NONE: break;
        case SIG_XONXOFF: d.fInX = TRUE; break;
        case SIG_DTR: d.fDtrControl = kDtrControlHandshake; break;
        case SIG_RTS: d.fRtsControl = kRtsControlHandshake; break;
        case SIG_DSR: return recordError(SL_UNSUPPORTED);
        default: recordError(SL_BAD_IN_FLOW); return SL_ERROR;
    }
    switch (outFlow) {
        case SIG_NONE: break;
        case SIG_XONXOFF: d.fOutX = TRUE; break;
        case SIG_CTS: d.fOutxCtsFlow = TRUE; break;
        case SIG_DSR: d.fOutxDsrFlow = TRUE; break;
        case SIG_CD: return recordError(SL_UNSUPPORTED);
        default: return recordError(SL_BAD_OUT_FLOW);
    }
    const int rc = applyState();
    if (rc != 0) return rc;
    inFlow_ = inFlow;
    outFlow_ = outFlow;
    return 0;
}

int Win32SerialPort::getFlowControl(int* inFlow, int* outFlow) {
    if (inFlow) *inFlow = inFlow_;
    if (outFlow) *outFlow = outFlow_;
    return 0;
}

int Win32SerialPort::setBreak(int state) {
    if (state < 0) return breakState_;
    const BOOL ok = handle_ != INVALID_HANDLE_VALUE && (state == 1 ? SetCommBreak(handle_) : ClearCommBreak(handle_));
    if (!ok) return recordError(SL_BREAK_FAILED);
    breakState_ = static_cast<std::int16_t>(state);
    return breakState_;
}

int Win32SerialPort::testSignal(std::uint32_t mask) {
    if (mask == 1) return dtrState_;
    if (mask == 2) return rtsState_;
    DWORD status = 0;
    if (handle_ == INVALID_HANDLE_VALUE || !GetCommModemStatus(handle_, &status)) return 0;
    return (status & mask) ? 1 : 0;
}

int Win32SerialPort::lineControl(int signal, int value) {
    if (signal == SIG_BREAK) return setBreak(value);
    if ((signal == SIG_DTR || signal == SIG_RTS) && value != -1) {
        const bool raise = value != 0;
        if (signal == SIG_DTR) {
            if (handle_ != INVALID_HANDLE_VALUE) EscapeCommFunction(handle_, raise ? SETDTR : CLRDTR);
            dtrState_ = raise ? 1 : 0;
            if (dcb_) dcb_->fDtrControl = raise ? kDtrControlEnable : DTR_CONTROL_DISABLE;
        } else {
            if (handle_ != INVALID_HANDLE_VALUE) EscapeCommFunction(handle_, raise ? SETRTS : CLRRTS);
            rtsState_ = raise ? 1 : 0;
            if (dcb_) dcb_->fRtsControl = raise ? kRtsControlEnable : kRtsControlDisable;
        }
    }
    switch (signal) {
        case SIG_DTR: return testSignal(1);
        case SIG_RTS: return testSignal(2);
        case SIG_CTS: return testSignal(MS_CTS_ON);
        case SIG_DSR: return testSignal(MS_DSR_ON);
        case SIG_RI: return testSignal(MS_RING_ON);
        case SIG_CD: return testSignal(MS_RLSD_ON);
        case SIG_DELTA_CTS:
        case SIG_DELTA_DSR:
        case SIG_DELTA_RI:
        case SIG_DELTA_CD: return 0;
        default: break;
    }
    const int lineError = LineErrorSignalState(lineErrors_, signal);
    return lineError >= 0 ? lineError : 2;
}

int Win32SerialPort::setLine(int baud, char parity, int dataBits, int stopBits) {
    if (!dcb_) return recordError(SL_PORT_UNAVAILABLE);
    DCB& d = *dcb_;
    const int parityCode = ParityCode(parity);
    if (parityCode < 0 || parity == '\0') return recordError(SL_BAD_PARITY);
    d.Parity = static_cast<BYTE>(parityCode);
    d.BaudRate = static_cast<DWORD>(baud);
    if (dataBits < 4 || dataBits > 8) return recordError(SL_BAD_DATA_BITS);
    d.ByteSize = static_cast<BYTE>(dataBits);
    if (stopBits < 1 || stopBits > 2) return recordError(SL_BAD_STOP_BITS);
    d.StopBits = dataBits == 5 ? ONE5STOPBITS : (stopBits == 1 ? ONESTOPBIT : TWOSTOPBITS);
    return applyState();
}

void Win32SerialPort::getLine(int* baud, char* parity, int* dataBits, int* stopBits) {
    DCB fallback{};
    const DCB& d = dcb_ ? *dcb_ : fallback;
    if (baud) *baud = static_cast<int>(d.BaudRate);
    if (dataBits) *dataBits = d.ByteSize;
    if (stopBits) *stopBits = d.StopBits == TWOSTOPBITS ? 2 : 1;
    if (parity) *parity = ParityLetter(d.Parity);
}

int Win32SerialPort::readSignals(SignalRecord* record) {
    pollStatus();
    SignalRecord local;
    FillSignalRecord(*this, record != nullptr ? record : &local);
    modemStatus_ = 0;
    lineErrors_ = 0;
    return 0;
}

int Win32SerialPort::writeByte(std::uint8_t byte) { return writeBlock(&byte, 1) == 1 ? 0 : lastError; }

int Win32SerialPort::writeString(const char* text) {
    if (text == nullptr) return 0;
    return writeBlock(text, static_cast<int>(std::strlen(text)));
}

void Win32SerialPort::reapWrites(bool wait) {
    for (auto& slot : writes_) {
        if (!slot->busy) continue;
        DWORD n = 0;
        if (GetOverlappedResult(handle_, &slot->overlapped, &n, wait ? TRUE : FALSE) ||
            GetLastError() != ERROR_IO_INCOMPLETE)
            slot->busy = false;
    }
}

Win32SerialPort::PendingWrite* Win32SerialPort::freeWriteSlot() {
    reapWrites(false);
    for (auto& slot : writes_)
        if (!slot->busy) return slot.get();
    if (static_cast<int>(writes_.size()) >= kWriteSlots) return nullptr;
    auto slot = std::make_unique<PendingWrite>();
    slot->overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (slot->overlapped.hEvent == nullptr) return nullptr;
    writes_.push_back(std::move(slot));
    return writes_.back().get();
}

int Win32SerialPort::writeBlock(const void* data, int count) {
    COMSTAT status{};
    clearCommError(&status);
    if (data == nullptr || count <= 0) return 0;
    const int waiting = static_cast<int>(status.cbOutQue);
    const int room = waiting < outQueueSize_ ? outQueueSize_ - waiting : 0;
    const int amount = count < room ? count : room;
    int result = 0;
    if (amount > 0 && handle_ != INVALID_HANDLE_VALUE) {
        // Every queued write has its own record and its own copy of the data:
        // the write runs on after this call returns.
        PendingWrite* slot = freeWriteSlot();
        if (slot != nullptr) {
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            slot->data.assign(bytes, bytes + amount);
            HANDLE event = slot->overlapped.hEvent;
            slot->overlapped = OVERLAPPED{};
            // WriteFile resets the event itself; under Wine every event call
            // is a round trip to its server, which a loaded machine makes slow.
            slot->overlapped.hEvent = event;
            DWORD written = 0;
            if (WriteFile(handle_, slot->data.data(), static_cast<DWORD>(amount), &written, &slot->overlapped)) {
                result = static_cast<int>(written);
            } else if (GetLastError() == ERROR_IO_PENDING) {
                slot->busy = true;
                result = amount;
            } else {
                clearCommError(nullptr);
                result = static_cast<int>(written);
            }
        }
    }
    if (result < count) recordError(SL_SHORT_WRITE);
    return result;
}

int Win32SerialPort::transmitImmediate(std::uint8_t byte) {
    if (handle_ == INVALID_HANDLE_VALUE || !TransmitCommChar(handle_, static_cast<char>(byte))) return recordError(SL_ERROR);
    return 0;
}

int Win32SerialPort::readByte() {
    std::uint8_t byte = 0;
    return readBlock(&byte, 1) == 1 ? byte : SL_NO_DATA;
}

int Win32SerialPort::readBlock(void* buffer, int count) {
    COMSTAT status{};
    clearCommError(&status);
    if (buffer == nullptr || count <= 0 || status.cbInQue == 0 || !overlapped_) return 0;
    const DWORD amount = static_cast<DWORD>(count) < status.cbInQue ? static_cast<DWORD>(count) : status.cbInQue;
    HANDLE event = overlapped_->hEvent;
    *overlapped_ = OVERLAPPED{};
    overlapped_->hEvent = event;  // ReadFile resets it
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, amount, &got, overlapped_.get())) {
        if (GetLastError() != ERROR_IO_PENDING) {
            clearCommError(nullptr);
            return static_cast<int>(got);
        }
        // Only bytes already received were asked for: this completes at once.
        if (!GetOverlappedResult(handle_, overlapped_.get(), &got, TRUE)) return 0;
        return static_cast<int>(got);
    }
    if (got < amount) GetOverlappedResult(handle_, overlapped_.get(), &got, TRUE);
    return static_cast<int>(got);
}

int Win32SerialPort::purge(int direction, int count) {
    if (direction != 0) {
        // Queued writes are part of the transmit queue: abort them as well.
        if (handle_ != INVALID_HANDLE_VALUE) PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
        return 0;
    }
    if (count == 0) {
        if (handle_ != INVALID_HANDLE_VALUE) PurgeComm(handle_, PURGE_RXCLEAR);
        return 0;
    }
    for (int dropped = 0; dropped < count; ++dropped)
        if (readByte() < 0) return 0;
    return SL_ERROR;
}

void Win32SerialPort::dump(const TextSink& sink) {
    char text[160];
    std::snprintf(text, sizeof text, "port COM%d %s", portIndex + 1, handle_ != INVALID_HANDLE_VALUE ? "open" : "closed");
    sink(text);
    int baud = 0, dataBits = 0, stopBits = 0;
    char parity = '\0';
    getLine(&baud, &parity, &dataBits, &stopBits);
    std::snprintf(text, sizeof text, "line %d %c %d %d", baud, parity == '\0' ? '?' : parity, dataBits, stopBits);
    sink(text);
    std::snprintf(text, sizeof text, "flow in %d out %d", inFlow_, outFlow_);
    sink(text);
    std::snprintf(text, sizeof text, "DTR %d RTS %d break %d", dtrState_, rtsState_, breakState_);
    sink(text);
    std::snprintf(text, sizeof text, "queues in %u out %u", inQueueSize_, outQueueSize_);
    sink(text);
    std::snprintf(text, sizeof text, "line errors %02lX modem %02X last error %d",
                  static_cast<unsigned long>(lineErrors_), modemStatus_, lastError);
    sink(text);
}

int Win32SerialPort::setEventChar(char eventChar) {
    if (!dcb_) return recordError(SL_PORT_UNAVAILABLE);
    dcb_->EvtChar = eventChar;
    return applyState();
}

int Win32SerialPort::getEventMask(std::uint32_t* mask) {
    DWORD value = 0;
    if (handle_ == INVALID_HANDLE_VALUE || !GetCommMask(handle_, &value)) return recordError(translateSystemError());
    if (mask) *mask = value;
    return 0;
}

int Win32SerialPort::setEventMask(std::uint32_t mask) {
    if (handle_ == INVALID_HANDLE_VALUE || !SetCommMask(handle_, mask)) return recordError(translateSystemError());
    eventMaskSet_ = false;  // yield sets its own mask again
    return 0;
}

int Win32SerialPort::waitEvent(std::uint32_t* mask, std::uint32_t timeoutMs) {
    if (handle_ == INVALID_HANDLE_VALUE) return recordError(SL_PORT_UNAVAILABLE);
    if (!eventPending_) {
        ResetEvent(eventOverlapped_.hEvent);
        if (WaitCommEvent(handle_, &eventMask_, &eventOverlapped_)) {
            if (mask) *mask = eventMask_;
            return 0;
        }
        if (GetLastError() != ERROR_IO_PENDING) return recordError(translateSystemError());
        eventPending_ = true;
    }
    if (WaitForSingleObject(eventOverlapped_.hEvent, timeoutMs) != WAIT_OBJECT_0) return SL_NO_DATA;
    DWORD n = 0;
    GetOverlappedResult(handle_, &eventOverlapped_, &n, FALSE);
    eventPending_ = false;
    if (mask) *mask = eventMask_;
    return 0;
}

}  // namespace zul
