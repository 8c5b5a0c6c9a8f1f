#pragma once
// `zul --simulate`: a KVR 7700 played in this process, so the whole window
// program runs without hardware. Every COM number opens the simulated
// tester (on a pseudo-terminal where there are any, through the whole serial
// stack; in memory elsewhere).
#include <memory>
#include <optional>
#include <string>

#include "sim/played_tester.h"
#include "ui/front_end.h"

namespace zul::gui {

class SimulatedTester {
public:
    SimulatedTester() = default;
    ~SimulatedTester();
    SimulatedTester(const SimulatedTester&) = delete;
    SimulatedTester& operator=(const SimulatedTester&) = delete;

    // `faults` as zul-cli simulate takes them, comma-separated. False with
    // the reason in `error` for a fault that does not parse.
    bool Start(const std::string& faults, std::string* error);
    // The device every COM number opens ("" when the tester is in memory).
    std::string devicePath() const;

private:
    std::unique_ptr<sim::PlayedTester> played_;
    // The simulated tester in place of the port, on top of the window
    // program's own front end, while it runs.
    std::optional<FrontEndScope> seams_;
};

}  // namespace zul::gui
