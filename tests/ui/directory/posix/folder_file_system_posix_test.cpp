// The real folder file system on this machine: creation with parents, the
// listing by prefix, and the cause of a failed creation.
#include "ui/directory/posix/folder_file_system_posix.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "testlib/temp_dir.h"

namespace zul {
namespace {

TEST(PosixFolderFileSystem, CreatesParentsAndListsByPrefixWithCaseKept) {
    test::TempDir root;
    FolderFileSystem& fs = RealFolderFileSystem();
    EXPECT_EQ(fs.CreateWithParents(root / "Scripts/New/Deep"), CreateFailure::None);
    EXPECT_EQ(fs.Kind(root / "Scripts/New/Deep"), EntryKind::Directory);
    EXPECT_EQ(fs.CreateWithParents(root / "Scripts"), CreateFailure::None);  // already there
    root.Write("Scripts/demo.qob", "x");
    root.Write("scratch", "x");
    EXPECT_EQ(fs.Kind(root / "scratch"), EntryKind::File);
    EXPECT_EQ(fs.Kind(root / "gone"), EntryKind::Missing);

    auto entries = fs.Entries(root.path(), "S");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Scripts");
    EXPECT_TRUE(entries[0].isDirectory);
    entries = fs.Entries(root / "Scripts", "");
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "New");
    EXPECT_EQ(entries[1].name, "demo.qob");
    EXPECT_FALSE(entries[1].isDirectory);

    // Below a file nothing can be made, and nothing is.
    EXPECT_EQ(fs.CreateWithParents(root / "scratch/sub"), CreateFailure::Other);
}

TEST(PosixFolderFileSystem, TheCauseOfAFailureChoosesItsMessage) {
    EXPECT_EQ(ClassifyCreateFailure(EROFS, 0xEF53, false), CreateFailure::ReadOnly);
    EXPECT_EQ(ClassifyCreateFailure(EACCES, 0xEF53, true), CreateFailure::ReadOnly);
    EXPECT_EQ(ClassifyCreateFailure(EACCES, 0x6969, false), CreateFailure::Network);           // NFS
    EXPECT_EQ(ClassifyCreateFailure(EACCES, 0xFF534D42, false), CreateFailure::Network);       // CIFS
    EXPECT_EQ(ClassifyCreateFailure(EACCES, 0xFE534D42, false), CreateFailure::Network);       // SMB2
    EXPECT_EQ(ClassifyCreateFailure(EACCES, 0x517B, false), CreateFailure::Network);           // SMB
    EXPECT_EQ(ClassifyCreateFailure(EACCES, 0xEF53, false), CreateFailure::Other);
    EXPECT_EQ(ClassifyCreateFailure(ENOTDIR, 0x01021994, false), CreateFailure::Other);  // tmpfs
}

// A read-only bind mount, made in a private mount namespace of a child
// process so that nothing outside the test sees it. Needs the right to
// mount (root here); skipped elsewhere.
TEST(PosixFolderFileSystem, AReadOnlyMountIsReportedAsWriteProtected) {
    test::TempDir root;
    std::filesystem::create_directory(root / "ro");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0) ::_exit(77);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) ::_exit(77);
        const std::string ro = root / "ro";
        if (::mount(ro.c_str(), ro.c_str(), nullptr, MS_BIND, nullptr) != 0) ::_exit(77);
        if (::mount(nullptr, ro.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) ::_exit(77);
        const CreateFailure cause = RealFolderFileSystem().CreateWithParents(ro + "/New/Sub");
        ::_exit(cause == CreateFailure::ReadOnly ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no right to make a mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(root / "ro/New"));
}

}  // namespace
}  // namespace zul
