#pragma once
// "Select COM Port": COM1 to COM10, OK stores the choice, Cancel stores
// nothing, and "Test COM Port" runs the loopback test on the port chosen in
// the list. The logic is the core's SelectComPortChoice; this is its window.
#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include "host/settings_store.h"
#include "ui/ports/com_port_selection.h"

namespace zul::gui {

// What the list shows for COM `number`: "COM3 (/dev/ttyUSB0)" where a COM
// number opens a device of another name, plain "COM3" where it is the device.
QString ComPortEntryText(int number, const std::string& device);

class SelectComPortDialog : public QDialog {
    Q_OBJECT
public:
    SelectComPortDialog(SettingsStore store, QWidget* owner);

    QComboBox* list() const { return list_; }
    QPushButton* testButton() const { return test_; }
    // The port number chosen in the list (1 to 10).
    int portNumber() const { return list_->currentIndex() + 1; }

public slots:
    void accept() override;
    void OnTest();

private:
    SettingsStore store_;
    SelectComPortChoice choice_;
    QComboBox* list_;
    QPushButton* test_;
};

// Opens the dialog modally over `owner` with the settings file in use.
void OpenSelectComPortDialog(QWidget* owner);

}  // namespace zul::gui
