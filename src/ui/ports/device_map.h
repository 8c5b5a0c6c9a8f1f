#pragma once
// The serial devices that the settings file names: its section "Devices" maps
// "COMn" to a device path (for example COM3=/dev/ttyUSB0).
#include <string>

namespace zul {

// The "Devices"/"COMn" value of the settings file in use; "" when no file is
// fixed or it does not map the number. A front end installs it as its device
// map (FrontEnd::deviceMap).
std::string SettingsDeviceForComNumber(int comNumber);

}  // namespace zul
