#pragma once
// Everything below the windows that a host program (or a test) plugs into the
// process: where messages go, what keeps the program alive while it waits,
// the time, which device a COM number opens, and the stand-ins a simulation
// or a test puts in place of the real tester. Filled as one plain struct and
// installed in one step, so nothing is set here and forgotten there.
#include <optional>
#include <ostream>
#include <string>

#include "host/message_pump.h"
#include "host/messages.h"
#include "serial/device_names.h"
#include "serial/serial_port.h"
#include "support/clock.h"
#include "tester/link_setup.h"
#include "tester/monitor_bootstrap.h"

namespace zul {

// A null or empty member means the core's own default.
struct TesterSeams {
    MessageSink* messageSink = nullptr;  // standard error, cautious answers to questions
    MessagePump* messagePump = nullptr;  // nothing to pump
    Clock* clock = nullptr;              // the system clock
    DeviceMap deviceMap = nullptr;       // every COM number opens its default device

    // Simulation and tests.
    SerialPortFactory serialPortFactory;  // the platform port
    std::string deviceOverride;           // none: each COM number opens its own device
    bool inProcessSimulator = false;      // no simulator stands in for the tester
    std::ostream* linkTrace = nullptr;    // no byte trace
    TesterLinkOpener linkOpener;          // links open through the serial port library
    std::optional<MonitorImageRef> monitorImageOverride;  // the built-in or configured monitor
};

// Points every COM number at a simulated tester played in this process: the
// terminal device it answers on or, when it has none (""), the factory that
// reaches it in memory. Only such a tester may be given the built-in
// stand-in monitor.
void UseSimulatedTester(TesterSeams& seams, const std::string& devicePath, SerialPortFactory memoryPorts);

// What is installed now.
TesterSeams InstalledTesterSeams();
// Installs every member of `seams`, replacing whatever was there.
void InstallTesterSeams(const TesterSeams& seams);

// Installs `seams` for its lifetime and then puts back exactly what was
// installed before, so scopes nest and a test that stops half-way cannot
// leave its seams behind for the next one.
class TesterSeamsScope {
public:
    explicit TesterSeamsScope(const TesterSeams& seams);
    ~TesterSeamsScope();
    TesterSeamsScope(const TesterSeamsScope&) = delete;
    TesterSeamsScope& operator=(const TesterSeamsScope&) = delete;

private:
    TesterSeams previous_;
};

}  // namespace zul
