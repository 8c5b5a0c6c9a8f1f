#pragma once
// The simulated tester for the download benchmarks, played on the master
// side of a pseudo-terminal (POSIX only).
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "sim/tester_simulator.h"

namespace zul::bench {

inline std::uint64_t NowNanos() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

inline int BaudOf(speed_t speed) {
    switch (speed) {
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        default: return 1200;
    }
}

// Plays the simulated tester on the master side of a pseudo-terminal with a
// nanosecond time base, so that the far end keeps the line's pace exactly
// and what is measured is ZUL.
class PrecisePlayer {
public:
    explicit PrecisePlayer(zul::sim::TesterSimulator& tester) : tester_(tester) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        path_ = ptsname(master_);
        // Holding the slave keeps the master from seeing a hang-up between openings.
        slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        origin_ = NowNanos();
        thread_ = std::thread([this] { Run(); });
    }
    ~PrecisePlayer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }
    bool ok() const { return slave_ >= 0; }
    const std::string& path() const { return path_; }
    // Nanoseconds since the far end last received a byte.
    std::uint64_t quietFor() const { return NowNanos() - lastInput_.load(); }
    bool heard() const { return lastInput_.load() != 0; }

private:
    void Run() {
        // Wake-ups on time to the microsecond, not the default 50 us late.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        std::vector<std::uint8_t> pending;
        while (!stop_.load()) {
            termios t{};
            tcgetattr(master_, &t);
            const int baud = BaudOf(cfgetospeed(&t));
            const zul::sim::SimNanos now = NowNanos() - origin_;
            std::uint8_t buffer[4096];
            for (ssize_t n; (n = read(master_, buffer, sizeof buffer)) > 0;) {
                tester_.Receive(buffer, static_cast<std::size_t>(n), now, baud);
                lastInput_ = NowNanos();
            }
            const auto out = tester_.TakeOutput(now, baud);
            pending.insert(pending.end(), out.begin(), out.end());
            if (!pending.empty()) {
                const ssize_t n = write(master_, pending.data(), pending.size());
                if (n > 0) pending.erase(pending.begin(), pending.begin() + n);
            }
            zul::sim::SimNanos wait = 20'000'000;
            const zul::sim::SimNanos next = tester_.NextActivity(now);
            if (next != zul::sim::kNever) wait = std::min(wait, next > now ? next - now : 0);
            pollfd p{master_, POLLIN, 0};
            timespec ts{static_cast<time_t>(wait / 1'000'000'000), static_cast<long>(wait % 1'000'000'000)};
            ppoll(&p, 1, &ts, nullptr);
        }
    }

    zul::sim::TesterSimulator& tester_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::uint64_t origin_ = 0;
    std::atomic<std::uint64_t> lastInput_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

inline zul::sim::SimOptions BenchTesterOptions() {
    zul::sim::SimOptions options;
    options.timing = zul::sim::SimTiming::Fast();
    options.timing.flashBlockProgramUs = 0;
    return options;
}

}  // namespace zul::bench
