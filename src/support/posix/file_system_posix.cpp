#include "support/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>

namespace zul {
namespace {

// A temporary file older than this belongs to no write in progress.
constexpr std::time_t kStaleTemporaryAge = 60 * 60;
constexpr int kMaxLinkHops = 40;

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a chain of symbolic links ends at (the path itself when it is no
// link). False for a loop or a link that cannot be read.
bool FollowLinks(const std::string& path, std::string* target) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *target = current;
            return true;
        }
        char buffer[4096];
        ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer - 1);
        if (n <= 0) return false;
        std::string link(buffer, static_cast<std::size_t>(n));
        current = link.front() == '/' ? link : DirectoryOf(current) + "/" + link;
    }
    return false;
}

// Removes "<target>.tmp<pid>-<n>" files whose writer is gone (killed between
// writing and renaming): its process no longer runs, or the file is old.
void RemoveStaleTemporaries(const std::string& target) {
    const std::string prefix = BaseNameOf(target) + ".tmp";
    const std::string directory = DirectoryOf(target);
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        // Exactly digits, '-', digits after the prefix.
        std::size_t i = prefix.size(), pidStart = i;
        long long pid = 0;
        while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - pidStart < 12) pid = pid * 10 + (name[i++] - '0');
        if (i == pidStart || i >= name.size() || name[i] != '-') continue;
        std::size_t serialStart = ++i;
        while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
        if (i == serialStart || i != name.size()) continue;
        if (pid == static_cast<long long>(::getpid())) continue;
        const std::string full = directory + "/" + name;
        struct stat st {};
        if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const bool writerGone = pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
        if (writerGone || now - st.st_mtime > kStaleTemporaryAge) ::unlink(full.c_str());
    }
    ::closedir(dir);
}

class PosixFileSystem final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string* contents) override {
        return ReadRegularFile(path, contents, kMaxPlainReadSize) == FileReadStatus::kOk;
    }

    FileReadStatus ReadRegularFile(const std::string& path, std::string* contents, std::size_t maxSize) override {
        contents->clear();
        // Looked at before opening: opening a pipe waits for a writer, and
        // opening a serial device can change its modem lines.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return errno == ENOENT || errno == ENOTDIR ? FileReadStatus::kMissing : FileReadStatus::kFailed;
        if (!S_ISREG(st.st_mode)) return FileReadStatus::kNotRegular;
        if (static_cast<unsigned long long>(st.st_size) > maxSize) return FileReadStatus::kTooLarge;
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT ? FileReadStatus::kMissing : FileReadStatus::kFailed;
        // The name may have been swapped since the look.
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return FileReadStatus::kNotRegular;
        }
        std::string data;
        data.reserve(static_cast<std::size_t>(st.st_size));
        char buffer[8192];
        FileReadStatus status = FileReadStatus::kOk;
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                status = FileReadStatus::kFailed;
                break;
            }
            if (n == 0) break;
            if (data.size() + static_cast<std::size_t>(n) > maxSize) {
                status = FileReadStatus::kTooLarge;  // it grew while read
                break;
            }
            data.append(buffer, static_cast<size_t>(n));
        }
        ::close(fd);
        if (status == FileReadStatus::kOk) *contents = std::move(data);
        return status;
    }

    bool Exists(const std::string& path) override {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

    bool WriteFile(const std::string& path, const std::string& contents) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        bool ok = WriteAll(fd, contents) && ::fsync(fd) == 0;
        return ::close(fd) == 0 && ok;
    }

    bool Rename(const std::string& from, const std::string& to) override {
        return std::rename(from.c_str(), to.c_str()) == 0;
    }

    void Remove(const std::string& path) override { ::unlink(path.c_str()); }

    bool RewriteFile(const std::string& path, const std::string& contents) override {
        std::string target;
        if (!FollowLinks(path, &target)) return false;
        struct stat st {};
        const bool exists = ::lstat(target.c_str(), &st) == 0;
        if (!exists && errno != ENOENT) return false;
        if (exists && !S_ISREG(st.st_mode)) return false;
        // A file made read-only stays as it is, although a rename could replace it.
        if (exists && ::access(target.c_str(), W_OK) != 0) return false;
        RemoveStaleTemporaries(target);
        switch (ReplaceAtomically(target, contents, exists ? &st : nullptr)) {
            case Outcome::kDone: return true;
            case Outcome::kFailed: return false;
            case Outcome::kNotHere: break;
        }
        return exists && WriteInPlace(target, contents);
    }

private:
    enum class Outcome { kDone, kFailed, kNotHere };

    // A temporary file beside `target`, renamed over it. kNotHere when the
    // directory takes no new file or the file's owner cannot be kept.
    static Outcome ReplaceAtomically(const std::string& target, const std::string& contents, const struct stat* old) {
        static std::atomic<unsigned> counter{0};
        const std::string temp = TemporarySiblingName(target, static_cast<long>(::getpid()), counter++);
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) return Outcome::kNotHere;
        auto abandon = [&](Outcome outcome) {
            ::close(fd);
            ::unlink(temp.c_str());
            return outcome;
        };
        if (old) {
            if ((old->st_uid != ::geteuid() || old->st_gid != ::getegid()) &&
                ::fchown(fd, old->st_uid, old->st_gid) != 0)
                return abandon(Outcome::kNotHere);
            if (::fchmod(fd, old->st_mode & 07777) != 0) return abandon(Outcome::kNotHere);
        }
        if (!WriteAll(fd, contents) || ::fsync(fd) != 0) return abandon(Outcome::kFailed);
        if (::close(fd) != 0) {
            ::unlink(temp.c_str());
            return Outcome::kFailed;
        }
        if (std::rename(temp.c_str(), target.c_str()) != 0) {
            ::unlink(temp.c_str());
            return Outcome::kFailed;
        }
        return Outcome::kDone;
    }

    // The file itself rewritten: for a writable file in a directory that is
    // not, and for a file whose owner only an in-place write keeps.
    static bool WriteInPlace(const std::string& target, const std::string& contents) {
        int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat st {};
        bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && WriteAll(fd, contents) &&
                  ::ftruncate(fd, static_cast<off_t>(contents.size())) == 0 && ::fsync(fd) == 0;
        return ::close(fd) == 0 && ok;
    }
};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

char PathSeparator() { return '/'; }

}  // namespace zul
