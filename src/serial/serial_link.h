#pragma once
#include <cstdint>
#include <memory>

#include "serial/flow_settings.h"
#include "serial/line_settings.h"
#include "serial/serial_port.h"

namespace zul {

// The link the protocol code holds: one port (not owned) with its own line and
// flow companions.
class SerialLink {
public:
    // Milliseconds to wait after each byte written with writeByte (0: none).
    int pacing = 0;
    SerialPort* port = nullptr;  // not owned
    std::unique_ptr<FlowSettings> flow;
    std::unique_ptr<LineSettings> line;

    // When the port has no pending error: saves its line and applies 1200 N 8 1,
    // then 9600 N 8 1; saves its flow types; sets flow control to 0, 0. A port
    // with a pending error (failed open) leaves the link without companions,
    // and the error stays for checkLineErrors.
    explicit SerialLink(SerialPort* serialPort);
    // Destroys `flow`, then `line` (each restores what it saved). Never destroys the port.
    virtual ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Slot 1. The next byte (0 to 255) as soon as one arrives; -802 when none
    // came within `timeoutMs` milliseconds of the current clock; or a negative
    // result of the port's yield. Time-out 0 makes exactly one attempt. Between
    // attempts it calls the port's yield (which bounds each pause to about
    // 1 ms). Dispatches no window messages.
    virtual int readByte(int timeoutMs);
    // Slot 2. The port's writeByte result; afterwards waits `pacing` ms when not 0
    // (a negative yield result ends the wait and is returned).
    virtual int writeByte(std::uint8_t byte);
    // Slot 3. -803.
    virtual int reserved();

    // Writes the text and then the terminator: -1 none, -2 LF, -3 CR LF, 0..255
    // that byte. Returns the bytes queued, terminator included; 0 for a null
    // text or a terminator outside -3..255. Stops at the first short write.
    int writeText(const char* text, int terminator);
    // Bytes queued (0 for null data); never waits for the line.
    int writeBlock(const void* data, int count);
    // The port's getStatus with selector 7.
    void getStatus(PortStatus* status);
    // The port's purge on the receive side.
    int purgeReceive(int count);
    // The port's purge of the transmit queue.
    int purgeTransmit();
    // Sets *word to 0; a pending lastError of the port is taken (reset) and
    // returned. Otherwise refreshes the signals and reports the line errors seen
    // since the last call in *word, returning 0.
    int checkLineErrors(LineErrorWord* word);
};

}  // namespace zul
