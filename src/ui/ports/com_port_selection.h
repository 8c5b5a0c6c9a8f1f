#pragma once
// The COM port selection and the loopback test as the windows run them: the
// questions, the status window and the result message around the check.
#include <string>
#include <string_view>
#include <vector>

#include "host/settings_store.h"

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
