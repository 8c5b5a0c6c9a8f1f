#include "tester/monitor_bootstrap.h"

#include "host/message_pump.h"
#include "tester/link_setup.h"
#include "tester/tester_link.h"

namespace zul {
namespace {

std::optional<MonitorImageRef>& Override() {
    static std::optional<MonitorImageRef> image;
    return image;
}

MonitorImageProblem g_lastProblem = MonitorImageProblem::kNone;

}  // namespace

void SetMonitorImageOverride(std::optional<MonitorImageRef> image) { Override() = image; }

std::optional<MonitorImageRef> MonitorImageOverride() { return Override(); }

std::optional<MonitorImageRef> ActiveMonitorImage() { return Override() ? Override() : BuiltInMonitorImage(); }

std::optional<MonitorImageRef> UploadableMonitorImage() {
    const std::optional<MonitorImageRef> image = ActiveMonitorImage();
    if (!image) {
        g_lastProblem = MonitorImageProblem::kUnusableFile;
        return std::nullopt;
    }
    // Started on a real tester, the stand-in would run junk code.
    if (image->placeholder && !TesterIsSimulated()) {
        g_lastProblem = MonitorImageProblem::kPlaceholderForRealTester;
        return std::nullopt;
    }
    g_lastProblem = MonitorImageProblem::kNone;
    return image;
}

MonitorImageProblem LastMonitorImageProblem() { return g_lastProblem; }

MonitorResult UploadAndStart(MonitorContext& context, const MonitorImageRef& image) {
    const auto size = static_cast<std::uint32_t>(image.bytes.size());
    const std::string load = LoadDataCommand(image.loadAddress, size);
    // A load command that arrived garbled puts the image somewhere else.
    MonitorResult sent = SendCheckedCommand(context, load);
    if (sent == MonitorResult::Ok)
        sent = SendBlocks(context, image.bytes, [](std::size_t) { PumpPendingMessages(); });
    // The monitor ends the transfer with its prompt, or refuses the last
    // block with "*": only a transfer that ended cleanly may be started.
    if (sent == MonitorResult::Ok) sent = SendCommand(context, "", kCheckedTransferEnd);
    if (sent != MonitorResult::Ok) {
        // Give the boot monitor a chance to find its prompt again.
        SendCommand(context, VersionProbeCommand(), kPlainProbe);
        return sent;
    }
    WaitWithMessages(100);
    if (const MonitorResult called = SendCheckedCommand(context, CallCommand(image.loadAddress));
        called != MonitorResult::Ok)
        return called;
    WaitWithMessages(100);
    // The new monitor starts at 9600; the PC follows and gives it time to
    // come up: up to 4 probes here and 11 more below.
    SetLinkSpeed(context, "9600", true);
    if (TesterLink* link = ActiveTesterLink()) link->PurgeReceive();
    for (int probe = 0; probe < 11; ++probe)
        if (SendCommand(context, VersionProbeCommand(), kRetryProbe) == MonitorResult::Ok) break;
    return MonitorResult::Ok;
}

DownloadResult EnsureMonitor(MonitorContext& context) {
    if (SendCommand(context, MonitorVersionCommand(), kMonitorVersionProbe) == MonitorResult::Ok)
        return DownloadResult::Ok;
    const std::optional<MonitorImageRef> image = UploadableMonitorImage();
    if (!image || UploadAndStart(context, *image) != MonitorResult::Ok) return DownloadResult::MonitorFailed;
    if (SetLinkSpeed(context, "115200", false) != LinkSpeedResult::Ok) {
        SetLinkSpeed(context, "9600", true);
        return DownloadResult::SpeedFailed;
    }
    return DownloadResult::Ok;
}

}  // namespace zul
