#include "support/platform.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <climits>

namespace zul {

bool LocalTime(std::time_t t, std::tm* out) { return localtime_r(&t, out) != nullptr; }

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

namespace {

bool MakePrivateDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    struct stat st {};
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return std::string();
}

}  // namespace

std::string SettingsFallbackDirectory() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
        MakePrivateDirectory(base);
    } else {
        std::string home = HomeDirectory();
        if (home.empty()) return std::string();
        base = home + "/.config";
        MakePrivateDirectory(base);
    }
    std::string dir = base + "/zul";
    if (!MakePrivateDirectory(dir)) return std::string();
    return dir + "/";
}

long CurrentProcessId() { return static_cast<long>(::getpid()); }

}  // namespace zul
