#include "support/platform.h"

#include <io.h>
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

std::FILE* OpenRegularFileForAppend(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    std::FILE* stream = std::fopen(path.c_str(), "a");
    if (!stream) return nullptr;
    // Device names (NUL, CON, COM1) open as files of another type.
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

long CurrentProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

}  // namespace zul
