#include "script/profile_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "testlib/script_fixtures.h"

namespace zul {
namespace {

TEST(ComplementBytes, EncodesAndDecodes) {
    EXPECT_EQ(ComplementBytes("abc"), std::string("\x9E\x9D\x9C"));
    EXPECT_EQ(ComplementBytes(ComplementBytes(std::string("\x00\xFF\x7F\n", 4))), std::string("\x00\xFF\x7F\n", 4));
}

// One lookup on one decoded text.
struct LookupCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    bool found;
    std::string value;
};

std::ostream& operator<<(std::ostream& os, const LookupCase& c) { return os << c.name; }

class ProfileLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookup, FindsWhatTheTextSays) {
    const LookupCase& c = GetParam();
    ProfileDocument doc;
    ASSERT_TRUE(doc.LoadEncoded(ComplementBytes(c.text)));
    std::string value = "stale";
    EXPECT_EQ(doc.GetString(c.section, c.key, &value), c.found);
    EXPECT_EQ(value, c.value);
}

const std::string kLongLine = "a=" + std::string(1020, 'x');  // 1022 bytes

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileLookup,
    testing::Values(
        LookupCase{"simple", "[s]\nk=v\n", "s", "k", true, "v"},
        LookupCase{"case_insensitive_names", "[SCRIPT]\nKey=v\n", "script", "kEY", true, "v"},
        LookupCase{"header_repeated_continues_section", "[SCRIPT]\na=1\n[x]\nb=2\n[script]\nc=3\n", "Script", "a",
                   true, "1"},
        LookupCase{"header_repeated_second_part", "[SCRIPT]\na=1\n[x]\nb=2\n[script]\nc=3\n", "Script", "c", true,
                   "3"},
        LookupCase{"last_value_wins", "[s]\nname=A\nNAME=B\n", "s", "name", true, "B"},
        LookupCase{"comment_after_blanks", "[s]\n   ;x=1\n", "s", "x", false, ""},
        LookupCase{"semicolon_inside_value", "[s]\nx=1 ;note\n", "s", "x", true, "1 ;note"},
        LookupCase{"empty_key", "[s]\n=v\n", "s", "", true, "v"},
        LookupCase{"keys_before_header_in_empty_section", "k=v\n[s]\n", "", "k", true, "v"},
        LookupCase{"keys_before_header_not_in_named", "k=v\n[s]\nj=1\n", "s", "k", false, ""},
        LookupCase{"first_equals_splits", "[s]\nk = a = b\n", "s", "k", true, "a = b"},
        LookupCase{"quotes_stay", "[s]\nk=\"v\"\n", "s", "k", true, "\"v\""},
        LookupCase{"blanks_trimmed", "[s]\n \t k \t =  v w \t\n", "s", "k", true, "v w"},
        LookupCase{"header_inner_blanks_kept", "[ a ]\nk=v\n", " a ", "k", true, "v"},
        LookupCase{"header_inner_blanks_not_trimmed", "[ a ]\nk=v\n", "a", "k", false, ""},
        LookupCase{"header_trailing_blanks_is_no_header", "[a]\nk=1\n[script]  \nj=2\n", "a", "j", true, "2"},
        LookupCase{"header_leading_blanks_is_header", "  [a]\nk=1\n", "a", "k", true, "1"},
        LookupCase{"header_brackets_stripped", "[[a]]\nk=1\n", "a", "k", true, "1"},
        LookupCase{"header_with_equals_is_header", "[a=b]\nk=1\n", "a=b", "k", true, "1"},
        LookupCase{"unmatched_bracket_skipped", "[a]\n[b\nk=1\n", "a", "k", true, "1"},
        LookupCase{"line_without_equals_skipped", "[s]\nnothing\nk=1\n", "s", "k", true, "1"},
        LookupCase{"crlf_line_ends", "[s]\r\nk=v\r\n", "s", "k", true, "v"},
        LookupCase{"cr_dropped_inside", "[s]\nk=a\rb\n", "s", "k", true, "ab"},
        LookupCase{"cr_only_line_ends_one_line", "[s]\rk=v\rj=w\r", "s", "k", false, ""},
        LookupCase{"cr_only_line_ends_entry", "k=v\rj=w\r", "", "k", true, "vj=w"},
        LookupCase{"last_line_without_lf", "[s]\nk=v", "s", "k", true, "v"},
        LookupCase{"line_of_1023_bytes_kept", "[s]\n" + std::string("a=") + std::string(1021, 'x') + "\nk=1\n", "s",
                   "k", true, "1"},
        LookupCase{"line_of_1024_bytes_ends_parse", "[s]\n" + std::string("a=") + std::string(1022, 'x') + "\nk=1\n",
                   "s", "k", false, ""},
        LookupCase{"entries_before_long_line_stay", "[s]\nk=1\n" + std::string(1024, 'x') + "\nj=2\n", "s", "k", true,
                   "1"},
        LookupCase{"cr_counts_toward_capacity", "[s]\n" + kLongLine + "\r\r\nk=1\n", "s", "k", false, ""},
        LookupCase{"cr_only_1024_bytes_no_entry", "k=v\r" + std::string(1020, 'x'), "", "k", false, ""},
        LookupCase{"last_line_of_1023_without_lf", "k=" + std::string(1021, 'v'), "", "k", true,
                   std::string(1021, 'v')},
        LookupCase{"last_line_of_1024_without_lf", "k=" + std::string(1022, 'v'), "", "k", false, ""},
        LookupCase{"high_bytes_kept", "[s]\nk=\xE9t\xE9\n", "s", "k", true, "\xE9t\xE9"},
        LookupCase{"missing_section", "[s]\nk=v\n", "t", "k", false, ""}),
    [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

TEST(ProfileDocument, KeysKeepFirstPositionAndLetters) {
    ProfileDocument doc;
    ASSERT_TRUE(doc.LoadEncoded(ComplementBytes("[SCRIPT]\nname=A\nother=1\nNAME=B\n[script]\nx=2\n")));
    ASSERT_EQ(doc.sectionNames(), std::vector<std::string>({"SCRIPT"}));
    EXPECT_EQ(doc.sections()[0].keys, std::vector<std::string>({"name", "other", "x"}));
    EXPECT_EQ(doc.sections()[0].values, std::vector<std::string>({"B", "1", "2"}));
}

TEST(ProfileDocument, HeaderAloneCreatesNoSection) {
    ProfileDocument doc;
    ASSERT_TRUE(doc.LoadEncoded(ComplementBytes("; only a comment\n\n   \n[empty]\n")));
    EXPECT_TRUE(doc.sectionNames().empty());
}

TEST(ProfileDocument, FinalLoneCrIsNoLine) {
    ProfileDocument doc;
    ASSERT_TRUE(doc.LoadEncoded(ComplementBytes("k=v\n\r")));
    EXPECT_EQ(doc.sections().size(), 1u);
    EXPECT_EQ(doc.sections()[0].keys.size(), 1u);
}

TEST(ProfileDocument, GetIntReadsLikeAtoi) {
    struct Row {
        const char* key;
        bool found;
        int value;
    } rows[] = {{"a", true, 12}, {"b", true, 0}, {"c", true, -7}, {"d", true, 2147483647}, {"missing", false, 0}};
    ProfileDocument doc;
    ASSERT_TRUE(doc.LoadEncoded(ComplementBytes("[s]\na=12abc\nb=abc\nc=  -7x\nd=99999999999\n")));
    for (const Row& r : rows) {
        int value = 55;
        EXPECT_EQ(doc.GetInt("s", r.key, &value), r.found) << r.key;
        EXPECT_EQ(value, r.value) << r.key;
    }
}

class ProfileFile : public testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(ProfileFile, LoadsEncodedFile) {
    std::string path = test::WriteEncodedScript(dir, "a.qob", "[s]\nk=v\n");
    ProfileDocument doc;
    ASSERT_TRUE(doc.LoadFile(path));
    EXPECT_EQ(doc.file().path, path);
    EXPECT_EQ(doc.file().length(), 8u);
    std::string value;
    EXPECT_TRUE(doc.GetString("s", "k", &value));
    EXPECT_EQ(value, "v");
    doc.CloseDocument();
    EXPECT_FALSE(doc.GetString("s", "k", &value));
    EXPECT_EQ(doc.file().length(), 0u);
}

TEST_F(ProfileFile, FailuresLeaveDocumentEmpty) {
    dir.Write("empty.qob", "");
    std::filesystem::create_directory(dir / "sub.qob");
    const std::string good = test::WriteEncodedScript(dir, "good.qob", "[s]\nk=v\n");
    for (const std::string& bad : {dir / "missing.qob", dir / "empty.qob", dir / "sub.qob", std::string()}) {
        ProfileDocument doc;
        ASSERT_TRUE(doc.LoadFile(good));
        EXPECT_FALSE(doc.LoadFile(bad)) << bad;
        std::string value;
        EXPECT_FALSE(doc.GetString("s", "k", &value)) << bad;
        EXPECT_TRUE(doc.sectionNames().empty());
    }
    ProfileDocument doc;
    EXPECT_FALSE(doc.LoadFile(static_cast<const char*>(nullptr)));
}

TEST_F(ProfileFile, SecondLoadReplacesContent) {
    ProfileDocument doc;
    ASSERT_TRUE(doc.LoadFile(test::WriteEncodedScript(dir, "a.qob", "[s]\na=1\n")));
    ASSERT_TRUE(doc.LoadFile(test::WriteEncodedScript(dir, "b.qob", "[s]\nb=2\n")));
    std::string value;
    EXPECT_FALSE(doc.GetString("s", "a", &value));
    EXPECT_TRUE(doc.GetString("s", "b", &value));
}

TEST_F(ProfileFile, LargeFileReadInChunks) {
    std::string text = "[s]\n";
    for (int i = 0; i < 2000; ++i) text += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
    ProfileDocument doc;
    ASSERT_TRUE(doc.LoadFile(test::WriteEncodedScript(dir, "big.qob", text)));
    std::string value;
    EXPECT_TRUE(doc.GetString("s", "key1999", &value));
    EXPECT_EQ(value, "value 1999");
}

TEST_F(ProfileFile, LengthChangeBetweenProbeAndReadFailsTheLoad) {
    const std::string path = test::WriteEncodedScript(dir, "a.qob", "[s]\nk=v\n");
    for (const std::string& replacement : {std::string("[s]\nk=v\nj=w\n"), std::string("[s]\n")}) {
        ScriptReadHook previous = SetScriptReadHook([&](const std::string& p) {
            std::ofstream(p, std::ios::binary | std::ios::trunc) << ComplementBytes(replacement);
        });
        ProfileDocument doc;
        EXPECT_FALSE(doc.LoadFile(path));
        EXPECT_TRUE(doc.sectionNames().empty());
        SetScriptReadHook(previous);
        test::WriteEncodedScript(dir, "a.qob", "[s]\nk=v\n");
    }
}

}  // namespace
}  // namespace zul
