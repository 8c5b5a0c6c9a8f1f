#include "host/profile_file.h"

#include <gtest/gtest.h>

#include "testlib/memory_file_system.h"

namespace zul {
namespace {

struct LookupCase {
    const char* text;
    const char* section;
    const char* key;
    bool found;
    const char* value;
};

class ProfileLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookupTest, FindsValuesLikeTheWindowsProfileCalls) {
    const LookupCase& c = GetParam();
    bool found = true;
    std::string value = ProfileLookup(c.text, c.section, c.key, &found);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileLookupTest,
    ::testing::Values(
        LookupCase{"[comm]\nPort=3\n", "comm", "Port", true, "3"},
        LookupCase{"[COMM]\nPORT=3\n", "comm", "port", true, "3"},           // names ignore case
        LookupCase{"[comm]\r\nPort=3\r\n", "comm", "Port", true, "3"},       // CR LF files
        LookupCase{"[comm]\nPort=  7  \n", "comm", "Port", true, "7"},       // blanks trimmed
        LookupCase{"  [ comm ]  \n  Port  = 7\n", "comm", "Port", true, "7"},
        LookupCase{"[comm]\nPort=\n", "comm", "Port", true, ""},             // present but empty
        LookupCase{"[comm]\nOther=1\n", "comm", "Port", false, ""},           // absent key
        LookupCase{"[x]\nPort=1\n", "comm", "Port", false, ""},               // absent section
        LookupCase{"Port=1\n[comm]\n", "comm", "Port", false, ""},            // key outside the section
        LookupCase{"[comm]\n;Port=1\n", "comm", "Port", false, ""},           // comment
        LookupCase{"[comm]\nPort=1\nPort=2\n", "comm", "Port", true, "1"},    // first key wins
        LookupCase{"[comm]\nPort=1\n[comm]\nPort=2\n", "comm", "Port", true, "1"},
        LookupCase{"[comm]\nPort=a=b\n", "comm", "Port", true, "a=b"},        // first '=' splits
        LookupCase{"[comm]\nPort=1", "comm", "Port", true, "1"},             // no final line end
        LookupCase{"[x]\rA=1\r[comm]\rPort=4\r", "comm", "Port", true, "4"}, // lone CR line ends
        LookupCase{"[comm]\r\rPort=5", "comm", "Port", true, "5"}));

TEST(ProfileUpdateTest, ReplacesInPlaceAndKeepsEveryOtherLine) {
    const std::string before =
        "; written by hand\n[comm]\nPort=3\n; keep me\nExtra = x\n\n[Other]\nA=1\n";
    EXPECT_EQ(ProfileUpdate(before, "COMM", "port", "5", "\n"),
              "; written by hand\n[comm]\nport=5\n; keep me\nExtra = x\n\n[Other]\nA=1\n");
}

TEST(ProfileUpdateTest, AddsMissingKeysAndSections) {
    EXPECT_EQ(ProfileUpdate("[comm]\nA=1\n\n[Other]\nB=2\n", "comm", "Port", "4", "\n"),
              "[comm]\nA=1\nPort=4\n\n[Other]\nB=2\n");
    EXPECT_EQ(ProfileUpdate("[Other]\nB=2", "comm", "Port", "4", "\n"), "[Other]\nB=2\n[comm]\nPort=4\n");
    EXPECT_EQ(ProfileUpdate("", "comm", "Port", "4", "\r\n"), "[comm]\r\nPort=4\r\n");
    EXPECT_EQ(ProfileUpdate("[comm]", "comm", "Port", "4", "\n"), "[comm]\nPort=4\n");
}

TEST(ProfileUpdateTest, ALastLineEndingInABareCarriageReturnIsNotGluedToTheNewLine) {
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"[WriteTest]\r", "[WriteTest]\rVal=1\r"},
        {"[WriteTest]\rOld=0\r", "[WriteTest]\rOld=0\rVal=1\r"},
        {"[Other]\rA=1\r", "[Other]\rA=1\r[WriteTest]\rVal=1\r"},
    };
    for (const auto& c : cases) {
        const std::string after = ProfileUpdate(c.before, "WriteTest", "Val", "1", "\r");
        EXPECT_EQ(after, c.after) << c.before;
        bool found = false;
        EXPECT_EQ(ProfileLookup(after, "WriteTest", "Val", &found), "1");
        EXPECT_TRUE(found);
    }
}

TEST(ProfileFileTest, EachWriteIsVisibleToTheNextReadAndKeepsLineEnds) {
    test::MemoryFileSystem fs;
    fs.files["s.ini"] = "[a]\r\nx=1\r\n";
    ASSERT_TRUE(WriteProfileString(fs, "s.ini", "a", "y", "2"));
    EXPECT_EQ(ReadProfileString(fs, "s.ini", "a", "y", "d"), "2");
    EXPECT_EQ(fs.files["s.ini"], "[a]\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(ReadProfileString(fs, "missing.ini", "a", "y", "dflt"), "dflt");
}

TEST(ProfileFileTest, ReadsAreCutToTheBufferSize) {
    test::MemoryFileSystem fs;
    fs.files["s.ini"] = "[a]\nv=" + std::string(300, 'q') + "\n";
    EXPECT_EQ(ReadProfileString(fs, "s.ini", "a", "v", "", 255), std::string(254, 'q'));
    EXPECT_EQ(ReadProfileString(fs, "s.ini", "a", "none", std::string(300, 'd'), 255), std::string(254, 'd'));
}

TEST(ProfileFileTest, AnInterruptedWriteLeavesTheOldFileIntact) {
    const std::string old = "; mine\n[comm]\nPort=3\n";
    for (bool failRename : {true, false}) {
        test::MemoryFileSystem fs;
        fs.files["s.ini"] = old;
        fs.failRename = failRename;
        fs.failWrite = !failRename;
        EXPECT_FALSE(WriteProfileString(fs, "s.ini", "comm", "Port", "9"));
        EXPECT_EQ(fs.files["s.ini"], old);
        EXPECT_EQ(fs.files.size(), 1u) << "temporary file left behind";
    }
}

TEST(ProfileFileTest, AFileThatCannotBeReadIsNotReplaced) {
    struct Unreadable : test::MemoryFileSystem {
        bool ReadFile(const std::string&, std::string*) override { return false; }
    } fs;
    fs.files["s.ini"] = "[keep]\nall=of me\n";
    EXPECT_FALSE(WriteProfileString(fs, "s.ini", "a", "b", "c"));
    EXPECT_EQ(fs.files["s.ini"], "[keep]\nall=of me\n");
}

}  // namespace
}  // namespace zul
