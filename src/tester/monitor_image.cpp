#include "tester/monitor_image.h"

#include <cstring>

namespace zul {
namespace {

// PLACEHOLDER: these bytes are NOT a tester program. The real monitor is
// PowerPC code that runs on the "ZIZ2" tester and is not available to this
// project. The stand-in has the exact size and load address, so every byte
// count, block count and check word on the wire is what a real upload
// produces; a real tester would crash if it were started. It begins with a
// readable marker and continues with a fixed pseudo-random sequence (a 32-bit
// linear congruential generator with a fixed seed), so it is identical on
// every build and covers all byte values, including "!", "*", ">" and CR.
constexpr char kPlaceholderMarker[] =
    "ZUL PLACEHOLDER MONITOR IMAGE - NOT TESTER CODE - replace through Dir Setup/MonitorImage";

MonitorImage BuildPlaceholder() {
    MonitorImage image;
    image.loadAddress = kMonitorLoadAddress;
    image.placeholder = true;
    image.bytes.resize(kMonitorImageSize);
    std::uint32_t state = 0x5A495A32u;  // "ZIZ2"
    for (std::uint32_t i = 0; i < kMonitorImageSize; ++i) {
        state = state * 1664525u + 1013904223u;
        image.bytes[i] = static_cast<std::uint8_t>(state >> 24);
    }
    std::memcpy(image.bytes.data(), kPlaceholderMarker, sizeof kPlaceholderMarker);
    return image;
}

}  // namespace

const MonitorImage& MonitorPowerPcImage() {
    static const MonitorImage image = BuildPlaceholder();
    return image;
}

MonitorImageResult LoadMonitorImageFile(FileSystem& fs, const std::string& path, MonitorImage* out) {
    std::string contents;
    // Bounded, and regular files only: a pipe would hold the download with
    // the port open, a device such as /dev/zero would fill memory.
    switch (fs.ReadRegularFile(path, &contents, kMonitorImageMaxSize)) {
        case FileReadStatus::kOk: break;
        case FileReadStatus::kTooLarge: return MonitorImageResult::BadSize;
        default: return MonitorImageResult::Unreadable;
    }
    if (contents.empty() || contents.size() > kMonitorImageMaxSize || contents.size() % kMonitorBlockSize != 0) {
        return MonitorImageResult::BadSize;
    }
    MonitorImage image;
    image.loadAddress = kMonitorLoadAddress;
    image.placeholder = false;
    image.bytes.assign(contents.begin(), contents.end());
    *out = std::move(image);
    return MonitorImageResult::Ok;
}

MonitorImageResult SelectMonitorImage(const SettingsStore& settings, FileSystem& fs, MonitorImage* out) {
    const std::string path = settings.ReadValue(kMonitorImageSection, kMonitorImageKey, "");
    if (path.empty()) {
        *out = MonitorPowerPcImage();
        return MonitorImageResult::Ok;
    }
    return LoadMonitorImageFile(fs, path, out);
}

}  // namespace zul
