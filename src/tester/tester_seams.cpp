#include "tester/tester_seams.h"

#include <utility>

#include "tester/link_trace.h"

namespace zul {

TesterSeams InstalledTesterSeams() {
    TesterSeams seams;
    seams.messageSink = InstalledMessageSink();
    seams.messagePump = InstalledMessagePump();
    seams.clock = InstalledClock();
    seams.deviceMap = InstalledDeviceMap();
    seams.serialPortFactory = InstalledSerialPortFactory();
    seams.deviceOverride = DeviceOverride();
    seams.inProcessSimulator = InProcessSimulator();
    seams.linkTrace = TesterLinkTrace();
    seams.linkOpener = InstalledTesterLinkOpener();
    seams.monitorImageOverride = MonitorImageOverride();
    return seams;
}

void InstallTesterSeams(const TesterSeams& seams) {
    SetMessageSink(seams.messageSink);
    SetMessagePump(seams.messagePump);
    SetCurrentClock(seams.clock);
    SetDeviceMap(seams.deviceMap);
    SetSerialPortFactory(seams.serialPortFactory);
    SetDeviceOverride(seams.deviceOverride);
    SetInProcessSimulator(seams.inProcessSimulator);
    SetTesterLinkTrace(seams.linkTrace);
    SetTesterLinkOpener(seams.linkOpener);
    SetMonitorImageOverride(seams.monitorImageOverride);
}

TesterSeamsScope::TesterSeamsScope(const TesterSeams& seams) : previous_(InstalledTesterSeams()) {
    InstallTesterSeams(seams);
}

TesterSeamsScope::~TesterSeamsScope() { InstallTesterSeams(previous_); }

void UseSimulatedTester(TesterSeams& seams, const std::string& devicePath, SerialPortFactory memoryPorts) {
    seams.inProcessSimulator = true;
    if (!devicePath.empty())
        seams.deviceOverride = devicePath;
    else
        seams.serialPortFactory = std::move(memoryPorts);
}

}  // namespace zul
