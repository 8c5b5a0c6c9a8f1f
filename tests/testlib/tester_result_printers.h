#pragma once
// How a failed expectation shows a tester-layer result: its number, not the
// bytes of an unknown object.
#include <ostream>

#include "tester/download_result.h"
#include "tester/link_setup.h"
#include "tester/monitor_image.h"
#include "tester/monitor_protocol.h"

namespace zul {

inline void PrintTo(MonitorResult result, std::ostream* os) { *os << ResultNumber(result); }
inline void PrintTo(LinkSpeedResult result, std::ostream* os) { *os << ResultNumber(result); }
inline void PrintTo(DownloadResult result, std::ostream* os) { *os << ResultNumber(result); }
inline void PrintTo(LinkOpenResult result, std::ostream* os) { *os << ResultNumber(result); }
inline void PrintTo(HardwareId id, std::ostream* os) { *os << ResultNumber(id); }
inline void PrintTo(MonitorImageResult result, std::ostream* os) { *os << static_cast<int>(result); }

}  // namespace zul
