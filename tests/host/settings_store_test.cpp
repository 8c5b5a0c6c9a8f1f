#include "host/settings_store.h"

#include <gtest/gtest.h>

#include "host/startup.h"
#include "testlib/memory_file_system.h"

namespace zul {
namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    test::MemoryFileSystem fs;
    SettingsStore store{"/prog/zultw.ini", "/prog", fs};
};

TEST_F(SettingsStoreTest, EverySettingHasItsDefault) {
    int port = -1;
    store.ReadPortNumber(&port);
    EXPECT_EQ(port, 1);
    EXPECT_EQ(store.ReadPortName(), "COM1");
    EXPECT_EQ(store.ReadClosingMessage(), "Cycle power on your tester and press OK to finish.");
    EXPECT_EQ(store.ReadScriptDir(), "/prog/Apps");
    EXPECT_EQ(store.ReadImageDir(), "/prog/Apps");
    EXPECT_EQ(store.ReadScriptExtension(), "QOB");
    EXPECT_EQ(store.DefaultAppsDir(), "/prog/Apps");
    EXPECT_TRUE(fs.files.empty()) << "reads must not create the file";
}

TEST_F(SettingsStoreTest, PresentButEmptyIsNotReplacedByTheDefault) {
    fs.files["/prog/zultw.ini"] = "[Dir Setup]\nQOBDir=\nQOBFileType=\n";
    EXPECT_EQ(store.ReadScriptDir(), "");
    EXPECT_EQ(store.ReadScriptExtension(), "");
    EXPECT_EQ(store.ReadImageDir(), "/prog/Apps");
}

TEST_F(SettingsStoreTest, NamesMatchWithoutRegardToCase) {
    fs.files["/prog/zultw.ini"] = "[DIR SETUP]\nqobdir=/x\n[COMM STRINGS]\nport=COM4\n[Comm]\nPORT=4\n";
    int port = 0;
    store.ReadPortNumber(&port);
    EXPECT_EQ(store.ReadScriptDir(), "/x");
    EXPECT_EQ(store.ReadPortName(), "COM4");
    EXPECT_EQ(port, 4);
}

TEST_F(SettingsStoreTest, LongValuesAreCutTo254Characters) {
    store.WriteScriptDir(std::string(300, 'd').c_str());
    EXPECT_EQ(store.ReadScriptDir(), std::string(254, 'd'));
}

TEST_F(SettingsStoreTest, WritesGoWhereReadsLook) {
    store.WritePortNumber(7);
    store.WritePortName("COM7");
    store.WriteScriptDir("/apps");
    store.WriteImageDir("/images");
    store.WritePortName(nullptr);
    store.WriteScriptDir(nullptr);
    store.WriteImageDir(nullptr);
    store.ReadPortNumber(nullptr);
    int port = 0;
    store.ReadPortNumber(&port);
    EXPECT_EQ(port, 7);
    EXPECT_EQ(store.ReadPortName(), "COM7");
    EXPECT_EQ(store.ReadScriptDir(), "/apps");
    EXPECT_EQ(store.ReadImageDir(), "/images");
    EXPECT_EQ(fs.files["/prog/zultw.ini"],
              "[comm]\nPort=7\n[Comm Strings]\nPort=COM7\n[Dir Setup]\nQOBDir=/apps\nImgQOBDir=/images\n");
}

TEST(AsciiToIntTest, FollowsAtoi) {
    const std::pair<const char*, int> cases[] = {
        {"3", 3},     {"  12", 12},  {"+5", 5},          {"-2", -2},         {"7abc", 7},
        {"abc", 0},   {"", 0},       {" - 3", 0},        {"\t\n9", 9},       {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(AsciiToInt(text), expected) << '"' << text << '"';
}

TEST(ProgramDirectoryTest, EachPlatformHasItsOwnRule) {
    struct Case {
        const char* path;
        const char* windows;
        const char* posix;
    };
    const Case cases[] = {
        {"/usr/local/bin/zul", "/usr/local/bin/zul", "/usr/local/bin"},
        {"/opt/zul", "/opt/zul", "/opt"},
        {"/zul", "/zul", "/"},  // a program in the root lives in the root
        {"", "", ""},           // the executable's path could not be found
        {"zul", "zul", ""},     // not absolute: no directory to trust
        {"a/zul", "a/zul", ""},
        {"C:\\Tools\\prog.exe", "C:\\Tools", ""},
        {"C:\\prog.exe", "C:", ""},  // the drive; "\\zultw.ini" is joined to it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProgramDirectoryOfWindows(c.path), c.windows) << c.path;
        EXPECT_EQ(ProgramDirectoryOfPosix(c.path), c.posix) << c.path;
        EXPECT_EQ(ProgramDirectoryOf(c.path), c.posix) << c.path;
    }
}

TEST(ProgramDirectoryTest, PathsJoinWithoutDoublingTheRoot) {
    EXPECT_EQ(JoinPath("/", "zultw.ini"), "/zultw.ini");
    EXPECT_EQ(JoinPath("/opt", "zultw.ini"), "/opt/zultw.ini");
    EXPECT_EQ(JoinPath("", "Apps"), "Apps");
    test::MemoryFileSystem fs;
    EXPECT_EQ(SettingsStore("/zultw.ini", "/", fs).DefaultAppsDir(), "/Apps");
}

TEST(PortSelectionTest, LoadsNameAndNumberAsStartUpDoes) {
    struct Case {
        const char* file;
        const char* name;
        int number;
    };
    const Case cases[] = {
        {"", "COM1", 1},
        {"[Comm Strings]\nPort=COM12345\n[comm]\nPort=12\n", "COM12", 12},
        {"[comm]\nPort=abc\n", "COM1", 0},
        {"[Comm Strings]\nPort=\n", "", 1},
    };
    for (const Case& c : cases) {
        test::MemoryFileSystem fs;
        if (*c.file) fs.files["s.ini"] = c.file;
        PortSelection selection = LoadPortSelection("s.ini", fs);
        EXPECT_STREQ(selection.portName, c.name) << c.file;
        EXPECT_EQ(selection.portNumber, c.number) << c.file;
    }
}

}  // namespace
}  // namespace zul
