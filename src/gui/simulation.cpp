#include "gui/simulation.h"

namespace zul::gui {

bool SimulatedTester::Start(const std::string& faults, std::string* error) {
    sim::SimOptions options;
    options.timing = sim::SimTiming::Fast();
    std::string why;
    if (!sim::ParseFaultList(faults, &options.faults, &why)) {
        *error = "--simulate " + why;
        return false;
    }
    played_ = std::make_unique<sim::PlayedTester>(options);
    FrontEnd simulated = InstalledFrontEnd();
    // Only a simulated tester may be given the built-in stand-in monitor.
    simulated.inProcessSimulator = true;
    if (!played_->devicePath().empty())
        simulated.deviceOverride = played_->devicePath();
    else
        simulated.serialPortFactory = played_->portFactory();
    seams_.emplace(simulated);
    return true;
}

std::string SimulatedTester::devicePath() const { return played_ ? played_->devicePath() : std::string(); }

SimulatedTester::~SimulatedTester() {
    if (played_) played_->Stop();
    seams_.reset();
}

}  // namespace zul::gui
