#pragma once
// The small synchronous port of the COM port test. It opens a port by name
// with settings of its own, bypassing the serial link, and gives every read
// and write a short device time-out.
#include <cstdint>
#include <memory>

#include "serial/serial_port.h"

namespace zul {

class DirectPort {
public:
    // The device handle, 0 when closed.
    std::intptr_t handle = 0;
    char deviceName[128] = {};
    std::uint32_t baudRate = 0;
    // In the Windows device-control coding: stop bits 0 one, 1 one and a half,
    // 2 two; parity 0 none, 1 odd, 2 even, 3 mark, 4 space.
    std::uint8_t stopBits = 0;
    std::uint8_t parity = 0;
    std::uint8_t dataBits = 0;

    DirectPort();
    // Closes what is still open, so that nothing leaks past an exception.
    ~DirectPort();
    DirectPort(const DirectPort&) = delete;
    DirectPort& operator=(const DirectPort&) = delete;

    // Opens `name` ("COMn", or on POSIX also a device path) without sharing,
    // applies the four settings and the time-outs (a one-byte read gives up
    // after 5 ms, a one-byte write after 10 ms). 1 when open and configured,
    // else 0 with the object closed. An empty or null name gives 0 at once.
    // The device's own settings are remembered and put back by close.
    int open(const char* name, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t parityCode,
             std::uint8_t stopBitsCode);
    // Puts back the device settings found by open, closes a valid handle and
    // sets it to 0: the close result (1 success, 0 failure), or the old
    // handle value when there was nothing to close.
    std::intptr_t close();
    // Bytes written within the write time-out (5 ms + 5 ms per byte); 0 for
    // null data, a zero count or a failure.
    int write(const void* data, int count);
    // One byte within 5 ms: 1 when read, else 0 (also for a null buffer).
    int read(void* byte);
    // Waits (bounded) until what was written has left; 1 on success, 0 otherwise.
    int flush();
    // Up to 256 bytes (5 ms per byte, 14 ms between bytes): the count read,
    // 0 on failure, -1 for a null buffer.
    int readUpTo256(void* buffer);
    // One byte: the count read, -1 on failure or a null buffer.
    int readOne(void* byte);

private:
    // The platform's part of open: the device named by `deviceName`, with the
    // settings in the fields above.
    int openDevice();
    LineFormat line() const;

    // The device's settings as open found them (platform records).
    struct FoundSettings;
    std::unique_ptr<FoundSettings> found_;
};

}  // namespace zul
