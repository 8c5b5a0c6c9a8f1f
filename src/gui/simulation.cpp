#include "gui/simulation.h"

#include "sim/sim_faults.h"
#include "sim/simulated_tester_port.h"
#include "support/clock.h"

namespace zul::gui {

bool SimulatedTester::Start(const std::string& faults, std::string* error) {
    sim::SimOptions options;
    options.timing = sim::SimTiming::Fast();
    std::size_t at = 0;
    while (at < faults.size()) {
        std::size_t comma = faults.find(',', at);
        if (comma == std::string::npos) comma = faults.size();
        const std::string text = faults.substr(at, comma - at);
        at = comma + 1;
        if (text.empty()) continue;
        sim::Fault fault;
        std::string why;
        if (!sim::ParseFault(text, &fault, &why)) {
            *error = "--simulate " + text + ": " + why;
            return false;
        }
        options.faults.push_back(fault);
    }
    simulator_ = std::make_unique<sim::TesterSimulator>(options);
    FrontEnd simulated = InstalledFrontEnd();
    // Only a simulated tester may be given the built-in stand-in monitor.
    simulated.inProcessSimulator = true;
    std::string why;
    device_ = sim::OpenTesterDevice(*simulator_, SystemClock(), &why);
    if (device_) {
        simulated.deviceOverride = device_->path();
        player_ = std::thread([this] {
            while (!stop_.load())
                if (!device_->Pump(20)) break;
        });
    } else {
        simulated.serialPortFactory = sim::SimulatedTesterPortFactory(*simulator_, SystemClock());
    }
    seams_.emplace(simulated);
    return true;
}

std::string SimulatedTester::devicePath() const { return device_ ? device_->path() : std::string(); }

SimulatedTester::~SimulatedTester() {
    if (player_.joinable()) {
        stop_ = true;
        player_.join();
    }
    seams_.reset();
}

}  // namespace zul::gui
