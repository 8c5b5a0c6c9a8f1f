#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "serial/device_names.h"
#include "serial/serial_devices.h"

namespace zul {
namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Built-in UART nodes exist whether or not a UART answers behind them; the
// kernel tells which ones have a port type.
bool UartPresent(const std::string& name) {
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int value = 0;
    return type >> value && value != 0;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

std::string PortDeviceName(int comNumber) { return DeviceForComNumber(comNumber); }

bool SerialDeviceExists(const std::string& device) {
    struct stat info{};
    return stat(device.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

std::vector<std::string> ListSerialDevices() {
    std::vector<std::string> devices;
    DIR* dir = opendir("/dev");
    if (dir == nullptr) return devices;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const bool adapter = StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM") ||
                             StartsWith(name, "ttyAMA") || StartsWith(name, "rfcomm") || StartsWith(name, "cu.");
        if (adapter || (StartsWith(name, "ttyS") && UartPresent(name))) {
            const std::string path = "/dev/" + name;
            if (SerialDeviceExists(path)) devices.push_back(path);
        }
    }
    closedir(dir);
    std::sort(devices.begin(), devices.end());
    return devices;
}

bool SameSerialDevice(const std::string& a, const std::string& b) { return a == b || RealPath(a) == RealPath(b); }

std::string UnnamedDeviceAdvice(const std::string& device) {
    return "name one in the settings file, section \"Devices\", e.g. COM3=" + device;
}

}  // namespace zul
