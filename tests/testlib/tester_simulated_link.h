#pragma once
// A link to a simulated tester in this process: bytes written go onto the
// simulated wire at the PC's speed; reads wait on the current clock until
// the simulator has a byte for the PC. On a virtual clock it runs in
// virtual time; on the system clock it behaves like a tester on a cable.
#include <deque>
#include <memory>

#include "sim/tester_simulator.h"
#include "tester/tester_link.h"

namespace zul::test {

class SimulatedLink final : public TesterLink {
public:
    // `tester` must outlive the link.
    explicit SimulatedLink(sim::TesterSimulator& tester);

    int ReadByte(int timeoutMs) override;
    int WriteText(std::string_view text) override;
    int WriteBlock(const std::uint8_t* data, std::size_t count) override;
    int PendingOutput() override;
    void PurgeReceive() override;
    void PurgeTransmit() override;
    int SetLineSpeed(long baud) override;
    long LineSpeed() const override { return baud_; }

private:
    sim::SimNanos Now();
    void Collect();

    sim::TesterSimulator& tester_;
    std::uint32_t origin_;
    sim::SimNanos base_;
    std::deque<std::uint8_t> received_;
    long baud_ = 9600;
};

}  // namespace zul::test
