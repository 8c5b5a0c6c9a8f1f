#pragma once
// How a failed expectation shows a result: its number (and a statement
// result's name), not the bytes of an unknown object.
#include <ostream>

#include "script/statement_parser.h"
#include "tester/download_result.h"
#include "tester/monitor_image.h"
#include "tester/monitor_protocol.h"

namespace zul {

inline void PrintTo(StatementResult result, std::ostream* os) {
    *os << ResultNumber(result) << " " << StatementResultName(result);
}
inline void PrintTo(MonitorResult result, std::ostream* os) { *os << ResultNumber(result); }
inline void PrintTo(LinkSpeedResult result, std::ostream* os) { *os << ResultNumber(result); }
inline void PrintTo(DownloadResult result, std::ostream* os) { *os << ResultNumber(result); }
inline void PrintTo(MonitorImageResult result, std::ostream* os) { *os << static_cast<int>(result); }

}  // namespace zul
