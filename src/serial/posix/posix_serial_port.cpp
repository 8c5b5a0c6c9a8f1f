#include "serial/posix/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "serial/device_names.h"
#include "serial/platform_port.h"
#include "support/clock.h"

namespace zul {
namespace {

struct SpeedEntry {
    int baud;
    speed_t speed;
};

const SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool SpeedOfBaud(int baud, speed_t* speed) {
    for (const auto& entry : kSpeeds)
        if (entry.baud == baud) {
            *speed = entry.speed;
            return true;
        }
    return false;
}

// Open failures the user can act on get a reason; every one is -801 for the caller.
OpenFailureKind KindOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO: return OpenFailureKind::kMissing;
        case EACCES:
        case EPERM: return OpenFailureKind::kPermission;
        case EBUSY:
        case EWOULDBLOCK: return OpenFailureKind::kBusy;
        case ENOTTY:
        case EISDIR: return OpenFailureKind::kNotSerial;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return OpenFailureKind::kMissing;
        default: return OpenFailureKind::kOther;
    }
}

void SleepOneMillisecond() {
    timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
}

// USB serial adapters hold received bytes for up to 16 ms unless asked not to.
// A driver that refuses (or a device that has no such setting) keeps its latency.
void RequestLowLatency(int fd) {
#if defined(__linux__) && defined(TIOCGSERIAL) && defined(ASYNC_LOW_LATENCY)
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
    if (info.flags & ASYNC_LOW_LATENCY) return;
    info.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &info);
#else
    (void)fd;
#endif
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
        lastError = SL_NO_MEMORY;
        return;
    }
    inQueueSize_ = static_cast<std::uint16_t>(inQueueSize);
    outQueueSize_ = static_cast<std::uint16_t>(outQueueSize);
    configure();
    if (lastError == 0) {
        lineControl(SIG_DTR, 1);
        lineControl(SIG_RTS, 1);
    }
}

PosixSerialPort::~PosixSerialPort() {
    if (fd_ >= 0) closeDevice();
}

int PosixSerialPort::recordTranslated(int systemError) {
    (void)systemError;  // every errno is a positive number: a general failure
    return recordError(SL_ERROR);
}

void PosixSerialPort::configure() {
    if (!record_) return;
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

    WorkingRecord& r = *record_;
    if (tcgetattr(fd_, &r.tio) != 0) {
        NoteOpenFailure({KindOfErrno(errno), devicePath_, errno});
        recordTranslated(errno);
        return;
    }
    foundAttributes_ = r.tio;
    haveFoundAttributes_ = true;

    r.baud = 19200;
    r.byteSize = 8;
    r.parity = 0;
    r.stopBits = 0;
    r.outxCts = false;
    r.outxDsr = false;
    r.dtrControl = 1;
    r.rtsControl = 0;
    // Raw: no flow control until asked for, so the types in force are 0 and 0.
    r.outX = false;
    r.inX = false;
    if (apply() != 0) return;
    // The default record has RTS disabled; the constructor raises it again.
    setModemLine(TIOCM_DTR, true);
    setModemLine(TIOCM_RTS, false);
}

int PosixSerialPort::openDevice() {
    if (fd_ >= 0) return 0;  // there is no reopen
    ClearOpenFailure();
    // Non-blocking, and never the controlling terminal of this process.
    fd_ = open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        NoteOpenFailure({KindOfErrno(errno), devicePath_, errno});
        return recordTranslated(errno);
    }
    // Exclusive use across processes: the advisory lock holds against every
    // cooperating program, root included; TIOCEXCL also keeps out programs that
    // do not lock (but not root).
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        const int error = errno;
        close(fd_);
        fd_ = -1;
        NoteOpenFailure({OpenFailureKind::kBusy, devicePath_, error});
        return recordTranslated(error);
    }
    if (!isatty(fd_)) {
        const int error = errno;
        close(fd_);
        fd_ = -1;
        NoteOpenFailure({OpenFailureKind::kNotSerial, devicePath_, error});
        return recordTranslated(error);
    }
    ioctl(fd_, TIOCEXCL);
    RequestLowLatency(fd_);
    return 0;
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
    ioctl(fd_, TIOCNXCL);
    const int rc = close(fd_);
    fd_ = -1;
    if (rc != 0 && errno != EINTR) return recordError(SL_CLOSE_FAILED);
    return 0;
}

int PosixSerialPort::apply() {
    if (!record_ || fd_ < 0) return recordError(SL_ERROR);
    WorkingRecord& r = *record_;
    termios& t = r.tio;
    speed_t speed;
    if (!SpeedOfBaud(r.baud, &speed)) return recordTranslated(EINVAL);
    tcflag_t size;
    switch (r.byteSize) {
        case 5: size = CS5; break;
        case 6: size = CS6; break;
        case 7: size = CS7; break;
        case 8: size = CS8; break;
        default: return recordTranslated(EINVAL);  // termios has no 4-bit characters
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
#ifdef CRTSCTS
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    t.c_cflag |= CREAD | CLOCAL | size;
    switch (r.parity) {
        case 0: break;
        case 1: t.c_cflag |= PARENB | PARODD; break;
        case 2: t.c_cflag |= PARENB; break;
#ifdef CMSPAR
        case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case 4: t.c_cflag |= PARENB | CMSPAR; break;
#endif
        default: return recordTranslated(EINVAL);
    }
    // Two stop bits on five-bit characters are one and a half on the line.
    if (r.stopBits != 0) t.c_cflag |= CSTOPB;
    if (r.outX) t.c_iflag |= IXON;
    if (r.inX) t.c_iflag |= IXOFF;
#ifdef CRTSCTS
    if (r.outxCts && r.rtsControl == 2) t.c_cflag |= CRTSCTS;
#endif
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    // Reads return at once with what has arrived.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return recordTranslated(errno);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return recordTranslated(errno);
    return 0;
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

int PosixSerialPort::setQueueSizes(int inQueueSize, int outQueueSize) {
    inQueueSize_ = static_cast<std::uint16_t>(inQueueSize);
    outQueueSize_ = static_cast<std::uint16_t>(outQueueSize);
    return 0;
}

int PosixSerialPort::setFlowControl(int inFlow, int outFlow) {
    if (!record_) return recordError(SL_PORT_UNAVAILABLE);
    WorkingRecord& r = *record_;
    r.inX = false;
    r.outX = false;
    if (r.rtsControl == 2) r.rtsControl = 1;
    if (r.dtrControl == 2) r.dtrControl = 1;
    r.outxCts = false;
    r.outxDsr = false;
    switch (inFlow) {
        case SIG_NONE: break;
        case SIG_XONXOFF: r.inX = true; break;
        case SIG_DTR: r.dtrControl = 2; break;
        case SIG_RTS: r.rtsControl = 2; break;
        case SIG_DSR: return recordError(SL_UNSUPPORTED);
        default: recordError(SL_BAD_IN_FLOW); return SL_ERROR;
    }
    switch (outFlow) {
        case SIG_NONE: break;
        case SIG_XONXOFF: r.outX = true; break;
        case SIG_CTS: r.outxCts = true; break;
        case SIG_DSR: r.outxDsr = true; break;
        case SIG_CD: return recordError(SL_UNSUPPORTED);
        default: return recordError(SL_BAD_OUT_FLOW);
    }
    // termios has no DTR or DSR handshake, and its RTS/CTS handshake works in
    // both directions at once.
    if (r.dtrControl == 2 || r.outxDsr || (r.rtsControl == 2) != r.outxCts) return recordError(SL_UNSUPPORTED);
    const int rc = apply();
    if (rc != 0) return rc;
    inFlow_ = inFlow;
    outFlow_ = outFlow;
    return 0;
}

int PosixSerialPort::getFlowControl(int* inFlow, int* outFlow) {
    if (inFlow) *inFlow = inFlow_;
    if (outFlow) *outFlow = outFlow_;
    return 0;
}

int PosixSerialPort::setBreak(int state) {
    if (state < 0) return breakState_;
    const bool on = state == 1;
    if (fd_ < 0 || ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) != 0) return recordError(SL_BREAK_FAILED);
    breakState_ = static_cast<std::int16_t>(state);
    return breakState_;
}

int PosixSerialPort::testSignal(std::uint32_t mask) {
    if (mask == 1) return dtrState_;
    if (mask == 2) return rtsState_;
    pollStatus();
    return (modemStatus_ & mask) ? 1 : 0;
}

int PosixSerialPort::lineControl(int signal, int value) {
    if (signal == SIG_BREAK) return setBreak(value);
    if ((signal == SIG_DTR || signal == SIG_RTS) && value != -1) {
        const bool raise = value != 0;
        if (signal == SIG_DTR) {
            setModemLine(TIOCM_DTR, raise);
            dtrState_ = raise ? 1 : 0;
            if (record_) record_->dtrControl = raise ? 1 : 0;
        } else {
            setModemLine(TIOCM_RTS, raise);
            rtsState_ = raise ? 1 : 0;
            if (record_) record_->rtsControl = raise ? 1 : 0;
        }
    }
    switch (signal) {
        case SIG_DTR: return testSignal(1);
        case SIG_RTS: return testSignal(2);
        case SIG_CTS: return testSignal(kModemCts);
        case SIG_DSR: return testSignal(kModemDsr);
        case SIG_RI: return testSignal(kModemRing);
        case SIG_CD: return testSignal(kModemCd);
        case SIG_DELTA_CTS:
        case SIG_DELTA_DSR:
        case SIG_DELTA_RI:
        case SIG_DELTA_CD: return 0;
        default: break;
    }
    const int lineError = LineErrorSignalState(lineErrors_, signal);
    return lineError >= 0 ? lineError : 2;
}

int PosixSerialPort::setLine(int baud, char parity, int dataBits, int stopBits) {
    if (!record_) return recordError(SL_PORT_UNAVAILABLE);
    WorkingRecord& r = *record_;
    const int parityCode = ParityCode(parity);
    if (parityCode < 0 || parity == '\0') return recordError(SL_BAD_PARITY);
    r.parity = static_cast<std::uint8_t>(parityCode);
    r.baud = baud;
    if (dataBits < 4 || dataBits > 8) return recordError(SL_BAD_DATA_BITS);
    r.byteSize = static_cast<std::uint8_t>(dataBits);
    if (stopBits < 1 || stopBits > 2) return recordError(SL_BAD_STOP_BITS);
    r.stopBits = dataBits == 5 ? 1 : (stopBits == 1 ? 0 : 2);
    return apply();
}

void PosixSerialPort::getLine(int* baud, char* parity, int* dataBits, int* stopBits) {
    const WorkingRecord fallback;
    const WorkingRecord& r = record_ ? *record_ : fallback;
    if (baud) *baud = r.baud;
    if (dataBits) *dataBits = r.byteSize;
    if (stopBits) *stopBits = r.stopBits == 2 ? 2 : 1;
    if (parity) *parity = ParityLetter(r.parity);
}

int PosixSerialPort::readSignals(SignalRecord* record) {
    pollStatus();
    SignalRecord local;
    FillSignalRecord(*this, record != nullptr ? record : &local);
    modemStatus_ = 0;
    lineErrors_ = 0;
    return 0;
}

int PosixSerialPort::writeByte(std::uint8_t byte) { return writeBlock(&byte, 1) == 1 ? 0 : lastError; }

int PosixSerialPort::writeString(const char* text) {
    if (text == nullptr) return 0;
    return writeBlock(text, static_cast<int>(std::strlen(text)));
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
    if (done < count) recordError(SL_SHORT_WRITE);
    return done;
}

int PosixSerialPort::transmitImmediate(std::uint8_t byte) {
    if (fd_ < 0) return recordError(SL_ERROR);
    ssize_t n;
    do {
        n = write(fd_, &byte, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? 0 : recordError(SL_ERROR);
}

int PosixSerialPort::readByte() {
    std::uint8_t byte = 0;
    return readBlock(&byte, 1) == 1 ? byte : SL_NO_DATA;
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

int PosixSerialPort::purge(int direction, int count) {
    if (direction != 0) {
        if (fd_ >= 0) tcflush(fd_, TCOFLUSH);
        return 0;
    }
    if (count == 0) {
        if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
        return 0;
    }
    for (int dropped = 0; dropped < count; ++dropped)
        if (readByte() < 0) return 0;
    return SL_ERROR;
}

void PosixSerialPort::dump(const TextSink& sink) {
    char text[160];
    std::snprintf(text, sizeof text, "port COM%d device %s %s", portIndex + 1, devicePath_.c_str(),
                  fd_ >= 0 ? "open" : "closed");
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
    std::snprintf(text, sizeof text, "line errors %02X modem %02X last error %d", lineErrors_, modemStatus_, lastError);
    sink(text);
}

}  // namespace zul
