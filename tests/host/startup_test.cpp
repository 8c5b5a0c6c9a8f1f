#include "host/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "host/profile_file.h"
#include "host/settings_store.h"
#include "testlib/memory_file_system.h"
#include "testlib/settings_state.h"
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

TEST(SettingsLocationTest, AProgramDirectoryIsUsedOnlyWhereTheTestWriteSucceeds) {
    const std::string longDirectory = "/" + std::string(250, 'p');  // + "/zultw.ini" passes 259 characters
    struct Case {
        const char* what;
        std::string programDirectory;
        std::string existing;  // the candidate's contents before the start ("" for none)
        bool failWrite;
        std::string expected;
    };
    const Case cases[] = {
        {"writable", "/p", "", false, "/p/zultw.ini"},
        {"program in the root", "/", "", false, "/zultw.ini"},
        {"write fails although the file already holds the test value", "/p", "[WriteTest]\nVal=12345\n", true,
         "/f/zultw.ini"},
        {"path too long to be kept whole", longDirectory, "", false, "/f/zultw.ini"},
        {"program directory unknown", "", "", false, "/f/zultw.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::MemoryFileSystem fs;
        const std::string candidate = JoinPath(c.programDirectory, "zultw.ini");
        if (!c.existing.empty()) fs.files[candidate] = c.existing;
        fs.failWrite = c.failWrite;
        EXPECT_EQ(LocateSettingsFile(fs, c.programDirectory, "/f/"), c.expected);
        if (c.expected != candidate) {
            // Nothing left behind where the file was not chosen.
            EXPECT_EQ(fs.files.count(candidate), c.existing.empty() ? 0u : 1u);
            EXPECT_EQ(fs.files.size(), c.existing.empty() ? 0u : 1u);
        }
    }
}

TEST(SettingsLocationTest, WithoutAFallbackDirectoryNoFileIsChosen) {
    test::MemoryFileSystem fs;
    fs.failWrite = true;
    // Never "zultw.ini" in whatever the current directory is.
    EXPECT_EQ(LocateSettingsFile(fs, "/ro", ""), "");
    EXPECT_EQ(LocateSettingsFile(fs, "/ro", "/" + std::string(260, 'f') + "/"), "");
    EXPECT_EQ(LocateSettingsFile(fs, "", ""), "");
}

TEST(SettingsLocationTest, AnOverLongPathIsRefusedNotCut) {
    test::ScopedSettingsState state;
    ASSERT_TRUE(SetSettingsFilePath("/kept/zultw.ini"));
    const std::string longest = "/" + std::string(kMaxSettingsPath - 1, 'x');
    EXPECT_FALSE(SetSettingsFilePath(longest + "y"));
    EXPECT_EQ(SettingsFilePath(), "/kept/zultw.ini");
    EXPECT_TRUE(SetSettingsFilePath(longest));
    EXPECT_EQ(SettingsFilePath(), longest);
}

TEST(SettingsLocationTest, AFileEndingInABareCarriageReturnTakesTheTestEntryOnANewLine) {
    test::MemoryFileSystem fs;
    fs.files["/p/zultw.ini"] = "[comm]\rPort=2\r[WriteTest]\r";
    EXPECT_EQ(LocateSettingsFile(fs, "/p", "/f/"), "/p/zultw.ini");
    EXPECT_EQ(fs.files["/p/zultw.ini"], "[comm]\rPort=2\r[WriteTest]\rVal=12345\r");
    EXPECT_EQ(ReadProfileString(fs, "/p/zultw.ini", "comm", "Port", ""), "2");
}

}  // namespace
}  // namespace zul
