#pragma once
// Uploading ZUL's own monitor program into tester RAM and starting it, for
// the flash work that the tester's boot monitor cannot do.
#include <cstdint>
#include <optional>
#include <span>

#include "tester/download_result.h"
#include "tester/monitor_protocol.h"

namespace zul {

// The program to upload: where it is loaded and started, and its bytes.
struct MonitorImageRef {
    std::uint32_t loadAddress = 0;
    std::span<const std::uint8_t> bytes;
    // The built-in stand-in, which is no tester program: only a simulated
    // tester may be given it.
    bool placeholder = false;
};

// The image EnsureMonitor uploads: the override when one is set, else the
// monitor built into ZUL or the image file its setting names; none when the
// named file cannot be used.
std::optional<MonitorImageRef> ActiveMonitorImage();
std::optional<MonitorImageRef> BuiltInMonitorImage();
// Replaces the image for the lifetime of the process (tests); nullopt restores.
void SetMonitorImageOverride(std::optional<MonitorImageRef> image);
std::optional<MonitorImageRef> MonitorImageOverride();

// Why no monitor image may be uploaded to the tester at hand.
enum class MonitorImageProblem {
    kNone,
    kPlaceholderForRealTester,  // no MonitorImage set, and the tester is not a simulated one
    kUnusableFile,              // the file MonitorImage names cannot be used
};
// The image an upload would send to the tester at hand: the active image,
// unless it is the placeholder and the tester is not simulated
// (TesterIsSimulated). Notes the problem for LastMonitorImageProblem.
std::optional<MonitorImageRef> UploadableMonitorImage();
// The problem the last UploadableMonitorImage found (kNone when it found an
// image).
MonitorImageProblem LastMonitorImageProblem();

// Loads the image with "LB", starts it with "C" and follows it to 9600 baud.
// Ok once every block was accepted (whatever the probes after the start
// give), else the first failing result (echo, block, or end of transfer).
MonitorResult UploadAndStart(MonitorContext& context, const MonitorImageRef& image);

// Ok when an uploaded monitor runs and both ends are at 115200 (uploading it
// when "FV" finds none and UploadableMonitorImage gives one), MonitorFailed,
// or SpeedFailed when the speed change after the upload failed.
DownloadResult EnsureMonitor(MonitorContext& context);

}  // namespace zul
