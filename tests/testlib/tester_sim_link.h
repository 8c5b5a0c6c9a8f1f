#pragma once
// The simulated tester behind the active link, in virtual time: bytes the
// protocol writes go onto the simulated wire at the PC's speed, and reads
// advance the virtual clock until the simulator has a byte for the PC.
#include <deque>

#include "sim/tester_simulator.h"
#include "support/clock.h"
#include "tester/tester_link.h"

namespace zul::test {

class SimulatorLink final : public TesterLink {
public:
    SimulatorLink(VirtualClock& clock, sim::TesterSimulator& tester) : clock_(clock), tester_(tester) {}

    int ReadByte(int timeoutMs) override {
        const std::uint32_t start = clock_.TickCount();
        for (;;) {
            Collect();
            if (!received_.empty()) {
                const std::uint8_t byte = received_.front();
                received_.pop_front();
                return byte;
            }
            if (clock_.TickCount() - start >= static_cast<std::uint32_t>(timeoutMs)) return kLinkNoData;
            clock_.Advance(1);
        }
    }
    int WriteText(std::string_view text) override {
        return WriteBlock(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    int WriteBlock(const std::uint8_t* data, std::size_t count) override {
        tester_.Receive(data, count, Now(), static_cast<int>(baud_));
        return static_cast<int>(count);
    }
    int PendingOutput() override { return static_cast<int>(tester_.PcBytesInFlight(Now())); }
    void PurgeReceive() override {
        Collect();
        received_.clear();
    }
    void PurgeTransmit() override { tester_.DropPcUnsent(Now()); }
    int SetLineSpeed(long baud) override {
        Collect();
        baud_ = baud;
        return 0;
    }
    long LineSpeed() const override { return baud_; }

private:
    sim::SimNanos Now() { return sim::SimNanos{clock_.TickCount()} * sim::kNanosPerMs; }
    void Collect() {
        for (std::uint8_t b : tester_.TakeOutput(Now(), static_cast<int>(baud_))) received_.push_back(b);
    }

    VirtualClock& clock_;
    sim::TesterSimulator& tester_;
    std::deque<std::uint8_t> received_;
    long baud_ = 9600;
};

}  // namespace zul::test
