#include "support/platform.h"

#include <fcntl.h>
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

bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

// A relative HOME would put the settings in whatever the current directory is.
std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); IsAbsolute(home)) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && IsAbsolute(pw->pw_dir)) return pw->pw_dir;
    return std::string();
}

// The per-session directory the login manager makes for the user alone.
std::string PrivateRuntimeDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!IsAbsolute(runtime) || ::stat(runtime, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0)
        return std::string();
    return runtime;
}

}  // namespace

std::string SettingsFallbackDirectory() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); IsAbsolute(xdg)) {
        base = xdg;
        MakePrivateDirectory(base);
    } else if (std::string home = HomeDirectory(); !home.empty()) {
        base = home + "/.config";
        MakePrivateDirectory(base);
    } else {
        base = PrivateRuntimeDirectory();
        if (base.empty()) return std::string();
    }
    std::string dir = base + "/zul";
    if (!MakePrivateDirectory(dir)) return std::string();
    return dir + "/";
}

std::FILE* OpenRegularFileForAppend(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return nullptr;
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* stream = ::fdopen(fd, "a");
    if (!stream) ::close(fd);
    return stream;
}

long CurrentProcessId() { return static_cast<long>(::getpid()); }

}  // namespace zul
