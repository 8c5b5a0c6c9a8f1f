#pragma once
// Time for everything that waits. The protocol polls a millisecond tick count
// and sleeps in short slices; going through this seam lets tests run every
// time-out in virtual time, instantly and deterministically.
#include <cstdint>
#include <functional>
#include <vector>

namespace zul {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary origin; wraps like a 32-bit tick count.
    virtual std::uint32_t TickCount() = 0;
    // Blocks the caller for about `ms` milliseconds (0 just yields the processor).
    virtual void Sleep(std::uint32_t ms) = 0;
};

// The real monotonic clock.
Clock& SystemClock();

// The clock every part of the core uses. Defaults to SystemClock().
Clock& CurrentClock();
// Installs `clock` (nullptr restores the system clock). Not thread-safe:
// install before work starts, as tests and front ends do.
void SetCurrentClock(Clock* clock);
// The clock installed, nullptr for the system clock.
Clock* InstalledClock();

// A clock that only moves when someone sleeps on it or advances it. Observers
// run after every move, which lets a simulated device keep pace with the code
// that waits for it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t TickCount() override { return now_; }
    void Sleep(std::uint32_t ms) override { Advance(ms == 0 ? 0 : ms); }
    void Advance(std::uint32_t ms);
    // Called with the new tick count after every Advance.
    void OnAdvance(std::function<void(std::uint32_t)> observer) { observers_.push_back(std::move(observer)); }
    // Every Sleep ever made, in order (tests check slicing with it).
    const std::vector<std::uint32_t>& sleeps() const { return sleeps_; }

private:
    std::uint32_t now_;
    std::vector<std::uint32_t> sleeps_;
    std::vector<std::function<void(std::uint32_t)>> observers_;
};

// Installs a clock for the lifetime of the object, then puts back the one
// installed before (tests of the layers below the front ends' seams).
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) : previous_(InstalledClock()) { SetCurrentClock(&clock); }
    ~ScopedClock() { SetCurrentClock(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace zul
