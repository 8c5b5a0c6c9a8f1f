#pragma once
#include "serial/serial_port.h"

namespace zul {

class SerialLink;

// Line settings bound to a link: remembers the port's line when bound and puts
// it back when destroyed.
class LineSettings {
public:
    // Wanted line.
    int baud = 1200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    // Line found when bound, restored at destruction.
    int savedBaud = 0;
    char savedParity = '\0';
    int savedDataBits = 0;
    int savedStopBits = 0;
    // Bound port (not owned), null when unbound.
    SerialPort* port = nullptr;

    // Wanted 1200 N 8 1; binds to `link` when given (see attach).
    explicit LineSettings(SerialLink* link = nullptr);
    // When bound: copies the saved line into the wanted one and applies it.
    ~LineSettings();
    LineSettings(const LineSettings&) = delete;
    LineSettings& operator=(const LineSettings&) = delete;

    // Binds to the link's port, saves the port's current line, applies the
    // wanted one. 0, or -801 (no port, or the port refused; its own code stays
    // in its lastError).
    int attach(SerialLink* link);
    // Stores the wanted line and applies it: 0, or -801 as for attach.
    int setLineSettings(int newBaud, char newParity, int newDataBits, int newStopBits);
    void dump(const TextSink& sink) const;
};

}  // namespace zul
