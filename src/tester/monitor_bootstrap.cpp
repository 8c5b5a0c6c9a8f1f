#include "tester/monitor_bootstrap.h"

#include "app/message_pump.h"
#include "tester/link_setup.h"
#include "tester/tester_link.h"

namespace zul {
namespace {

std::optional<MonitorImageRef>& Override() {
    static std::optional<MonitorImageRef> image;
    return image;
}

}  // namespace

void SetMonitorImageOverride(std::optional<MonitorImageRef> image) { Override() = image; }

std::optional<MonitorImageRef> ActiveMonitorImage() { return Override() ? Override() : BuiltInMonitorImage(); }

int UploadAndStart(MonitorContext& context, const MonitorImageRef& image) {
    const auto size = static_cast<std::uint32_t>(image.bytes.size());
    SendCommand(context, LoadDataCommand(image.loadAddress, size), kSendOnly);
    const int sent = SendBlocks(context, image.bytes, [](std::size_t) { PumpPendingMessages(); });
    if (sent != 0) {
        // Give the boot monitor a chance to find its prompt again.
        SendCommand(context, VersionProbeCommand(), kPlainProbe);
        return sent;
    }
    WaitWithMessages(100);
    SendCommand(context, CallCommand(image.loadAddress), kSendOnly);
    WaitWithMessages(100);
    // The new monitor starts at 9600; the PC follows and gives it time to
    // come up: up to 4 probes here and 11 more below.
    SetLinkSpeed(context, "9600", true);
    if (TesterLink* link = ActiveTesterLink()) link->PurgeReceive();
    for (int probe = 0; probe < 11; ++probe)
        if (SendCommand(context, VersionProbeCommand(), kRetryProbe) == 0) break;
    return 0;
}

int EnsureMonitor(MonitorContext& context) {
    if (SendCommand(context, MonitorVersionCommand(), kMonitorVersionProbe) == 0) return 0;
    const std::optional<MonitorImageRef> image = ActiveMonitorImage();
    if (!image || UploadAndStart(context, *image) != 0) return kMonitorUploadFailed;
    if (SetLinkSpeed(context, "115200", false) != 0) {
        SetLinkSpeed(context, "9600", true);
        return kTesterSpeedFailed;
    }
    return 0;
}

}  // namespace zul
