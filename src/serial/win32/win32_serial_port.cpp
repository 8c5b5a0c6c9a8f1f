#include "serial/win32/win32_serial_port.h"

#include <cstdio>
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
        recordError(SerialError::SL_NO_MEMORY);
        return;
    }
    overlapped_->hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    eventOverlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    storeQueueSizes(inQueueSize, outQueueSize);
    configureAndRaiseLines();
}

Win32SerialPort::~Win32SerialPort() {
    if (dcb_ && handle_ != INVALID_HANDLE_VALUE && holdsUseCount()) closeDevice();
    if (overlapped_ && overlapped_->hEvent) CloseHandle(overlapped_->hEvent);
    if (eventOverlapped_.hEvent) CloseHandle(eventOverlapped_.hEvent);
    for (auto& slot : writes_)
        if (slot->overlapped.hEvent) CloseHandle(slot->overlapped.hEvent);
}

SerialError Win32SerialPort::translateSystemError() { return TranslateWindowsError(GetLastError()); }

bool Win32SerialPort::clearCommError(COMSTAT* status) {
    DWORD errors = 0;
    COMSTAT local{};
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    if (!ClearCommError(handle_, &errors, status != nullptr ? status : &local)) return false;
    foldErrors(errors);
    return true;
}

void Win32SerialPort::applyDefaults() {
    SetupComm(handle_, inQueueSize_, outQueueSize_);
    DWORD mask = 0;
    if (GetCommMask(handle_, &mask)) savedEventMask_ = mask;
    SetCommMask(handle_, 0);

    DCB& d = *dcb_;
    d.DCBlength = sizeof(DCB);
    GetCommState(handle_, &d);
    SetLineFields(d, line_);
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
    char name[20] = {};
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", portIndex + 1);
    const std::string device = DeviceOverride().empty() ? std::string(name) : DeviceOverride();
    openedName_ = device;
    DWORD error = 0;
    handle_ = OpenComDevice(device, lock_, true, &error);
    if (handle_ == INVALID_HANDLE_VALUE) return recordError(TranslateWindowsError(error));
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
    if (!closed) return recordError(SerialError::SL_CLOSE_FAILED);
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
    if (handle_ != INVALID_HANDLE_VALUE && GetCommModemStatus(handle_, &status)) modemStatus_ = status & 0xFF;
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
    SerialPort::setQueueSizes(inQueueSize, outQueueSize);
    if (handle_ != INVALID_HANDLE_VALUE && !SetupComm(handle_, inQueueSize_, outQueueSize_))
        return recordError(translateSystemError());
    return 0;
}

int Win32SerialPort::applyFlow(int inFlow, int outFlow) {
    DCB& d = *dcb_;
    const DCB before = d;
    d.fInX = inFlow == SIG_XONXOFF;
    d.fOutX = outFlow == SIG_XONXOFF;
    if (d.fRtsControl == kRtsControlHandshake) d.fRtsControl = kRtsControlEnable;
    if (d.fDtrControl == kDtrControlHandshake) d.fDtrControl = kDtrControlEnable;
    if (inFlow == SIG_DTR) d.fDtrControl = kDtrControlHandshake;
    if (inFlow == SIG_RTS) d.fRtsControl = kRtsControlHandshake;
    d.fOutxCtsFlow = outFlow == SIG_CTS;
    d.fOutxDsrFlow = outFlow == SIG_DSR;
    return applyOrRestore(before);
}

int Win32SerialPort::driveBreak(int state) {
    const BOOL ok = handle_ != INVALID_HANDLE_VALUE && (state == 1 ? SetCommBreak(handle_) : ClearCommBreak(handle_));
    return ok ? state : -1;
}

int Win32SerialPort::modemSignal(std::uint32_t modemBit) {
    DWORD status = 0;
    if (handle_ == INVALID_HANDLE_VALUE || !GetCommModemStatus(handle_, &status)) return 0;
    return (status & modemBit) ? 1 : 0;
}

void Win32SerialPort::driveModemLine(int signal, bool raise) {
    if (signal == SIG_DTR) {
        if (handle_ != INVALID_HANDLE_VALUE) EscapeCommFunction(handle_, raise ? SETDTR : CLRDTR);
        if (dcb_) dcb_->fDtrControl = raise ? kDtrControlEnable : DTR_CONTROL_DISABLE;
    } else {
        if (handle_ != INVALID_HANDLE_VALUE) EscapeCommFunction(handle_, raise ? SETRTS : CLRRTS);
        if (dcb_) dcb_->fRtsControl = raise ? kRtsControlEnable : kRtsControlDisable;
    }
}

int Win32SerialPort::applyLine(const LineFormat& line) {
    const DCB before = *dcb_;
    SetLineFields(*dcb_, line);
    return applyOrRestore(before);
}

int Win32SerialPort::applyOrRestore(const DCB& before) {
    const int rc = applyState();
    // The record reports the line in force: one the device refused is not.
    if (rc != 0) *dcb_ = before;
    return rc;
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
    if (result < count) recordError(SerialError::SL_SHORT_WRITE);
    return result;
}

int Win32SerialPort::transmitImmediate(std::uint8_t byte) {
    if (handle_ == INVALID_HANDLE_VALUE || !TransmitCommChar(handle_, static_cast<char>(byte)))
        return recordError(SerialError::SL_ERROR);
    return 0;
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

void Win32SerialPort::dropTransmitQueue() {
    // Queued writes are part of the transmit queue: abort them as well.
    if (handle_ != INVALID_HANDLE_VALUE) PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
}

void Win32SerialPort::dropReceiveQueue() {
    if (handle_ != INVALID_HANDLE_VALUE) PurgeComm(handle_, PURGE_RXCLEAR);
}

void Win32SerialPort::dump(const TextSink& sink) {
    char text[160];
    std::snprintf(text, sizeof text, "port COM%d %s", portIndex + 1, handle_ != INVALID_HANDLE_VALUE ? "open" : "closed");
    sink(text);
    dumpState(sink);
}

}  // namespace zul
