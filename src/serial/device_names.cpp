#include "serial/device_names.h"

#include <cctype>
#include <cstring>


namespace zul {
namespace {

std::string g_override;
DeviceMap g_map = nullptr;
OpenFailure g_lastFailure;

}  // namespace

std::string DefaultDeviceForComNumber(int comNumber) { return "/dev/ttyS" + std::to_string(comNumber - 1); }

std::string DeviceForComNumber(int comNumber) {
    if (!g_override.empty()) return g_override;
    std::string mapped = g_map != nullptr ? g_map(comNumber) : std::string();
    return mapped.empty() ? DefaultDeviceForComNumber(comNumber) : mapped;
}

void SetDeviceMap(DeviceMap map) { g_map = map; }

DeviceMap InstalledDeviceMap() { return g_map; }

int ComNumberOfName(const char* name) {
    if (name == nullptr) return 0;
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
        return 0;
    const char* digits = name + 3;
    if (*digits == '\0' || *digits == '0' || std::strlen(digits) > 4) return 0;
    int number = 0;
    for (const char* p = digits; *p != '\0'; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
        number = number * 10 + (*p - '0');
    }
    return number;
}

void SetDeviceOverride(std::string path) { g_override = std::move(path); }
const std::string& DeviceOverride() { return g_override; }

void NoteOpenFailure(OpenFailure failure) { g_lastFailure = std::move(failure); }
void ClearOpenFailure() { g_lastFailure = OpenFailure(); }
const OpenFailure& LastOpenFailure() { return g_lastFailure; }

std::string DescribeOpenFailure(const OpenFailure& failure) {
    const std::string& device = failure.device;
    switch (failure.kind) {
        case OpenFailureKind::kNone: return std::string();
        case OpenFailureKind::kMissing: return device + ": no such device.";
        case OpenFailureKind::kPermission:
            return device +
                   ": permission denied. The user needs read and write access to the device (on Linux, "
                   "membership of the 'dialout' group; log in again after adding it).";
        case OpenFailureKind::kBusy: return device + ": busy, another program holds the port.";
        case OpenFailureKind::kNotSerial: return device + ": not a serial device.";
        case OpenFailureKind::kOther: break;
    }
    return device + ": cannot be opened (system error " + std::to_string(failure.systemError) + ").";
}

}  // namespace zul
