#include "support/platform.h"

#include <windows.h>

namespace zul {

bool LocalTime(std::time_t t, std::tm* out) { return localtime_s(out, &t) == 0; }

std::string ExecutablePath() {
    char buffer[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return std::string(buffer, n);
}

std::string SettingsFallbackDirectory() {
    char buffer[MAX_PATH];
    DWORD n = ::GetTempPathA(MAX_PATH, buffer);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return std::string(buffer, n);
}

long CurrentProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

}  // namespace zul
