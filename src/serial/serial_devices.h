#pragma once
// The serial devices of this machine, for the port listing.
#include <string>
#include <vector>

namespace zul {

// The device a COM number opens: on POSIX the mapped path (see
// DeviceForComNumber), on Windows "\\.\COMn".
std::string PortDeviceName(int comNumber);
// True when the device is there to be opened.
bool SerialDeviceExists(const std::string& device);
// Serial devices present on the machine (USB adapters, UARTs that answer), in
// the same spelling as PortDeviceName gives, sorted.
std::vector<std::string> ListSerialDevices();
// True when two names lead to the same device.
bool SameSerialDevice(const std::string& a, const std::string& b);
// How the user makes ZUL use `device`, one that no COM number names yet:
// the words that follow "Other serial devices (" in the port listing.
std::string UnnamedDeviceAdvice(const std::string& device);

}  // namespace zul
