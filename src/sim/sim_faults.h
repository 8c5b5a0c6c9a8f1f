#pragma once
// Faults the simulated tester can be told to show. Each is named, may be tied
// to a block of a transfer or to a command line, and several can be active at
// once. Text form (command line, test tables):
//
//   NAME[=VALUE][@WHERE]     WHERE: K (block K of a transfer, from 1) or cmd:N
//                            (the N-th command line received, from 1)
//
//   silent              no answer at all (from command N on with @cmd:N)
//   wrong-id[=TEXT]     "I" names another tester (default "ZIZ1")
//   ignore-baud         "BR" is echoed and answered but the speed stays
//   erase-error         "*" during an erase
//   refuse-block@K      "*" instead of the request for block K
//   cable-pull@K        silence in both directions from block K on
//   garble=P            each byte in either direction is corrupted with probability P
//   reset@K             the tester resets itself instead of requesting block K
//   late-monitor[=MS]   the uploaded monitor starts after MS ms (default 30000)
//   low-battery         "*" in every battery answer
//   refuse-monitor      the upload of a monitor image is refused with "*"
#include <cstdint>
#include <string>
#include <vector>

namespace zul::sim {

enum class FaultKind {
    Silent,
    WrongId,
    IgnoreBaud,
    EraseError,
    RefuseBlock,
    CablePull,
    Garble,
    Reset,
    LateMonitor,
    LowBattery,
    RefuseMonitor,
};

struct Fault {
    FaultKind kind = FaultKind::Silent;
    std::uint32_t block = 0;    // 1-based block of a transfer; 0: any
    std::uint32_t command = 0;  // 1-based command line; 0: any
    std::string text;           // wrong-id
    double probability = 0.0;   // garble
    std::uint32_t delayMs = 0;  // late-monitor
};

// The fault's name as written in a fault description.
const char* FaultName(FaultKind kind);

// Parses one fault description. Returns false (and a reason) for an unknown name,
// a malformed value or position, or a position the fault cannot take.
bool ParseFault(const std::string& text, Fault* fault, std::string* error);
// The text form of a fault (round-trips through ParseFault).
std::string FormatFault(const Fault& fault);

}  // namespace zul::sim
