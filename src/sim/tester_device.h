#pragma once
// A simulated tester behind a terminal device that other programs (ZUL with
// --device, socat, a terminal program) open like a serial port. On POSIX the
// device is the slave side of a pseudo-terminal; the simulator reads the PC's
// line speed from it (the two ends of a pty share one termios), so a PC at
// the wrong speed gets garbage, as on a real cable. Data bits and parity of a
// pty are always 8N and cannot be seen; only the speed counts.
#include <cstdint>
#include <memory>
#include <string>

#include "sim/tester_simulator.h"
#include "support/clock.h"

namespace zul::sim {

class TesterDevice {
public:
    virtual ~TesterDevice() = default;
    // The device path to open (for example /dev/pts/7).
    virtual const std::string& path() const = 0;
    // Moves bytes both ways and runs the tester; waits up to `maxWaitMs` for
    // something to happen (returns earlier when the tester has something due
    // or the PC sends). False when the device failed.
    virtual bool Pump(int maxWaitMs) = 0;
    // The speed the PC side has set on the device now (0 when unknown).
    virtual int PcBaud() const = 0;
    // Makes `linkPath` a symbolic link to the device. An existing symbolic
    // link there is replaced; anything else is left alone and reported. The
    // link is removed when the device goes.
    virtual bool MakeLink(const std::string& linkPath, std::string* error) = 0;
};

// Opens a device for `tester`, with time taken from `clock`. Null (and the
// reason in `error`) when the platform has no such devices or opening failed.
std::unique_ptr<TesterDevice> OpenTesterDevice(TesterSimulator& tester, Clock& clock, std::string* error);

}  // namespace zul::sim
