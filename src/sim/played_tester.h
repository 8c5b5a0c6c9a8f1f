#pragma once
// A simulated tester played in this process for a front end's --simulate:
// on a terminal device where the platform has them (so the whole serial
// stack runs, as with a cable), in memory elsewhere. A thread of its own
// moves the device's bytes while the front end talks to it.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serial/serial_port.h"
#include "sim/sim_faults.h"
#include "sim/tester_device.h"
#include "sim/tester_simulator.h"
#include "support/clock.h"

namespace zul::sim {

// Reads a comma-separated list of fault descriptions (empty items are
// skipped). False for the first one that does not parse, with "TEXT: reason"
// in `error`; `faults` is then unchanged.
bool ParseFaultList(const std::string& text, std::vector<Fault>* faults, std::string* error);

class PlayedTester {
public:
    // Starts at once: opens a device (or settles for memory) and, on a
    // device, starts the thread that plays it.
    explicit PlayedTester(const SimOptions& options, Clock& clock = SystemClock());
    ~PlayedTester();
    PlayedTester(const PlayedTester&) = delete;
    PlayedTester& operator=(const PlayedTester&) = delete;

    // The device to open instead of any port; "" when the tester is in memory.
    const std::string& devicePath() const;
    // The factory that reaches the tester in memory; null on a device.
    SerialPortFactory portFactory();
    // Ends the playing thread (waits at most one pump round, 20 ms). The
    // simulator may be read only after this (or on the memory path).
    void Stop();
    const TesterSimulator& simulator() const { return *simulator_; }

private:
    Clock& clock_;
    std::unique_ptr<TesterSimulator> simulator_;
    std::unique_ptr<TesterDevice> device_;
    std::thread player_;
    std::atomic<bool> stop_{false};
    std::string noDevice_;
};

}  // namespace zul::sim
