#pragma once
// The monitor program that ZUL uploads into tester RAM before flash work. The
// real tester-side program is not part of this source tree: the built-in image
// is a PLACEHOLDER of the right size and address (see monitor_image.cpp). A
// real image file can be named in the settings ("Dir Setup", "MonitorImage").
#include <cstdint>
#include <string>
#include <vector>

#include "host/settings_store.h"
#include "support/file_system.h"
#include "tester/monitor_commands.h"

namespace zul {

inline constexpr std::uint32_t kMonitorLoadAddress = 0x60000;
inline constexpr std::uint32_t kMonitorImageSize = 14336;  // 112 blocks of 128 bytes
inline constexpr std::uint32_t kMonitorBlockSize = kBlockDataSize;
// Upper bound for an image file named in the settings (it lands in tester RAM).
inline constexpr std::uint32_t kMonitorImageMaxSize = 1024 * 1024;

inline constexpr const char* kMonitorImageSection = "Dir Setup";
inline constexpr const char* kMonitorImageKey = "MonitorImage";

struct MonitorImage {
    std::uint32_t loadAddress = kMonitorLoadAddress;
    std::vector<std::uint8_t> bytes;  // a multiple of 128 bytes
    bool placeholder = false;         // true for the built-in stand-in

    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes.size()); }
    std::uint32_t blockCount() const { return size() / kMonitorBlockSize; }
};

// The built-in image: 14,336 deterministic placeholder bytes for address
// 0x60000. Built once; the same bytes on every run and platform.
const MonitorImage& MonitorPowerPcImage();

// Results of LoadMonitorImageFile.
enum class MonitorImageResult : int {
    Ok = 0,
    Unreadable = 1,  // the named file is missing, not a regular file or unreadable
    BadSize = 2,     // empty, too large, or not a multiple of 128
};

// Reads a monitor image file: non-empty, a multiple of 128 bytes, at most
// kMonitorImageMaxSize. On success `out` holds the file's bytes at 0x60000.
MonitorImageResult LoadMonitorImageFile(FileSystem& fs, const std::string& path, MonitorImage* out);

// The image to upload: the file named by "Dir Setup"/"MonitorImage" when the
// setting is present, else the built-in image. A named file that cannot be
// used is an error (never silently replaced by the placeholder); `out` is left
// untouched then.
MonitorImageResult SelectMonitorImage(const SettingsStore& settings, FileSystem& fs, MonitorImage* out);

}  // namespace zul
