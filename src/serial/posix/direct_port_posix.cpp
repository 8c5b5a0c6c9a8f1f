#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <new>
#include <string>

#include "serial/device_names.h"
#include "serial/direct_port.h"
#include "serial/posix/posix_device.h"
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

int DirectPort::openDevice() {
    const int comNumber = ComNumberOfName(deviceName);
    const std::string path = comNumber > 0 ? DeviceForComNumber(comNumber) : std::string(deviceName);
    const int fd = OpenSerialDevice(path);
    if (fd < 0) {
        handle = 0;
        return 0;
    }
    handle = fd;

    termios t{};
    bool ok = tcgetattr(fd, &t) == 0;
    if (!ok) NoteOpenFailure({OpenFailureKind::kNotSerial, path, errno});
    if (ok) {
        // The test borrows the port: the next program finds it as it was.
        found_.reset(new (std::nothrow) FoundSettings{t});
        ok = found_ != nullptr;
    }
    if (ok) {
        // A Windows COM port has no line discipline; raw mode is its equivalent.
        ok = MakeRawLine(t, line()) && tcsetattr(fd, TCSANOW, &t) == 0;
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
    const int rc = CloseSerialDevice(fd);
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
