#include <windows.h>

#include <string>

#include "serial/device_names.h"
#include "serial/serial_devices.h"

namespace zul {
namespace {

// "COMn" of "\\.\COMn" or "COMn".
std::string DosName(const std::string& device) {
    const std::string prefix = "\\\\.\\";
    return device.rfind(prefix, 0) == 0 ? device.substr(prefix.size()) : device;
}

}  // namespace

std::string PortDeviceName(int comNumber) {
    if (!DeviceOverride().empty()) return DeviceOverride();
    return "\\\\.\\COM" + std::to_string(comNumber);
}

bool SerialDeviceExists(const std::string& device) {
    char target[512];
    return QueryDosDeviceA(DosName(device).c_str(), target, sizeof target) != 0;
}

std::vector<std::string> ListSerialDevices() {
    std::vector<std::string> devices;
    for (int n = 1; n <= 256; ++n) {
        const std::string device = "\\\\.\\COM" + std::to_string(n);
        if (SerialDeviceExists(device)) devices.push_back(device);
    }
    return devices;
}

bool SameSerialDevice(const std::string& a, const std::string& b) { return DosName(a) == DosName(b); }

// Windows opens COMn itself and ignores the settings file's "Devices"; a port
// beyond the list is reached with its number.
std::string UnnamedDeviceAdvice(const std::string& device) {
    const int number = ComNumberOfName(DosName(device).c_str());
    return "use one with --port N, e.g. --port " + (number > 0 ? std::to_string(number) : std::string("11"));
}

}  // namespace zul
