#pragma once
// The COM port selection and the loopback test that checks a port and cable
// with a self-test adapter joining the port's transmit and receive lines.
#include <string>
#include <string_view>
#include <vector>

#include "app/settings_store.h"

namespace zul {

// The modeless status window shown while the test runs. The GUI implements
// it; without one nothing is shown.
class StatusWindow {
public:
    virtual ~StatusWindow() = default;
    virtual void Open(std::string_view text) = 0;
    virtual void Close() = 0;
};

inline constexpr const char* kComTestStatusText = "Performing COM port test...";

// Sends the byte values 0x00 to 0xFF in order on the named port, waits 250 ms
// and expects them back in the same order: 1 for pass, 0 for fail (also for a
// null name or a port that cannot be opened). The port is closed in every case.
int loopbackTest(const char* portName);

// The whole test on COM `portNumber`: two confirmations, the status window,
// the loopback, the result message. Returns 2 (kIdCancel) when a confirmation
// was cancelled, else the button of the result message (kIdOk).
int runComPortTest(int portNumber, StatusWindow* status = nullptr);

// The logic of the "Select COM Port" dialog, without the window.
class SelectComPortChoice {
public:
    static constexpr int kPortCount = 10;

    // Reads the stored COM number; one outside 1 to 10 (or not a number) selects COM1.
    explicit SelectComPortChoice(const SettingsStore& store);

    // "COM1" to "COM10", in list order.
    static std::vector<std::string> PortNames();

    int selectedEntry() const { return selectedEntry_; }
    void select(int entry);
    int portNumber() const { return selectedEntry_ + 1; }

    // The dialog's test button: the test on the port selected in the list.
    int Test(StatusWindow* status = nullptr) const;
    // OK: stores the number under "comm"/"Port" and "COM%d" under
    // "Comm Strings"/"Port", and updates the process-wide port selection.
    void Confirm(SettingsStore& store) const;

private:
    int selectedEntry_ = 0;
};

}  // namespace zul
