#include "serial/loopback.h"

#include <cstdint>

#include "host/message_pump.h"
#include "serial/direct_port.h"

namespace zul {

int loopbackTest(const char* portName) {
    if (portName == nullptr) return 0;
    DirectPort port;  // closes on every way out
    if (port.open(portName, 9600, 8, 0, 0) == 0) return 0;
    port.flush();

    int next = 0;
    int failures = 0;
    while (next < 256) {
        const std::uint8_t value = static_cast<std::uint8_t>(next);
        if (port.write(&value, 1) == 1) {
            ++next;
            failures = 0;
        } else if (++failures >= 10) {
            port.close();
            return 0;
        }
    }

    WaitWithMessages(250);

    int expected = 0;
    int misses = 0;
    while (misses < 10) {
        std::uint8_t byte = 0;
        if (port.read(&byte) == 1) {
            if (byte != static_cast<std::uint8_t>(expected)) break;
            ++expected;
            misses = 0;
            if (expected == 256) {
                port.close();
                return 1;
            }
        } else {
            ++misses;
        }
    }
    port.close();
    return 0;
}

}  // namespace zul
