#include "serial/posix/posix_serial_port.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include <cerrno>
#include <cstdio>
#include <new>

#include "serial/device_names.h"
#include "serial/platform_port.h"
#include "serial/posix/posix_device.h"
#include "support/clock.h"

namespace zul {
namespace {

void SleepOneMillisecond() {
    timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
}

}  // namespace

std::unique_ptr<SerialPort> CreatePlatformSerialPort(int portIndex, int inQueueSize, int outQueueSize) {
    return std::make_unique<PosixSerialPort>(portIndex, DeviceForComNumber(portIndex + 1), inQueueSize, outQueueSize);
}

PosixSerialPort::PosixSerialPort(int portIndex, std::string devicePath, int inQueueSize, int outQueueSize, int empty)
    : SerialPort(portIndex), devicePath_(std::move(devicePath)) {
    if (empty != 0) return;
    record_.reset(new (std::nothrow) WorkingRecord());
    if (!record_) {
        recordError(SerialError::SL_NO_MEMORY);
        return;
    }
    storeQueueSizes(inQueueSize, outQueueSize);
    configureAndRaiseLines();
}

PosixSerialPort::~PosixSerialPort() {
    if (fd_ >= 0) closeDevice();
}

void PosixSerialPort::applyDefaults() {
    WorkingRecord& r = *record_;
    if (tcgetattr(fd_, &r.tio) != 0) {
        NoteOpenFailure({OpenFailureKindOfErrno(errno), devicePath_, errno});
        recordError(SerialError::SL_ERROR);
        return;
    }
    foundAttributes_ = r.tio;
    haveFoundAttributes_ = true;

    r.outxCts = false;
    r.outxDsr = false;
    r.dtrControl = 1;
    r.rtsControl = 0;
    // Raw: no flow control until asked for, so the types in force are 0 and 0.
    r.outX = false;
    r.inX = false;
    if (apply(line_) != 0) return;
    // The default record has RTS disabled; the constructor raises it again.
    setModemLine(TIOCM_DTR, true);
    setModemLine(TIOCM_RTS, false);
}

int PosixSerialPort::openDevice() {
    if (fd_ >= 0) return 0;  // there is no reopen
    fd_ = OpenSerialDevice(devicePath_);
    // Every errno is a positive number: a general failure for the caller.
    return fd_ < 0 ? recordError(SerialError::SL_ERROR) : 0;
}

int PosixSerialPort::closeDevice() {
    if (fd_ < 0) return 0;
    purge(0, 0);
    purge(1, 0);
    setModemLine(TIOCM_DTR, false);
    setModemLine(TIOCM_RTS, false);
    // Leave the device as it was found (a terminal left in raw mode at a
    // strange speed puzzles the next program).
    if (haveFoundAttributes_) tcsetattr(fd_, TCSANOW, &foundAttributes_);
    const int rc = CloseSerialDevice(fd_);
    fd_ = -1;
    if (rc != 0 && errno != EINTR) return recordError(SerialError::SL_CLOSE_FAILED);
    return 0;
}

int PosixSerialPort::apply(const LineFormat& line) {
    if (!record_ || fd_ < 0) return recordError(SerialError::SL_ERROR);
    WorkingRecord& r = *record_;
    termios& t = r.tio;
    if (!MakeRawLine(t, line)) return recordError(SerialError::SL_ERROR);
    if (r.outX) t.c_iflag |= IXON;
    if (r.inX) t.c_iflag |= IXOFF;
#ifdef CRTSCTS
    if (r.outxCts && r.rtsControl == 2) t.c_cflag |= CRTSCTS;
#endif
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return recordError(SerialError::SL_ERROR);
    return 0;
}

int PosixSerialPort::applyOrRestore(const LineFormat& line, const WorkingRecord& before) {
    const int rc = apply(line);
    // The record reports the line in force: one the device refused is not.
    if (rc != 0) *record_ = before;
    return rc;
}

void PosixSerialPort::setModemLine(int tiocmBit, bool raise) {
    if (fd_ < 0) return;
    int bits = tiocmBit;
    // Devices without modem lines (pseudo-terminals) refuse; that is not an error.
    ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &bits);
}

void PosixSerialPort::accumulateLineErrors() {
#if defined(__linux__) && defined(TIOCGICOUNT)
    if (fd_ < 0) return;
    serial_icounter_struct counts{};
    if (ioctl(fd_, TIOCGICOUNT, &counts) != 0) return;
    if (haveCounters_) {
        if (counts.frame != frameCount_) lineErrors_ |= kLineFraming;
        if (counts.overrun != overrunCount_) lineErrors_ |= kLineOverrun;
        if (counts.parity != parityCount_) lineErrors_ |= kLineParity;
        if (counts.brk != breakCount_) lineErrors_ |= kLineBreak;
        if (counts.buf_overrun != bufferOverrunCount_) lineErrors_ |= kLineRxOverflow;
    }
    haveCounters_ = true;
    frameCount_ = counts.frame;
    overrunCount_ = counts.overrun;
    parityCount_ = counts.parity;
    breakCount_ = counts.brk;
    bufferOverrunCount_ = counts.buf_overrun;
#endif
}

int PosixSerialPort::yield() {
    if (fd_ >= 0 && &CurrentClock() == &SystemClock()) {
        // Wait for input, but no longer than a millisecond: an arriving byte
        // ends the pause at once, and an idle wait costs almost nothing.
        pollfd watch{fd_, POLLIN, 0};
        const int ready = poll(&watch, 1, 1);
        // A hung-up device reports at once; do not spin on it.
        if (ready > 0 && !(watch.revents & POLLIN)) SleepOneMillisecond();
        else if (ready < 0) SleepOneMillisecond();
        return 0;
    }
    // Under a test clock the pause is the clock's own millisecond.
    CurrentClock().Sleep(1);
    return 0;
}

void PosixSerialPort::pollStatus() {
    accumulateLineErrors();
    modemStatus_ = 0;
    int bits = 0;
    if (fd_ >= 0 && ioctl(fd_, TIOCMGET, &bits) == 0) {
        if (bits & TIOCM_CTS) modemStatus_ |= kModemCts;
        if (bits & TIOCM_DSR) modemStatus_ |= kModemDsr;
        if (bits & TIOCM_RNG) modemStatus_ |= kModemRing;
        if (bits & TIOCM_CAR) modemStatus_ |= kModemCd;
    }
}

void PosixSerialPort::getStatus(PortStatus* status, int /*selector*/) {
    if (status == nullptr) return;
    accumulateLineErrors();
    int waitingIn = 0, waitingOut = 0;
    if (fd_ >= 0) {
        if (ioctl(fd_, FIONREAD, &waitingIn) != 0) waitingIn = 0;
        if (ioctl(fd_, TIOCOUTQ, &waitingOut) != 0) waitingOut = 0;
    }
    status->receiveMarker = 1;
    status->receiveCount = static_cast<std::uint32_t>(waitingIn > 0 ? waitingIn : 0);
    status->receiveSize = inQueueSize_;
    status->transmitMarker = 1;
    status->transmitCount = static_cast<std::uint32_t>(waitingOut > 0 ? waitingOut : 0);
    status->transmitSize = outQueueSize_;
    // termios does not tell whether transmission is held; no hold bit is set.
}

int PosixSerialPort::applyFlow(int inFlow, int outFlow) {
    // termios has no DTR or DSR handshake, and its RTS/CTS handshake works in
    // both directions at once.
    if (inFlow == SIG_DTR || outFlow == SIG_DSR || (inFlow == SIG_RTS) != (outFlow == SIG_CTS))
        return recordError(SerialError::SL_UNSUPPORTED);
    WorkingRecord& r = *record_;
    const WorkingRecord before = r;
    r.inX = inFlow == SIG_XONXOFF;
    r.outX = outFlow == SIG_XONXOFF;
    r.rtsControl = inFlow == SIG_RTS ? 2 : (r.rtsControl == 2 ? 1 : r.rtsControl);
    if (r.dtrControl == 2) r.dtrControl = 1;
    r.outxCts = outFlow == SIG_CTS;
    r.outxDsr = false;
    return applyOrRestore(line_, before);
}

int PosixSerialPort::driveBreak(int state) {
    if (fd_ < 0 || ioctl(fd_, state == 1 ? TIOCSBRK : TIOCCBRK) != 0) return -1;
    return state;
}

int PosixSerialPort::modemSignal(std::uint32_t modemBit) {
    pollStatus();
    return (modemStatus_ & modemBit) ? 1 : 0;
}

void PosixSerialPort::driveModemLine(int signal, bool raise) {
    const int control = raise ? 1 : 0;
    if (signal == SIG_DTR) {
        setModemLine(TIOCM_DTR, raise);
        if (record_) record_->dtrControl = control;
    } else {
        setModemLine(TIOCM_RTS, raise);
        if (record_) record_->rtsControl = control;
    }
}

int PosixSerialPort::applyLine(const LineFormat& line) {
    const WorkingRecord before = *record_;
    return applyOrRestore(line, before);
}

int PosixSerialPort::writeBlock(const void* data, int count) {
    accumulateLineErrors();
    if (data == nullptr || count <= 0) return 0;
    // The transmit queue is the driver's output buffer, bounded to the queue
    // size the port was given: what is still waiting there takes up room.
    int waiting = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &waiting) != 0) waiting = 0;
    const int room = waiting < outQueueSize_ ? outQueueSize_ - waiting : 0;
    const int amount = count < room ? count : room;
    const auto* bytes = static_cast<const unsigned char*>(data);
    int done = 0;
    while (fd_ >= 0 && done < amount) {
        const ssize_t n = write(fd_, bytes + done, static_cast<std::size_t>(amount - done));
        if (n > 0) {
            done += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // Driver buffer full (EAGAIN) or device gone (EIO): the count moved stands.
            accumulateLineErrors();
            break;
        }
    }
    if (done < count) recordError(SerialError::SL_SHORT_WRITE);
    return done;
}

int PosixSerialPort::transmitImmediate(std::uint8_t byte) {
    if (fd_ < 0) return recordError(SerialError::SL_ERROR);
    ssize_t n;
    do {
        n = write(fd_, &byte, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? 0 : recordError(SerialError::SL_ERROR);
}

int PosixSerialPort::readBlock(void* buffer, int count) {
    accumulateLineErrors();
    if (fd_ < 0 || buffer == nullptr || count <= 0) return 0;
    ssize_t n;
    do {
        n = read(fd_, buffer, static_cast<std::size_t>(count));
    } while (n < 0 && errno == EINTR);
    // Nothing yet (EAGAIN), end of file after a hang-up, or an error: no data.
    if (n <= 0) {
        accumulateLineErrors();
        return 0;
    }
    return static_cast<int>(n);
}

void PosixSerialPort::dropReceiveQueue() {
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

void PosixSerialPort::dropTransmitQueue() {
    if (fd_ >= 0) tcflush(fd_, TCOFLUSH);
}

void PosixSerialPort::dump(const TextSink& sink) {
    char text[160];
    std::snprintf(text, sizeof text, "port COM%d device %s %s", portIndex + 1, devicePath_.c_str(),
                  fd_ >= 0 ? "open" : "closed");
    sink(text);
    dumpState(sink);
}

}  // namespace zul
