#include "sim/sim_line.h"

#include <algorithm>

namespace zul::sim {

SimNanos BitTime(int baud) {
    if (baud <= 0) baud = 1;
    return (1000000000ull + static_cast<SimNanos>(baud) / 2) / static_cast<SimNanos>(baud);
}

SimNanos SimLine::Send(std::uint8_t byte, SimNanos earliest, int baud) {
    Frame f;
    f.start = std::max(earliest, freeAt_);
    f.bit = BitTime(baud);
    // start bit low, data LSB first, stop bit high
    f.pattern = static_cast<std::uint16_t>((static_cast<unsigned>(byte) << 1) | (1u << 9));
    frames_.push_back(f);
    freeAt_ = f.start + 10 * f.bit;
    return freeAt_;
}

std::size_t SimLine::InFlight(SimNanos now) const {
    std::size_t n = 0;
    for (auto it = frames_.rbegin(); it != frames_.rend() && it->start + 10 * it->bit > now; ++it) ++n;
    return n;
}

SimNanos SimLine::NextFrameEnd(SimNanos now) const {
    const std::size_t i = FirstFrameEndingAfter(now);
    return i == frames_.size() ? kNever : frames_[i].start + 10 * frames_[i].bit;
}

std::size_t SimLine::DropUnsent(SimNanos now) {
    std::size_t n = 0;
    while (!frames_.empty() && frames_.back().start >= now) {
        frames_.pop_back();
        ++n;
    }
    freeAt_ = frames_.empty() ? std::min(freeAt_, now) : frames_.back().start + 10 * frames_.back().bit;
    return n;
}

std::size_t SimLine::FirstFrameEndingAfter(SimNanos t) const {
    // Frames are in time order and never overlap: binary search on their ends.
    std::size_t lo = 0, hi = frames_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        const Frame& f = frames_[mid];
        if (f.start + 10 * f.bit <= t) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

int SimLine::Level(SimNanos t) const {
    const std::size_t i = FirstFrameEndingAfter(t);
    if (i == frames_.size() || frames_[i].start > t) return 1;  // idle line is high
    const Frame& f = frames_[i];
    const SimNanos bit = (t - f.start) / f.bit;
    return (f.pattern >> bit) & 1;
}

SimNanos SimLine::NextLow(SimNanos from) const {
    for (std::size_t i = FirstFrameEndingAfter(from); i < frames_.size(); ++i) {
        const Frame& f = frames_[i];
        const SimNanos firstBit = from > f.start ? (from - f.start) / f.bit : 0;
        for (SimNanos b = firstBit; b < 10; ++b) {
            if (((f.pattern >> b) & 1) == 0) return std::max(from, f.start + b * f.bit);
        }
    }
    return kNever;
}

SimNanos SimLine::NextHigh(SimNanos from) const {
    if (Level(from) == 1) return from;
    const std::size_t i = FirstFrameEndingAfter(from);
    const Frame& f = frames_[i];
    for (SimNanos b = (from - f.start) / f.bit; b < 10; ++b) {
        if ((f.pattern >> b) & 1) return f.start + b * f.bit;
    }
    return f.start + 10 * f.bit;  // not reached: the stop bit is high
}

void SimLine::Prune(SimNanos before) {
    while (!frames_.empty() && frames_.front().start + 10 * frames_.front().bit <= before) frames_.pop_front();
}

std::optional<ReceivedByte> SimLine::Receive(SimNanos limit, int baud) {
    SimNanos from = scan_;
    if (waitHigh_) {
        // A framing error leaves the receiver waiting for an idle (high) line;
        // the line can only be low inside a queued frame, so this always ends.
        from = NextHigh(from);
        if (from > limit) return std::nullopt;
        scan_ = from;
        waitHigh_ = false;
    }
    const SimNanos start = NextLow(from);
    if (start == kNever) return std::nullopt;
    const SimNanos bit = BitTime(baud);
    const SimNanos stopSample = start + 9 * bit + bit / 2;
    if (stopSample > limit) return std::nullopt;
    unsigned value = 0;
    for (int k = 1; k <= 8; ++k) {
        if (Level(start + static_cast<SimNanos>(k) * bit + bit / 2)) value |= 1u << (k - 1);
    }
    ReceivedByte r;
    r.value = static_cast<std::uint8_t>(value);
    r.time = stopSample;
    r.framingError = Level(stopSample) == 0;
    scan_ = stopSample;
    waitHigh_ = r.framingError;
    Prune(scan_);
    return r;
}

}  // namespace zul::sim
