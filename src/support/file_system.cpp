#include "support/file_system.h"

#include <atomic>

#include "support/platform.h"

namespace zul {

const char* FileReadStatusText(FileReadStatus status) {
    switch (status) {
        case FileReadStatus::kOk: return "is readable";
        case FileReadStatus::kMissing: return "does not exist";
        case FileReadStatus::kNotRegular: return "is not a regular file";
        case FileReadStatus::kTooLarge: return "is too large";
        case FileReadStatus::kFailed: return "cannot be read";
    }
    return "cannot be read";
}

FileReadStatus FileSystem::ReadRegularFile(const std::string& path, std::string* contents, std::size_t maxSize) {
    contents->clear();
    std::string data;
    if (!ReadFile(path, &data)) return Exists(path) ? FileReadStatus::kFailed : FileReadStatus::kMissing;
    if (data.size() > maxSize) return FileReadStatus::kTooLarge;
    *contents = std::move(data);
    return FileReadStatus::kOk;
}

bool FileSystem::RewriteFile(const std::string& path, const std::string& contents) {
    return WriteFileAtomically(*this, path, contents);
}

std::string TemporarySiblingName(const std::string& path, long processId, unsigned serial) {
    return path + ".tmp" + std::to_string(processId) + "-" + std::to_string(serial);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    const char last = directory.back();
    if (last == PathSeparator() || last == '/') return directory + name;
    return directory + PathSeparator() + name;
}

bool WriteFileAtomically(FileSystem& fs, const std::string& path, const std::string& contents) {
    static std::atomic<unsigned> counter{0};
    const std::string temp = TemporarySiblingName(path, CurrentProcessId(), counter++);
    if (!fs.WriteFile(temp, contents)) {
        fs.Remove(temp);
        return false;
    }
    if (!fs.Rename(temp, path)) {
        fs.Remove(temp);
        return false;
    }
    return true;
}

}  // namespace zul
