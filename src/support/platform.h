#pragma once
// Small platform services, one implementation per operating system
// (posix/platform_posix.cpp, win32/platform_win32.cpp).
#include <cstdio>
#include <ctime>
#include <string>

namespace zul {

// Local broken-down time; false when the time cannot be converted.
bool LocalTime(std::time_t t, std::tm* out);

// Full path of the running executable, or "" when it cannot be found.
std::string ExecutablePath();

// Where the settings file goes when the program's directory cannot hold it.
// Windows: the user's temporary directory (ends with a separator). POSIX: the
// user's own configuration directory ($XDG_CONFIG_HOME/zul or ~/.config/zul),
// created private to the user; not the shared /tmp, where another local user
// could plant a settings file, and never the current directory (a relative
// HOME or XDG_CONFIG_HOME is ignored). Without a home directory the private
// $XDG_RUNTIME_DIR/zul serves. Ends with a separator; "" when none can be made.
std::string SettingsFallbackDirectory();

// Opens `path` for appending in text mode ("a"), created when missing, but
// only when it is a regular file: a pipe or a device by that name is never
// opened (a pipe without a reader would block the program). Null otherwise.
std::FILE* OpenRegularFileForAppend(const std::string& path);

// Process id, for names of temporary files.
long CurrentProcessId();

}  // namespace zul
