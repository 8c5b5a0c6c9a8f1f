#include "support/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zul {
namespace {

class PosixFileSystem final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string* contents) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        std::string data;
        char buffer[8192];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                ::close(fd);
                return false;
            }
            if (n == 0) break;
            data.append(buffer, static_cast<size_t>(n));
        }
        ::close(fd);
        *contents = std::move(data);
        return true;
    }

    bool Exists(const std::string& path) override {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

    bool WriteFile(const std::string& path, const std::string& contents) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        size_t done = 0;
        while (done < contents.size()) {
            ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::close(fd);
                return false;
            }
            done += static_cast<size_t>(n);
        }
        bool ok = ::fsync(fd) == 0;
        return ::close(fd) == 0 && ok;
    }

    bool Rename(const std::string& from, const std::string& to) override {
        return std::rename(from.c_str(), to.c_str()) == 0;
    }

    void Remove(const std::string& path) override { ::unlink(path.c_str()); }
};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

char PathSeparator() { return '/'; }

}  // namespace zul
