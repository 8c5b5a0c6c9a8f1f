#include "serial_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace zul::test {

int BaudOfSpeed(speed_t speed) {
    struct Entry {
        speed_t speed;
        int baud;
    };
    static const Entry kTable[] = {
        {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
        {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
        {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
    };
    for (const auto& entry : kTable)
        if (entry.speed == speed) return entry.baud;
    return 0;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        poll(nullptr, 0, 1);
    }
    return true;
}

PtyPair::PtyPair(bool holdSlave) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return;
    char name[128] = {};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = name;
    if (holdSlave) heldSlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    // The far end is raw: it must see every byte as sent, without echo.
    termios attributes = Attributes();
    cfmakeraw(&attributes);
    SetAttributes(attributes);
}

PtyPair::~PtyPair() {
    StopEcho();
    if (heldSlave_ >= 0) close(heldSlave_);
    CloseMaster();
}

termios PtyPair::Attributes() const {
    termios attributes{};
    if (master_ >= 0) tcgetattr(master_, &attributes);
    return attributes;
}

int PtyPair::Baud() const {
    termios attributes = Attributes();
    return BaudOfSpeed(cfgetospeed(&attributes));
}

int PtyPair::StopBits() const { return (Attributes().c_cflag & CSTOPB) ? 2 : 1; }

bool PtyPair::SetAttributes(const termios& attributes) {
    return master_ >= 0 && tcsetattr(master_, TCSANOW, &attributes) == 0;
}

bool PtyPair::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string PtyPair::Read(std::size_t count, int timeoutMs) {
    std::string result;
    while (result.size() < count) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0 || !(fd.revents & POLLIN)) break;
        char buffer[4096];
        std::size_t want = std::min(sizeof buffer, count - result.size());
        ssize_t n = read(master_, buffer, want);
        if (n <= 0) break;
        result.append(buffer, static_cast<std::size_t>(n));
    }
    return result;
}

std::string PtyPair::Drain() {
    std::string result;
    for (;;) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, 0) <= 0 || !(fd.revents & POLLIN)) break;
        char buffer[4096];
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) break;
        result.append(buffer, static_cast<std::size_t>(n));
    }
    return result;
}

int PtyPair::SlaveInputWaiting() const {
    int waiting = 0;
    if (heldSlave_ < 0 || ioctl(heldSlave_, FIONREAD, &waiting) != 0) return -1;
    return waiting;
}

void PtyPair::CloseMaster() {
    StopEcho();
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void PtyPair::StartEcho(std::function<bool(std::uint8_t)> keep) {
    StopEcho();
    stopEcho_ = false;
    echo_ = std::thread([this, keep = std::move(keep)] {
        while (!stopEcho_) {
            pollfd fd{master_, POLLIN, 0};
            // The bound only decides how soon StopEcho is noticed.
            if (poll(&fd, 1, 10) <= 0 || !(fd.revents & POLLIN)) continue;
            unsigned char buffer[512];
            ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) continue;
            std::string out;
            for (ssize_t i = 0; i < n; ++i)
                if (!keep || keep(buffer[i])) out.push_back(static_cast<char>(buffer[i]));
            if (!out.empty()) Write(out);
            echoReceived_ += static_cast<std::size_t>(n);
        }
    });
}

void PtyPair::StopEcho() {
    if (!echo_.joinable()) return;
    stopEcho_ = true;
    echo_.join();
}

}  // namespace zul::test
