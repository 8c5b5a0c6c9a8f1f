#include "host/startup.h"

#include <cstring>

#include "host/profile_file.h"
#include "host/settings_store.h"
#include "support/platform.h"

namespace zul {
namespace {
std::string g_settingsFilePath;
std::unique_ptr<PortSelection> g_portSelection;
}  // namespace

const std::string& SettingsFilePath() { return g_settingsFilePath; }

bool SetSettingsFilePath(std::string path) {
    if (path.size() > kMaxSettingsPath) return false;
    g_settingsFilePath = std::move(path);
    return true;
}

std::string LocateSettingsFile(FileSystem& fs, const std::string& programDirectory,
                               const std::string& fallbackDirectory) {
    if (!programDirectory.empty()) {
        const std::string candidate = JoinPath(programDirectory, kSettingsFileName);
        // The write itself must succeed: a value that reads back from a file
        // that cannot be written proves nothing.
        if (candidate.size() <= kMaxSettingsPath && WriteProfileString(fs, candidate, "WriteTest", "Val", "12345") &&
            ReadProfileString(fs, candidate, "WriteTest", "Val", "", 256) == "12345")
            return candidate;
    }
    if (fallbackDirectory.empty()) return std::string();
    const std::string fallback = fallbackDirectory + kSettingsFileName;
    return fallback.size() <= kMaxSettingsPath ? fallback : std::string();
}

std::string LocateSettingsFile() {
    return LocateSettingsFile(RealFileSystem(), getProgramDirectory(), SettingsFallbackDirectory());
}

std::string SettingsFileProblem(FileSystem& fs, const std::string& path) {
    if (path.empty()) return "no file named";
    if (path.size() > kMaxSettingsPath)
        return "the path is " + std::to_string(path.size()) + " characters long; at most " +
               std::to_string(kMaxSettingsPath) + " are allowed";
    std::string contents;
    switch (fs.ReadRegularFile(path, &contents, kMaxProfileFileSize)) {
        case FileReadStatus::kNotRegular: return "it is not a regular file";
        case FileReadStatus::kTooLarge:
            return "it is larger than " + std::to_string(kMaxProfileFileSize) + " bytes, too large for a settings file";
        default: return std::string();
    }
}

PortSelection LoadPortSelection(const std::string& settingsFile, FileSystem& fs) {
    SettingsStore store(settingsFile, std::string(), fs);
    PortSelection selection;
    std::string name = store.ReadPortName();
    std::strncpy(selection.portName, name.c_str(), 5);
    selection.portName[5] = '\0';
    store.ReadPortNumber(&selection.portNumber);
    return selection;
}

PortSelection* CurrentPortSelection() { return g_portSelection.get(); }

void SetCurrentPortSelection(std::unique_ptr<PortSelection> selection) { g_portSelection = std::move(selection); }

}  // namespace zul
