#include "sim/played_tester.h"

#include "sim/simulated_tester_port.h"

namespace zul::sim {

bool ParseFaultList(const std::string& text, std::vector<Fault>* faults, std::string* error) {
    std::vector<Fault> parsed;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(at, comma - at);
        at = comma + 1;
        if (item.empty()) continue;
        Fault fault;
        std::string why;
        if (!ParseFault(item, &fault, &why)) {
            *error = item + ": " + why;
            return false;
        }
        parsed.push_back(fault);
    }
    faults->insert(faults->end(), parsed.begin(), parsed.end());
    return true;
}

PlayedTester::PlayedTester(const SimOptions& options, Clock& clock)
    : clock_(clock), simulator_(std::make_unique<TesterSimulator>(options)) {
    std::string why;
    device_ = OpenTesterDevice(*simulator_, clock_, &why);
    if (device_) {
        player_ = std::thread([this] {
            while (!stop_.load())
                if (!device_->Pump(20)) break;
        });
    }
}

PlayedTester::~PlayedTester() { Stop(); }

const std::string& PlayedTester::devicePath() const { return device_ ? device_->path() : noDevice_; }

SerialPortFactory PlayedTester::portFactory() {
    if (device_) return nullptr;
    return SimulatedTesterPortFactory(*simulator_, clock_);
}

void PlayedTester::Stop() {
    if (player_.joinable()) {
        stop_ = true;
        player_.join();
    }
}

}  // namespace zul::sim
