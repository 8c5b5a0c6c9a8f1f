#pragma once
// One connection to the tester as the system makes it: the port, the link on
// it, and a second pair of line and flow companions through which the
// protocol changes the speed. Teardown runs innermost first, so that the
// device ends up as the port found it.
#include <memory>

#include "serial/serial_port.h"

namespace zul {

class SerialConnection {
public:
    SerialConnection() = default;
    ~SerialConnection() { close(); }
    SerialConnection(const SerialConnection&) = delete;
    SerialConnection& operator=(const SerialConnection&) = delete;

    // Makes the port on COM `comNumber` (CreateSerialPort with 4096 and 2048),
    // the link, checks it (a pending open error fails), binds the second line
    // and flow companions and sets 9600 N 8 1, then purges the receive queue.
    // Returns 0, the port's open error (-801, -838, ...), or -801 when the line
    // cannot be set; on failure everything made so far is torn down again.
    int open(int comNumber);
    // Destroys, in order, the second flow and line companions, the link and the
    // port. Does not purge; a caller that wants unsent bytes dropped purges first.
    void close();

    bool isOpen() const { return link_ != nullptr; }
    SerialPort* port() const { return port_.get(); }
    SerialLink* link() const { return link_.get(); }
    // The companion the protocol changes the speed through (setLineSettings,
    // then attach to make the new line the one to restore).
    LineSettings* line() const { return line_.get(); }
    FlowSettings* flow() const { return flow_.get(); }

private:
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<SerialLink> link_;
    std::unique_ptr<LineSettings> line_;
    std::unique_ptr<FlowSettings> flow_;
};

}  // namespace zul
