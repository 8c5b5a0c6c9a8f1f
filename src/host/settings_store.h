#pragma once
// ZUL's own settings: one plain-text INI file, "zultw.ini". Nothing is cached;
// every read looks at the file, so a change made by hand takes effect at the
// next read, and every write is visible to the next read.
#include <string>

#include "support/ascii_to_int.h"
#include "support/file_system.h"

namespace zul {

inline constexpr const char* kSettingsFileName = "zultw.ini";
inline constexpr const char* kDefaultClosingMessage = "Cycle power on your tester and press OK to finish.";

// Directory of the running executable, without a trailing separator except
// for a root; "" when the executable's path cannot be found.
std::string getProgramDirectory();
// The rule of the platform ZUL runs on, applied to any executable path.
std::string ProgramDirectoryOf(const std::string& executablePath);
// Windows: cut at the last backslash when it stands at index 2 or beyond;
// one at index 0 or 1, or none, leaves the path as it is ("C:\\prog.exe" gives
// "C:", the drive, to which "\\zultw.ini" is then joined).
std::string ProgramDirectoryOfWindows(const std::string& executablePath);
// POSIX: the path up to its last slash ("/" for a program in the root); ""
// for a path that is not absolute, which names no directory we can trust.
std::string ProgramDirectoryOfPosix(const std::string& executablePath);

class SettingsStore {
public:
    // `programDirectory` is where DefaultAppsDir points; empty means the real
    // program directory.
    explicit SettingsStore(std::string filePath, std::string programDirectory = std::string(),
                           FileSystem& fs = RealFileSystem());

    std::string ReadPortName() const;
    void ReadPortNumber(int* number) const;
    void WritePortName(const char* name);
    void WritePortNumber(int number);
    std::string ReadClosingMessage() const;
    std::string ReadScriptDir() const;
    std::string ReadImageDir() const;
    std::string ReadScriptExtension() const;
    void WriteScriptDir(const char* directory);
    void WriteImageDir(const char* directory);
    std::string DefaultAppsDir() const;
    std::string getProgramDirectory() const;

    // Any key of the file with the same rules (254 characters at most), for
    // settings that belong to other subsystems (device names, monitor image).
    std::string ReadValue(const char* section, const char* key, const char* defaultValue) const;
    bool WriteValue(const char* section, const char* key, const char* value);

    const std::string& filePath() const { return filePath_; }

private:
    std::string filePath_;
    std::string programDirectory_;
    FileSystem* fs_;
};

}  // namespace zul
