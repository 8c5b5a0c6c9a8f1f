#include <array>

#include "tester/monitor_bootstrap.h"

namespace zul {

// Stand-in until the embedded monitor program is wired in.
MonitorImageRef BuiltInMonitorImage() {
    static const std::array<std::uint8_t, 14336> placeholder{};
    return MonitorImageRef{0x60000, placeholder};
}

}  // namespace zul
