#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "sim/tester_device.h"

namespace zul::sim {
namespace {

int BaudOf(speed_t speed) {
    struct Entry {
        speed_t speed;
        int baud;
    };
    static const Entry kTable[] = {
        {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},     {B150, 150},       {B200, 200},
        {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},   {B2400, 2400},     {B4800, 4800},
        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
    };
    for (const auto& e : kTable) {
        if (e.speed == speed) return e.baud;
    }
    return 0;
}

class PtyTesterDevice : public TesterDevice {
public:
    PtyTesterDevice(TesterSimulator& tester, Clock& clock) : tester_(tester), clock_(clock) {}
    ~PtyTesterDevice() override {
        if (!link_.empty()) unlink(link_.c_str());
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }

    bool Open(std::string* error) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return Fail("cannot create a pseudo-terminal", error);
        const char* name = ptsname(master_);
        if (name == nullptr) return Fail("cannot name the pseudo-terminal", error);
        path_ = name;
        // Holding the slave open keeps the master readable while no PC has
        // the device open (otherwise it reports a hang-up between openings).
        slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
        if (slave_ < 0) return Fail("cannot open " + path_, error);
        termios t{};
        if (tcgetattr(slave_, &t) != 0) return Fail("cannot read the line settings", error);
        cfmakeraw(&t);  // no echo or line editing by the pty itself: the tester echoes
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        if (tcsetattr(slave_, TCSANOW, &t) != 0) return Fail("cannot set the line settings", error);
        const int flags = fcntl(master_, F_GETFL);
        if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return Fail("cannot make the device non-blocking", error);
        lastTick_ = clock_.TickCount();
        simNow_ = tester_.now();
        return true;
    }

    const std::string& path() const override { return path_; }

    int PcBaud() const override {
        termios t{};
        if (tcgetattr(master_, &t) != 0) return 0;
        return BaudOf(cfgetospeed(&t));
    }

    bool Pump(int maxWaitMs) override {
        const int baud = PcBaud();
        SimNanos now = Now();
        // PC -> tester.
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n > 0) {
                tester_.Receive(buffer, static_cast<std::size_t>(n), now, baud);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EIO) return false;
            break;
        }
        // Tester -> PC, byte by byte as each one completes on the wire.
        const auto out = tester_.TakeOutput(now, baud);
        pending_.insert(pending_.end(), out.begin(), out.end());
        if (pending_.size() > kMaxPending) pending_.erase(pending_.begin(), pending_.end() - kMaxPending);
        while (!pending_.empty()) {
            const ssize_t n = write(master_, pending_.data(), pending_.size());
            if (n > 0) {
                pending_.erase(pending_.begin(), pending_.begin() + n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            break;  // the PC does not read: keep the bytes for later
        }
        // Wait for the PC, or until the tester has something due.
        int waitMs = std::max(0, maxWaitMs);
        const SimNanos next = tester_.NextActivity(now);
        if (next != kNever) {
            const SimNanos ms = (next - now + kNanosPerMs - 1) / kNanosPerMs;
            waitMs = static_cast<int>(std::min<SimNanos>(static_cast<SimNanos>(waitMs), std::max<SimNanos>(ms, 1)));
        }
        pollfd p{};
        p.fd = master_;
        p.events = static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT));
        const int r = poll(&p, 1, waitMs);
        return !(r < 0 && errno != EINTR);
    }

    bool MakeLink(const std::string& linkPath, std::string* error) override {
        struct stat st {};
        if (lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                if (error) *error = linkPath + " exists and is not a symbolic link; it was left alone";
                return false;
            }
            unlink(linkPath.c_str());
        }
        if (symlink(path_.c_str(), linkPath.c_str()) != 0) {
            if (error) *error = "cannot create " + linkPath + ": " + strerror(errno);
            return false;
        }
        link_ = linkPath;
        return true;
    }

private:
    static constexpr std::size_t kMaxPending = 64 * 1024;

    bool Fail(const std::string& what, std::string* error) {
        if (error) *error = what + ": " + strerror(errno);
        return false;
    }
    SimNanos Now() {
        const std::uint32_t tick = clock_.TickCount();
        simNow_ += static_cast<SimNanos>(static_cast<std::uint32_t>(tick - lastTick_)) * kNanosPerMs;
        lastTick_ = tick;
        simNow_ = std::max(simNow_, tester_.now());
        return simNow_;
    }

    TesterSimulator& tester_;
    Clock& clock_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::string link_;
    std::vector<std::uint8_t> pending_;
    std::uint32_t lastTick_ = 0;
    SimNanos simNow_ = 0;
};

}  // namespace

std::unique_ptr<TesterDevice> OpenTesterDevice(TesterSimulator& tester, Clock& clock, std::string* error) {
    auto device = std::make_unique<PtyTesterDevice>(tester, clock);
    if (!device->Open(error)) return nullptr;
    return device;
}

}  // namespace zul::sim
