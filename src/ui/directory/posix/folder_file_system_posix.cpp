#include "ui/directory/posix/folder_file_system_posix.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

#include <cerrno>
#include <memory>

namespace zul {
namespace {

// File-system types of network mounts (statfs f_type on Linux).
constexpr long kNfsMagic = 0x6969;
constexpr long kSmbMagic = 0x517B;
constexpr long kCifsMagic = 0xFF534D42;
constexpr long kSmb2Magic = 0xFE534D42;

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

// The nearest ancestor of `path` (itself included) that exists.
std::string NearestExisting(std::string path) {
    struct stat st {};
    while (path != "/" && ::stat(path.c_str(), &st) != 0) path = ParentOf(path);
    return path;
}

CreateFailure CauseFor(int error, const std::string& path) {
    const std::string parent = NearestExisting(path);
    long type = 0;
#ifdef __linux__
    struct statfs fs {};
    if (::statfs(parent.c_str(), &fs) == 0) type = static_cast<long>(static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFul);
#endif
    struct statvfs vfs {};
    const bool readOnly = ::statvfs(parent.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0;
    return ClassifyCreateFailure(error, type, readOnly);
}

class PosixFolderFileSystem final : public FolderFileSystem {
public:
    EntryKind Kind(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return EntryKind::Missing;
        return S_ISDIR(st.st_mode) ? EntryKind::Directory : EntryKind::File;
    }

    DriveType DriveTypeOf(const std::string&) override { return DriveType::Fixed; }

    CreateFailure CreateWithParents(const std::string& path) override {
        if (path.empty()) return CreateFailure::Other;
        // Every prefix ending before a "/" is a parent; the path itself last.
        for (std::size_t pos = 1;; ++pos) {
            pos = path.find('/', pos);
            const std::string part = path.substr(0, pos);
            if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return CauseFor(errno, part);
            if (pos == std::string::npos) break;
        }
        return Kind(path) == EntryKind::Directory ? CreateFailure::None : CreateFailure::Other;
    }

    std::vector<FolderEntry> Entries(const std::string& folder, const std::string& prefix) override {
        std::vector<FolderEntry> entries;
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
        if (!dir) return entries;
        const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
        while (const dirent* e = ::readdir(dir.get())) {
            const std::string name = e->d_name;
            if (name == "." || name == ".." || name.compare(0, prefix.size(), prefix) != 0) continue;
            entries.push_back({name, Kind(base + name) == EntryKind::Directory});
        }
        return entries;
    }
};

}  // namespace

CreateFailure ClassifyCreateFailure(int error, long fsType, bool readOnly) {
    if (error == EROFS || readOnly) return CreateFailure::ReadOnly;
    if (fsType == kNfsMagic || fsType == kSmbMagic || fsType == kCifsMagic || fsType == kSmb2Magic)
        return CreateFailure::Network;
    return CreateFailure::Other;
}

PathStyle NativePathStyle() { return PathStyle::Posix; }

FolderFileSystem& RealFolderFileSystem() {
    static PosixFolderFileSystem fs;
    return fs;
}

}  // namespace zul
