#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <string>

#include "serial/device_names.h"
#include "serial/direct_port.h"
#include "support/clock.h"

namespace zul {
namespace {

// Device time-outs in milliseconds, as the test's port sets them.
constexpr int kReadIntervalTimeout = 14;
constexpr int kReadTotalMultiplier = 5;
constexpr int kWriteTotalMultiplier = 5;
constexpr int kWriteTotalConstant = 5;
// FlushFileBuffers waits for the line; here the wait has a bound.
constexpr std::uint32_t kFlushLimitMs = 1000;

int Descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

bool SpeedOfBaud(std::uint32_t baud, speed_t* speed) {
    static const struct {
        std::uint32_t baud;
        speed_t speed;
    } kSpeeds[] = {{300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},     {4800, B4800},
                   {9600, B9600},   {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& entry : kSpeeds)
        if (entry.baud == baud) {
            *speed = entry.speed;
            return true;
        }
    return false;
}

class Deadline {
public:
    explicit Deadline(int ms) : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    int remaining() const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

private:
    std::chrono::steady_clock::time_point end_;
};

bool WaitFor(int fd, short events, int ms) {
    pollfd watch{fd, events, 0};
    int ready;
    do {
        ready = poll(&watch, 1, ms);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (watch.revents & events);
}

// Reads up to `count` bytes: the total time-out is 5 ms per byte asked for,
// and after the first byte a gap of more than 14 ms ends the read.
int ReadWithTimeouts(int fd, unsigned char* buffer, int count) {
    Deadline total(kReadTotalMultiplier * count);
    int done = 0;
    while (done < count) {
        int wait = total.remaining();
        if (done > 0 && wait > kReadIntervalTimeout) wait = kReadIntervalTimeout;
        if (!WaitFor(fd, POLLIN, wait)) break;
        const ssize_t n = ::read(fd, buffer + done, static_cast<std::size_t>(count - done));
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n < 0) return -1;
        if (n == 0) break;  // hang-up
        done += static_cast<int>(n);
    }
    return done;
}

}  // namespace

struct DirectPort::FoundSettings {
    termios attributes;
};

DirectPort::DirectPort() = default;

DirectPort::~DirectPort() { close(); }

int DirectPort::open(const char* name, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t parityCode,
                     std::uint8_t stopBitsCode) {
    if (name == nullptr || name[0] == '\0') return 0;
    std::strncpy(deviceName, name, sizeof deviceName - 1);
    deviceName[sizeof deviceName - 1] = '\0';
    baudRate = baud;
    dataBits = byteSize;
    parity = parityCode;
    stopBits = stopBitsCode;

    const int comNumber = ComNumberOfName(deviceName);
    const std::string path = comNumber > 0 ? DeviceForComNumber(comNumber) : std::string(deviceName);
    ClearOpenFailure();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd == 0) {
        // Handle 0 means closed: keep the device on another number.
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        ::close(fd);
        fd = moved;
    }
    if (fd < 0) {
        const int error = errno;
        NoteOpenFailure({error == ENOENT || error == ENXIO || error == ENODEV ? OpenFailureKind::kMissing
                         : error == EACCES || error == EPERM                  ? OpenFailureKind::kPermission
                         : error == EBUSY                                     ? OpenFailureKind::kBusy
                         : error == EISDIR                                    ? OpenFailureKind::kNotSerial
                                                                              : OpenFailureKind::kOther,
                         path, error});
        handle = 0;
        return 0;
    }
    // No sharing: not with another program, nor with this program's serial link.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        NoteOpenFailure({OpenFailureKind::kBusy, path, errno});
        ::close(fd);
        handle = 0;
        return 0;
    }
    ioctl(fd, TIOCEXCL);
    handle = fd;

    termios t{};
    speed_t speed = B0;
    bool ok = tcgetattr(fd, &t) == 0;
    if (!ok) NoteOpenFailure({OpenFailureKind::kNotSerial, path, errno});
    if (ok) {
        // The test borrows the port: the next program finds it as it was.
        found_.reset(new (std::nothrow) FoundSettings{t});
        ok = found_ != nullptr && SpeedOfBaud(baudRate, &speed);
    }
    if (ok) {
        // A Windows COM port has no line discipline; raw mode is its equivalent.
        cfmakeraw(&t);
        t.c_cflag |= CREAD | CLOCAL;
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
        switch (dataBits) {
            case 5: t.c_cflag |= CS5; break;
            case 6: t.c_cflag |= CS6; break;
            case 7: t.c_cflag |= CS7; break;
            case 8: t.c_cflag |= CS8; break;
            default: ok = false;
        }
        if (parity == 1) t.c_cflag |= PARENB | PARODD;
        if (parity == 2) t.c_cflag |= PARENB;
        if (parity > 2) ok = false;
        if (stopBits != 0) t.c_cflag |= CSTOPB;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ok = ok && cfsetispeed(&t, speed) == 0 && cfsetospeed(&t, speed) == 0 && tcsetattr(fd, TCSANOW, &t) == 0;
    }
    if (!ok) {
        close();
        return 0;
    }
    return 1;
}

std::intptr_t DirectPort::close() {
    if (handle == 0 || handle == -1) return handle;
    const int fd = Descriptor(handle);
    if (found_) {
        tcflush(fd, TCIOFLUSH);
        tcsetattr(fd, TCSANOW, &found_->attributes);
        found_.reset();
    }
    ioctl(fd, TIOCNXCL);
    const int rc = ::close(fd);
    handle = 0;
    return rc == 0 ? 1 : 0;
}

int DirectPort::write(const void* data, int count) {
    if (data == nullptr || count <= 0 || handle == 0) return 0;
    const int fd = Descriptor(handle);
    Deadline total(kWriteTotalConstant + kWriteTotalMultiplier * count);
    const auto* bytes = static_cast<const unsigned char*>(data);
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, bytes + done, static_cast<std::size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN && WaitFor(fd, POLLOUT, total.remaining())) continue;
        break;
    }
    return done;
}

int DirectPort::read(void* byte) {
    if (byte == nullptr || handle == 0) return 0;
    return ReadWithTimeouts(Descriptor(handle), static_cast<unsigned char*>(byte), 1) == 1 ? 1 : 0;
}

int DirectPort::flush() {
    if (handle == 0) return 0;
    const int fd = Descriptor(handle);
    Clock& clock = CurrentClock();
    const std::uint32_t start = clock.TickCount();
    for (;;) {
        int waiting = 0;
        if (ioctl(fd, TIOCOUTQ, &waiting) != 0) return 0;
        if (waiting == 0) return 1;
        if (static_cast<std::uint32_t>(clock.TickCount() - start) >= kFlushLimitMs) return 0;
        clock.Sleep(1);
    }
}

int DirectPort::readUpTo256(void* buffer) {
    if (buffer == nullptr) return -1;
    if (handle == 0) return 0;
    const int n = ReadWithTimeouts(Descriptor(handle), static_cast<unsigned char*>(buffer), 256);
    return n < 0 ? 0 : n;
}

int DirectPort::readOne(void* byte) {
    if (byte == nullptr || handle == 0) return -1;
    const int n = ReadWithTimeouts(Descriptor(handle), static_cast<unsigned char*>(byte), 1);
    return n < 0 ? -1 : n;
}

}  // namespace zul
