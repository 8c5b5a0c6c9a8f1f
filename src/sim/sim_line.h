#pragma once
// One direction of an RS-232 line, modelled at the bit level. A transmitter
// puts frames (start bit, 8 data bits LSB first, stop bit) on the line at its
// own speed; a receiver samples the waveform at the middle of each of its own
// bit times. When both speeds agree every byte arrives intact; when they
// differ the receiver sees what a real UART would: wrong values, framing
// errors, bytes merged or split.
#include <cstdint>
#include <deque>
#include <optional>

namespace zul::sim {

// Nanoseconds on the simulator's time line.
using SimNanos = std::uint64_t;
inline constexpr SimNanos kNever = ~SimNanos{0};
inline constexpr SimNanos kNanosPerMs = 1000000;

// Duration of one bit at `baud` (rounded to whole nanoseconds).
SimNanos BitTime(int baud);
// Duration of a whole frame (10 bit times: 8N1).
inline SimNanos FrameTime(int baud) { return 10 * BitTime(baud); }

struct ReceivedByte {
    std::uint8_t value = 0;
    SimNanos time = 0;          // when the receiver has the byte (middle of its stop bit)
    bool framingError = false;  // the stop bit was sampled low
};

class SimLine {
public:
    // Queues `byte` for transmission at `baud`, starting no earlier than
    // `earliest` and after the frames already queued. Returns when its stop
    // bit ends.
    SimNanos Send(std::uint8_t byte, SimNanos earliest, int baud);
    // When the transmitter is idle again.
    SimNanos freeAt() const { return freeAt_; }
    // Frames not yet completely on the wire at `now`.
    std::size_t InFlight(SimNanos now) const;
    // End of the first frame still on the wire after `now`; kNever when idle.
    SimNanos NextFrameEnd(SimNanos now) const;
    // Withdraws every frame that has not started by `now` (a purge of the
    // transmit queue). Returns how many were dropped.
    std::size_t DropUnsent(SimNanos now);

    // The next byte a receiver at `baud` decodes, provided it has it by
    // `limit`. The caller guarantees that no frame starting before `limit`
    // will be queued later.
    std::optional<ReceivedByte> Receive(SimNanos limit, int baud);

private:
    struct Frame {
        SimNanos start;
        SimNanos bit;
        std::uint16_t pattern;  // bit i = line level during bit i
    };
    int Level(SimNanos t) const;
    SimNanos NextLow(SimNanos from) const;
    SimNanos NextHigh(SimNanos from) const;
    std::size_t FirstFrameEndingAfter(SimNanos t) const;
    void Prune(SimNanos before);

    std::deque<Frame> frames_;
    SimNanos freeAt_ = 0;
    SimNanos scan_ = 0;      // the receiver hunts for a start bit from here
    bool waitHigh_ = false;  // after a framing error: wait for the line to go idle first
};

}  // namespace zul::sim
