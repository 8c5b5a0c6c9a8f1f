#include "ui/ports/com_port_selection.h"

#include <cstdio>

#include "host/messages.h"
#include "host/startup.h"
#include "serial/loopback.h"

namespace zul {

int runComPortTest(int portNumber, StatusWindow* status) {
    if (ShowResourceMessage(kIdsComTestQuestion, kIdsComTestCaption, kMbOkCancel | kMbIconQuestion) == kIdCancel)
        return kIdCancel;
    if (ShowResourceMessage(kIdsComTestAdapter, kIdsSetup, kMbOkCancel | kMbIconInformation) == kIdCancel)
        return kIdCancel;
    if (status != nullptr) status->Open(kComTestStatusText);
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", portNumber);
    const int passed = loopbackTest(name);
    if (status != nullptr) status->Close();
    if (passed) return ShowResourceMessage(kIdsComTestPassed, kIdsSuccess, kMbIconInformation);
    return ShowResourceMessage(kIdsComTestFailed, kIdsError, kMbIconError);
}

SelectComPortChoice::SelectComPortChoice(const SettingsStore& store) {
    int stored = 0;
    store.ReadPortNumber(&stored);
    select(stored >= 1 && stored <= kPortCount ? stored - 1 : 0);
}

std::vector<std::string> SelectComPortChoice::PortNames() {
    std::vector<std::string> names;
    for (int n = 1; n <= kPortCount; ++n) names.push_back("COM" + std::to_string(n));
    return names;
}

void SelectComPortChoice::select(int entry) {
    if (entry >= 0 && entry < kPortCount) selectedEntry_ = entry;
}

int SelectComPortChoice::Test(StatusWindow* status) const { return runComPortTest(portNumber(), status); }

void SelectComPortChoice::Confirm(SettingsStore& store) const {
    const int number = portNumber();
    store.WritePortNumber(number);
    const std::string name = "COM" + std::to_string(number);  // at most "COM10"
    store.WritePortName(name.c_str());
    if (PortSelection* selection = CurrentPortSelection()) {
        std::snprintf(selection->portName, sizeof selection->portName, "%.5s", name.c_str());
        selection->portNumber = number;
    }
}

}  // namespace zul
