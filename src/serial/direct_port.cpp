#include "serial/direct_port.h"

#include <cstring>

namespace zul {

int DirectPort::open(const char* name, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t parityCode,
                     std::uint8_t stopBitsCode) {
    if (name == nullptr || name[0] == '\0') return 0;
    std::strncpy(deviceName, name, sizeof deviceName - 1);
    deviceName[sizeof deviceName - 1] = '\0';
    baudRate = baud;
    dataBits = byteSize;
    parity = parityCode;
    stopBits = stopBitsCode;
    return openDevice();
}

LineFormat DirectPort::line() const {
    LineFormat format;
    format.baud = static_cast<int>(baudRate);
    format.parity = parity;
    format.dataBits = dataBits;
    format.stopBits = stopBits;
    return format;
}

}  // namespace zul
