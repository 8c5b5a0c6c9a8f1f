#include "support/file_system.h"

#include <windows.h>

namespace zul {
namespace {

// Writes all of `contents` at the file's position, cuts the file there when
// `cutHere`, flushes it to the disk and closes it. True only when every step
// succeeded; the handle is closed either way.
bool WriteFlushClose(HANDLE file, const std::string& contents, bool cutHere) {
    DWORD written = 0;
    BOOL ok = contents.empty() ||
              (::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
               written == contents.size());
    if (cutHere) ok = ok && ::SetEndOfFile(file);
    ok = ok && ::FlushFileBuffers(file);
    return ::CloseHandle(file) && ok;
}

class Win32FileSystem final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string* contents) override {
        return ReadRegularFile(path, contents, kMaxPlainReadSize) == FileReadStatus::kOk;
    }

    FileReadStatus ReadRegularFile(const std::string& path, std::string* contents, std::size_t maxSize) override {
        contents->clear();
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileReadStatus::kMissing
                                                                                   : FileReadStatus::kFailed;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileReadStatus::kNotRegular;
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return FileReadStatus::kFailed;
        // Device names (NUL, CON, COM1) open as files of another type.
        if (::GetFileType(h) != FILE_TYPE_DISK) {
            ::CloseHandle(h);
            return FileReadStatus::kNotRegular;
        }
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(h, &size) || static_cast<unsigned long long>(size.QuadPart) > maxSize) {
            ::CloseHandle(h);
            return FileReadStatus::kTooLarge;
        }
        std::string data;
        char buffer[8192];
        FileReadStatus status = FileReadStatus::kOk;
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
                status = FileReadStatus::kFailed;
                break;
            }
            if (got == 0) break;
            if (data.size() + got > maxSize) {
                status = FileReadStatus::kTooLarge;
                break;
            }
            data.append(buffer, got);
        }
        ::CloseHandle(h);
        if (status == FileReadStatus::kOk) *contents = std::move(data);
        return status;
    }

    bool Exists(const std::string& path) override {
        return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool WriteFile(const std::string& path, const std::string& contents) override {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        return WriteFlushClose(h, contents, false);
    }

    bool Rename(const std::string& from, const std::string& to) override {
        return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }

    void Remove(const std::string& path) override { ::DeleteFileA(path.c_str()); }

    bool RewriteFile(const std::string& path, const std::string& contents) override {
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
        if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
        if (exists) {
            HANDLE probe = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
            const bool disk = probe != INVALID_HANDLE_VALUE && ::GetFileType(probe) == FILE_TYPE_DISK;
            if (probe != INVALID_HANDLE_VALUE) ::CloseHandle(probe);
            if (!disk) return false;
        }
        // Atomic where the directory takes a new file; in place where it does not.
        static unsigned serial = 0;
        const std::string temp = TemporarySiblingName(path, static_cast<long>(::GetCurrentProcessId()), serial++);
        HANDLE h = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return exists && WriteInPlace(path, contents);
        if (WriteFlushClose(h, contents, false) && Rename(temp, path)) return true;
        ::DeleteFileA(temp.c_str());
        return false;
    }

private:
    // For a file in a directory that takes no new file.
    static bool WriteInPlace(const std::string& path, const std::string& contents) {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        return WriteFlushClose(h, contents, true);
    }
};

}  // namespace

FileSystem& RealFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

char PathSeparator() { return '\\'; }

}  // namespace zul
