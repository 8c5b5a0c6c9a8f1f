#include "ui/ports/device_map.h"

#include "host/settings_store.h"
#include "host/startup.h"

namespace zul {

std::string SettingsDeviceForComNumber(int comNumber) {
    if (SettingsFilePath().empty()) return std::string();
    const std::string key = "COM" + std::to_string(comNumber);
    return SettingsStore(SettingsFilePath()).ReadValue("Devices", key.c_str(), "");
}

}  // namespace zul
