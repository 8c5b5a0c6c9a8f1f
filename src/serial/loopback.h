#pragma once
// The loopback check of a port and its cable, with a self-test adapter
// joining the port's transmit and receive lines.

namespace zul {

// Sends the byte values 0x00 to 0xFF in order on the named port, waits 250 ms
// and expects them back in the same order: 1 for pass, 0 for fail (also for a
// null name or a port that cannot be opened). The port is closed in every case.
int loopbackTest(const char* portName);

}  // namespace zul
