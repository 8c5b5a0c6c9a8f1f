#include "host/settings_store.h"

#include "host/profile_file.h"
#include "support/platform.h"

namespace zul {
namespace {
// Every read goes through a 256-byte buffer with the size 255, so a longer
// value comes back as its first 254 characters.
constexpr std::size_t kReadSize = 255;
}  // namespace

std::string ProgramDirectoryOfWindows(const std::string& path) {
    size_t pos = path.find_last_of('\\');
    if (pos == std::string::npos || pos < 2) return path;
    return path.substr(0, pos);
}

std::string ProgramDirectoryOfPosix(const std::string& path) {
    if (path.empty() || path.front() != '/') return std::string();
    size_t pos = path.find_last_of('/');
    return pos == 0 ? std::string("/") : path.substr(0, pos);
}

std::string ProgramDirectoryOf(const std::string& path) {
    return PathSeparator() == '\\' ? ProgramDirectoryOfWindows(path) : ProgramDirectoryOfPosix(path);
}

std::string getProgramDirectory() { return ProgramDirectoryOf(ExecutablePath()); }

SettingsStore::SettingsStore(std::string filePath, std::string programDirectory, FileSystem& fs)
    : filePath_(std::move(filePath)), programDirectory_(std::move(programDirectory)), fs_(&fs) {}

std::string SettingsStore::ReadValue(const char* section, const char* key, const char* defaultValue) const {
    return ReadProfileString(*fs_, filePath_, section, key, defaultValue, kReadSize);
}

bool SettingsStore::WriteValue(const char* section, const char* key, const char* value) {
    return WriteProfileString(*fs_, filePath_, section, key, value);
}

std::string SettingsStore::ReadPortName() const { return ReadValue("Comm Strings", "Port", "COM1"); }

void SettingsStore::ReadPortNumber(int* number) const {
    if (!number) return;
    *number = AsciiToInt(ReadValue("comm", "Port", "1"));
}

void SettingsStore::WritePortName(const char* name) {
    if (name) WriteValue("Comm Strings", "Port", name);
}

void SettingsStore::WritePortNumber(int number) { WriteValue("comm", "Port", std::to_string(number).c_str()); }

std::string SettingsStore::ReadClosingMessage() const {
    return ReadValue("Dir Setup", "QOBClosingMsg", kDefaultClosingMessage);
}

std::string SettingsStore::ReadScriptDir() const { return ReadValue("Dir Setup", "QOBDir", DefaultAppsDir().c_str()); }

std::string SettingsStore::ReadImageDir() const {
    return ReadValue("Dir Setup", "ImgQOBDir", DefaultAppsDir().c_str());
}

std::string SettingsStore::ReadScriptExtension() const { return ReadValue("Dir Setup", "QOBFileType", "QOB"); }

void SettingsStore::WriteScriptDir(const char* directory) {
    if (directory) WriteValue("Dir Setup", "QOBDir", directory);
}

void SettingsStore::WriteImageDir(const char* directory) {
    if (directory) WriteValue("Dir Setup", "ImgQOBDir", directory);
}

std::string SettingsStore::getProgramDirectory() const {
    return programDirectory_.empty() ? zul::getProgramDirectory() : programDirectory_;
}

std::string SettingsStore::DefaultAppsDir() const { return JoinPath(getProgramDirectory(), "Apps"); }

}  // namespace zul
