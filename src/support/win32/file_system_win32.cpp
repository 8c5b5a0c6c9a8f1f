#include "support/file_system.h"

#include <windows.h>

namespace zul {
namespace {

class Win32FileSystem final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string* contents) override {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        std::string data;
        char buffer[8192];
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
                ::CloseHandle(h);
                return false;
            }
            if (got == 0) break;
            data.append(buffer, got);
        }
        ::CloseHandle(h);
        *contents = std::move(data);
        return true;
    }

    bool Exists(const std::string& path) override {
        return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool WriteFile(const std::string& path, const std::string& contents) override {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        BOOL ok = contents.empty() ||
                  (::WriteFile(h, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
                   written == contents.size());
        ok = ok && ::FlushFileBuffers(h);
        return ::CloseHandle(h) && ok;
    }

    bool Rename(const std::string& from, const std::string& to) override {
        return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }

    void Remove(const std::string& path) override { ::DeleteFileA(path.c_str()); }
};

}  // namespace

FileSystem& RealFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

char PathSeparator() { return '\\'; }

}  // namespace zul
