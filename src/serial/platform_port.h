#pragma once
// What each platform back end provides to the portable part of the library.
#include <memory>
#include <string>

#include "serial/serial_port.h"

namespace zul {

// The platform's port on `portIndex` (COM number minus 1), opened and
// configured, or closed with its failure in lastError.
std::unique_ptr<SerialPort> CreatePlatformSerialPort(int portIndex, int inQueueSize, int outQueueSize);

}  // namespace zul
