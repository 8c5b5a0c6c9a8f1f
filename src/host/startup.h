#pragma once
// The start-up core shared by every ZUL program: where the settings file
// lives and which COM port is selected.
#include <memory>
#include <string>

#include "support/file_system.h"

namespace zul {

// The settings path holds at most this many characters. A longer one is
// refused, never cut: a cut path names another file.
inline constexpr std::size_t kMaxSettingsPath = 259;

// Full path of the settings file, fixed once at start-up and read by every
// settings access afterwards.
const std::string& SettingsFilePath();
// False, and the path left as it was, for a path over kMaxSettingsPath.
bool SetSettingsFilePath(std::string path);

// The location rule: the program's directory + "zultw.ini" if the test value
// ("WriteTest"/"Val" = "12345") is written and reads back; otherwise
// `fallbackDirectory` (which ends with a separator) + "zultw.ini", untested.
// The test entry stays. A program directory that is unknown ("") or whose
// settings path would be too long is not tried. Returns "" when neither place
// can hold the file (no fallback directory, or a fallback path too long).
std::string LocateSettingsFile(FileSystem& fs, const std::string& programDirectory,
                               const std::string& fallbackDirectory);
// The same with the real program directory and the platform's fallback.
std::string LocateSettingsFile();

// Why a file named as the settings file cannot be used ("" when it can): a
// path too long, or something there that is not a regular file.
std::string SettingsFileProblem(FileSystem& fs, const std::string& path);

// The selected COM port, loaded once at start-up.
struct PortSelection {
    char portName[8] = {};  // at most 5 characters are kept
    int portNumber = 0;     // used to build "COMn"
};

// Reads "Comm Strings"/"Port" (cut to 5 characters) and then "comm"/"Port"
// (atoi) from the file at `settingsFile`.
PortSelection LoadPortSelection(const std::string& settingsFile, FileSystem& fs = RealFileSystem());

// The process-wide selection (null before start-up and after shut-down).
PortSelection* CurrentPortSelection();
void SetCurrentPortSelection(std::unique_ptr<PortSelection> selection);

}  // namespace zul
