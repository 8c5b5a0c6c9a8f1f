#include "testlib/tester_simulated_link.h"

#include "support/clock.h"

namespace zul::test {

SimulatedLink::SimulatedLink(sim::TesterSimulator& tester)
    : tester_(tester), origin_(CurrentClock().TickCount()), base_(tester.now()) {}

sim::SimNanos SimulatedLink::Now() {
    // Elapsed time on the current clock, so that a wrapping tick count does
    // not send the simulator back in time.
    return base_ + sim::SimNanos{static_cast<std::uint32_t>(CurrentClock().TickCount() - origin_)} * sim::kNanosPerMs;
}

void SimulatedLink::Collect() {
    for (std::uint8_t byte : tester_.TakeOutput(Now(), static_cast<int>(baud_))) received_.push_back(byte);
}

int SimulatedLink::ReadByte(int timeoutMs) {
    Clock& clock = CurrentClock();
    const std::uint32_t start = clock.TickCount();
    for (;;) {
        Collect();
        if (!received_.empty()) {
            const std::uint8_t byte = received_.front();
            received_.pop_front();
            return byte;
        }
        if (clock.TickCount() - start >= static_cast<std::uint32_t>(timeoutMs > 0 ? timeoutMs : 0)) return kLinkNoData;
        clock.Sleep(1);
    }
}

int SimulatedLink::WriteText(std::string_view text) {
    return WriteBlock(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

int SimulatedLink::WriteBlock(const std::uint8_t* data, std::size_t count) {
    tester_.Receive(data, count, Now(), static_cast<int>(baud_));
    return static_cast<int>(count);
}

int SimulatedLink::PendingOutput() { return static_cast<int>(tester_.PcBytesInFlight(Now())); }

void SimulatedLink::PurgeReceive() {
    Collect();
    received_.clear();
}

void SimulatedLink::PurgeTransmit() { tester_.DropPcUnsent(Now()); }

int SimulatedLink::SetLineSpeed(long baud) {
    // What arrived at the old speed was received at the old speed.
    Collect();
    baud_ = baud;
    return 0;
}

}  // namespace zul::test
