#include "support/clock.h"

#include <chrono>
#include <thread>

namespace zul {
namespace {

class SteadyClock final : public Clock {
public:
    std::uint32_t TickCount() override {
        using namespace std::chrono;
        return static_cast<std::uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void Sleep(std::uint32_t ms) override {
        if (ms == 0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

Clock* g_current = nullptr;

}  // namespace

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

Clock& CurrentClock() { return g_current ? *g_current : SystemClock(); }

void SetCurrentClock(Clock* clock) { g_current = clock; }

Clock* InstalledClock() { return g_current; }

void VirtualClock::Advance(std::uint32_t ms) {
    sleeps_.push_back(ms);
    now_ += ms;
    for (auto& observer : observers_) observer(now_);
}

}  // namespace zul
