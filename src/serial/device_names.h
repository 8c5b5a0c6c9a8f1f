#pragma once
// Which device a COM number means, and why a device could not be opened.
//
// On Windows "COMn" is the device itself. Elsewhere a device map that the
// front end installs names the device of a COM number (the settings file's
// section "Devices", for example COM3=/dev/ttyUSB0); an unmapped COM number n
// means /dev/ttyS<n-1>. A device override (the command line's --device)
// replaces the mapping for every COM number while it is set.
#include <string>

namespace zul {

// "/dev/ttyS<n-1>".
std::string DefaultDeviceForComNumber(int comNumber);
// The override, else the device map's answer, else the default.
std::string DeviceForComNumber(int comNumber);

// The device of a COM number, "" for one it does not map. Asked on every
// lookup, so that a changed mapping counts at once.
using DeviceMap = std::string (*)(int comNumber);
// Installs `map` (nullptr: none, every COM number gets its default).
void SetDeviceMap(DeviceMap map);
DeviceMap InstalledDeviceMap();
// The COM number of a name "COMn" (case-insensitive, n from 1), or 0.
int ComNumberOfName(const char* name);

void SetDeviceOverride(std::string path);
const std::string& DeviceOverride();

// Why the last attempt to open a serial device failed.
enum class OpenFailureKind {
    kNone,
    kMissing,     // no such device
    kPermission,  // the user may not open it
    kBusy,        // another program holds it
    kNotSerial,   // it is not a serial device
    kOther,
};

struct OpenFailure {
    OpenFailureKind kind = OpenFailureKind::kNone;
    std::string device;
    int systemError = 0;  // errno or the Windows error number
};

// Platform back ends record every failed open here; the front ends read it to
// tell the user more than the result code does.
void NoteOpenFailure(OpenFailure failure);
void ClearOpenFailure();
const OpenFailure& LastOpenFailure();
// One sentence for the user, "" when nothing failed.
std::string DescribeOpenFailure(const OpenFailure& failure);

}  // namespace zul
