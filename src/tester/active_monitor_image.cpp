#include "host/settings_store.h"
#include "host/startup.h"
#include "tester/monitor_bootstrap.h"
#include "tester/monitor_image.h"

namespace zul {

std::optional<MonitorImageRef> BuiltInMonitorImage() {
    // Read on demand, like every setting: a changed setting takes effect at
    // the next statement that needs the monitor.
    static MonitorImage selected;
    if (SettingsFilePath().empty()) {
        selected = MonitorPowerPcImage();
    } else if (SelectMonitorImage(SettingsStore(SettingsFilePath()), RealFileSystem(), &selected) !=
               MonitorImageResult::Ok) {
        return std::nullopt;
    }
    return MonitorImageRef{selected.loadAddress, selected.bytes, selected.placeholder};
}

}  // namespace zul
