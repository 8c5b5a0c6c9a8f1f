// The real file system's reads and replacements, on a real disk: what a user
// set up around the settings file (links, modes, owners, read-only
// directories, special files) survives every write.
#include "support/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "testlib/bounded_run.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

constexpr uid_t kNobody = 65534;

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TEST(RealFileSystem, ReadsOnlyRegularFilesWithinTheirBound) {
    test::TempDir dir;
    dir.Write("small", "12345");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    ::mkdir((dir / "sub").c_str(), 0700);
    ASSERT_EQ(::symlink((dir / "small").c_str(), (dir / "link").c_str()), 0);
    struct Case {
        std::string path;
        std::size_t bound;
        FileReadStatus expected;
    };
    const Case cases[] = {
        {dir / "small", 5, FileReadStatus::kOk},        {dir / "small", 4, FileReadStatus::kTooLarge},
        {dir / "link", 5, FileReadStatus::kOk},         {dir / "missing", 5, FileReadStatus::kMissing},
        {dir / "pipe", 5, FileReadStatus::kNotRegular}, {dir / "sub", 5, FileReadStatus::kNotRegular},
        {"/dev/zero", 5, FileReadStatus::kNotRegular},  {dir / "small/x", 5, FileReadStatus::kMissing},
    };
    for (const Case& c : cases) {
        std::string contents = "old";
        EXPECT_TRUE(test::FinishesWithin(5, [&] {
            return RealFileSystem().ReadRegularFile(c.path, &contents, c.bound) == c.expected;
        })) << c.path;
        EXPECT_EQ(RealFileSystem().ReadRegularFile(c.path, &contents, c.bound), c.expected);
        EXPECT_EQ(contents, c.expected == FileReadStatus::kOk ? "12345" : "") << c.path;
    }
    // The plain read promises the same.
    std::string contents;
    EXPECT_TRUE(test::FinishesWithin(5, [&] { return !RealFileSystem().ReadFile(dir / "pipe", &contents); }));
}

TEST(RealFileSystem, ReplacingKeepsModeLinksAndSpecialFiles) {
    test::TempDir dir;
    FileSystem& fs = RealFileSystem();

    dir.Write("private.ini", "old");
    ASSERT_EQ(::chmod((dir / "private.ini").c_str(), 0600), 0);
    ASSERT_TRUE(fs.RewriteFile(dir / "private.ini", "new"));
    EXPECT_EQ(dir.Read("private.ini"), "new");
    EXPECT_EQ(StatOf(dir / "private.ini").st_mode & 07777, 0600u);

    // Written through the link to its target; the link stays a link.
    ::mkdir((dir / "elsewhere").c_str(), 0700);
    dir.Write("elsewhere/real.ini", "old");
    ASSERT_EQ(::symlink("elsewhere/real.ini", (dir / "linked.ini").c_str()), 0);
    ASSERT_TRUE(fs.RewriteFile(dir / "linked.ini", "through"));
    EXPECT_TRUE(S_ISLNK(StatOf(dir / "linked.ini").st_mode));
    EXPECT_EQ(dir.Read("elsewhere/real.ini"), "through");

    // A dangling link creates its target.
    ASSERT_EQ(::symlink("elsewhere/new.ini", (dir / "dangling.ini").c_str()), 0);
    ASSERT_TRUE(fs.RewriteFile(dir / "dangling.ini", "created"));
    EXPECT_EQ(dir.Read("elsewhere/new.ini"), "created");

    // Nothing that is not a regular file is replaced, and nothing waits.
    ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);
    ::mkdir((dir / "dir.ini").c_str(), 0700);
    for (const char* name : {"pipe.ini", "dir.ini"}) {
        EXPECT_TRUE(test::FinishesWithin(5, [&] { return !fs.RewriteFile(dir / name, "x"); })) << name;
        EXPECT_FALSE(fs.RewriteFile(dir / name, "x"));
    }
    EXPECT_TRUE(S_ISFIFO(StatOf(dir / "pipe.ini").st_mode));
    EXPECT_TRUE(S_ISDIR(StatOf(dir / "dir.ini").st_mode));
    EXPECT_FALSE(fs.RewriteFile("/dev/null", "x"));
}

TEST(RealFileSystem, AWritableFileInAReadOnlyDirectoryIsWrittenInPlace) {
    test::TempDir root;
    const std::string dir = root / "ro";
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    root.Write("ro/zultw.ini", "[WriteTest]\nVal=old value\n");
    const std::string file = dir + "/zultw.ini";
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    const ino_t inode = StatOf(file).st_ino;
    // Root may create files in any directory: the write runs as another user.
    EXPECT_TRUE(test::FinishesWithin(10, [&] {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return false;
        return RealFileSystem().RewriteFile(file, "[WriteTest]\nVal=12345\n");
    }));
    EXPECT_EQ(root.Read("ro/zultw.ini"), "[WriteTest]\nVal=12345\n");
    EXPECT_EQ(StatOf(file).st_ino, inode);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

TEST(RealFileSystem, AReadOnlyFileIsNotReplaced) {
    test::TempDir root;
    ASSERT_EQ(::chmod(root.path().c_str(), 0777), 0);
    root.Write("zultw.ini", "[comm]\nPort=2\n");
    const std::string file = root / "zultw.ini";
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_TRUE(test::FinishesWithin(10, [&] {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return false;
        return !RealFileSystem().RewriteFile(file, "[comm]\nPort=9\n");
    }));
    EXPECT_EQ(root.Read("zultw.ini"), "[comm]\nPort=2\n");
    EXPECT_EQ(StatOf(file).st_mode & 07777, 0444u);
}

TEST(RealFileSystem, TheOwnerOfAFileIsKept) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    test::TempDir dir;
    dir.Write("zultw.ini", "old");
    ASSERT_EQ(::chown((dir / "zultw.ini").c_str(), kNobody, kNobody), 0);
    ASSERT_TRUE(RealFileSystem().RewriteFile(dir / "zultw.ini", "new"));
    EXPECT_EQ(StatOf(dir / "zultw.ini").st_uid, kNobody);
    EXPECT_EQ(StatOf(dir / "zultw.ini").st_gid, kNobody);
    EXPECT_EQ(dir.Read("zultw.ini"), "new");
}

TEST(RealFileSystem, TemporaryFilesOfKilledWritersAreRemoved) {
    test::TempDir dir;
    pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stale = TemporarySiblingName(dir / "zultw.ini", gone, 7);
    const std::string live = TemporarySiblingName(dir / "zultw.ini", static_cast<long>(::getppid()), 1);
    const std::string old = TemporarySiblingName(dir / "zultw.ini", static_cast<long>(::getppid()), 2);
    const std::string foreign = dir / "zultw.ini.tmpnotours";
    const std::string otherFile = TemporarySiblingName(dir / "other.ini", gone, 1);
    for (const std::string& path : {stale, live, old, foreign, otherFile}) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};  // 2001
    ASSERT_EQ(::utimensat(AT_FDCWD, old.c_str(), times, 0), 0);
    ASSERT_TRUE(RealFileSystem().RewriteFile(dir / "zultw.ini", "x"));
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_FALSE(std::filesystem::exists(old));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(foreign));
    EXPECT_TRUE(std::filesystem::exists(otherFile));
}

}  // namespace
}  // namespace zul
