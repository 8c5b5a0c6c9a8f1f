#include "app/startup.h"

#include <cstring>

#include "app/profile_file.h"
#include "app/settings_store.h"
#include "support/platform.h"

namespace zul {
namespace {
std::string g_settingsFilePath;
std::unique_ptr<PortSelection> g_portSelection;
}  // namespace

const std::string& SettingsFilePath() { return g_settingsFilePath; }

void SetSettingsFilePath(std::string path) {
    // The path lives in a 260-character buffer in the original program; keep
    // the same bound so longer paths fail the same way everywhere.
    if (path.size() > 259) path.resize(259);
    g_settingsFilePath = std::move(path);
}

std::string LocateSettingsFile(FileSystem& fs, const std::string& programDirectory,
                               const std::string& fallbackDirectory) {
    std::string candidate = programDirectory + PathSeparator() + kSettingsFileName;
    WriteProfileString(fs, candidate, "WriteTest", "Val", "12345");
    std::string back = ReadProfileString(fs, candidate, "WriteTest", "Val", "", 256);
    if (back == "12345") return candidate;
    return fallbackDirectory + kSettingsFileName;
}

std::string LocateSettingsFile() {
    return LocateSettingsFile(RealFileSystem(), getProgramDirectory(), SettingsFallbackDirectory());
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
