#include "gui/qt/simulation.h"

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
    UseSimulatedTester(simulated, played_->devicePath(), played_->portFactory());
    seams_.emplace(simulated);
    return true;
}

std::string SimulatedTester::devicePath() const { return played_ ? played_->devicePath() : std::string(); }

SimulatedTester::~SimulatedTester() {
    if (played_) played_->Stop();
    seams_.reset();
}

}  // namespace zul::gui
