// The port contract on the simulated tester's port, in virtual time.
#include <memory>
#include <string>

#include "sim/simulated_tester_port.h"
#include "support/clock.h"
#include "testlib/serial_port_contract_tests.h"

namespace zul::test {
namespace {

class SimulatedHarness : public PortHarness {
public:
    SimulatedHarness() : port_(tester_, clock_) {}
    SerialPort& port() override { return port_; }
    // The tester identifies itself at its start-up speed.
    std::string Exchange() override {
        if (port_.setLine(9600, 'N', 8, 1) != 0 || port_.writeString("I\r") != 2) return "";
        clock_.Sleep(200);
        return "ZIZ2";
    }

private:
    VirtualClock clock_{1000};
    ScopedClock installed_{clock_};
    sim::TesterSimulator tester_;
    sim::SimulatedTesterPort port_;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Simulated, SerialPortContract,
                         ::testing::Values(PortBackEnd{"SimulatedTester", [] {
                                               return std::unique_ptr<PortHarness>(new SimulatedHarness());
                                           }}),
                         PortBackEndName);

}  // namespace zul::test
