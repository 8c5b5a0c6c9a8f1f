#include "sim/tester_device.h"

namespace zul::sim {

std::unique_ptr<TesterDevice> OpenTesterDevice(TesterSimulator&, Clock&, std::string* error) {
    // Windows has no pseudo-terminals; a virtual COM port pair driver would be
    // needed. The in-memory port covers tests there.
    if (error) *error = "simulated tester devices need pseudo-terminals, which this platform does not have";
    return nullptr;
}

}  // namespace zul::sim
