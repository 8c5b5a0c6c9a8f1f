#include "app/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/profile_file.h"
#include "testlib/memory_file_system.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

TEST(SettingsLocationTest, AWritableProgramDirectoryHoldsTheFile) {
    test::TempDir dir;
    std::string path = LocateSettingsFile(RealFileSystem(), dir.path(), "/nonexistent/");
    EXPECT_EQ(path, dir / "zultw.ini");
    EXPECT_EQ(dir.Read("zultw.ini"), "[WriteTest]\nVal=12345\n");
    // A repeat start finds the same file and leaves it as it was.
    EXPECT_EQ(LocateSettingsFile(RealFileSystem(), dir.path(), "/nonexistent/"), path);
    EXPECT_EQ(dir.Read("zultw.ini"), "[WriteTest]\nVal=12345\n");
}

TEST(SettingsLocationTest, AProgramDirectoryThatCannotHoldTheFileFallsBack) {
    test::TempDir dir;
    // Something that is not a writable file stands where the settings file would go:
    // this fails for root too, for whom a read-only directory is still writable.
    ASSERT_EQ(::mkdir((dir / "zultw.ini").c_str(), 0700), 0);
    const std::string fallback = dir.path() + "/fallback/";
    EXPECT_EQ(LocateSettingsFile(RealFileSystem(), dir.path(), fallback), fallback + "zultw.ini");
    EXPECT_EQ(LocateSettingsFile(RealFileSystem(), dir.path(), fallback), fallback + "zultw.ini");
}

TEST(SettingsLocationTest, AWriteThatDoesNotStickFallsBack) {
    test::MemoryFileSystem fs;
    fs.failRename = true;
    EXPECT_EQ(LocateSettingsFile(fs, "/ro", "/home/u/.config/zul/"), "/home/u/.config/zul/zultw.ini");
    EXPECT_TRUE(fs.files.empty());
}

TEST(SettingsLocationTest, TheTestEntryJoinsAnExistingFile) {
    test::MemoryFileSystem fs;
    fs.files["/p/zultw.ini"] = "[comm]\nPort=2\n";
    EXPECT_EQ(LocateSettingsFile(fs, "/p", "/f/"), "/p/zultw.ini");
    EXPECT_EQ(fs.files["/p/zultw.ini"], "[comm]\nPort=2\n[WriteTest]\nVal=12345\n");
}

}  // namespace
}  // namespace zul
