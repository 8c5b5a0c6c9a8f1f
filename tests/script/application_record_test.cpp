#include "script/application_record.h"

#include <gtest/gtest.h>

#include "script/profile_document.h"
#include "testlib/script_fixtures.h"

namespace zul {
namespace {

TEST(ResetStatement, EveryFieldBackToStart) {
    StatementRecord s;
    s.optionD = s.batterySkip = s.resetAfter = s.optionE = s.optionK = 1;
    s.bankErase = s.noErase = s.eraseOnly = s.programCard = 1;
    s.imageSize = 5;
    s.loadAddress = 6;
    s.loadType = 3;
    s.imagePath = "old";
    ResetStatement(s, "new.bin");
    StatementRecord expected;
    expected.imagePath = "new.bin";
    EXPECT_EQ(s, expected);
    ResetStatement(s);
    EXPECT_EQ(s, StatementRecord());
    StatementRecord copy = expected;
    copy = copy;
    EXPECT_EQ(copy, expected);
}

struct RecordCase {
    const char* name;
    std::string text;  // decoded script text; "" writes no file
    const char* appName;
    const char* appVersion;
    const char* startLine;
    int statementCount;
    bool encode = true;
};

std::ostream& operator<<(std::ostream& os, const RecordCase& c) { return os << c.name; }

class LoadApplicationCase : public testing::TestWithParam<RecordCase> {};

TEST_P(LoadApplicationCase, FillsTheRecord) {
    const RecordCase& c = GetParam();
    test::TempDir dir;
    std::string path = dir / "app.qob";
    if (!c.text.empty()) dir.Write("app.qob", c.encode ? ComplementBytes(c.text) : c.text);
    auto record = LoadApplication(path, "/images");
    EXPECT_EQ(record->scriptPath, path);
    EXPECT_EQ(record->imageDir, "/images");
    EXPECT_EQ(record->appName, c.appName);
    EXPECT_EQ(record->appVersion, c.appVersion);
    EXPECT_EQ(record->startLine, c.startLine);
    EXPECT_EQ(record->statementCount, c.statementCount);
    EXPECT_EQ(record->messageText, "");
    EXPECT_EQ(record->workStatement, StatementRecord());
    EXPECT_EQ(record->currentStatement, StatementRecord());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadApplicationCase,
    testing::Values(
        RecordCase{"complete", test::ScriptText("Engine Tests", "1.2", {"!hello", "a.bin -RAM"}), "Engine Tests",
                   "1.2", "start", 2},
        RecordCase{"names_without_case",
                   "[Application]\nName=Engine Tests\nVersion=1.2\n[SCRIPT]\nNumberOfStatements=1\nstmt1=!x\n",
                   "Engine Tests", "1.2", "Script File Error", 1},
        RecordCase{"missing_file", "", "", "", "", 0},
        RecordCase{"negative_count", "[application]\nname=n\nversion=v\n[script]\nnumberOfStatements=-2\n", "n", "v",
                   "Script File Error", 0},
        RecordCase{"count_not_a_number", "[application]\nname=n\nversion=v\n[script]\nnumberOfStatements=many\n", "n",
                   "v", "Script File Error", 0},
        RecordCase{"no_name", "[script]\nnumberOfStatements=3\nstartLine=s\n", "Script File Error",
                   "Script File Error", "s", 3},
        RecordCase{"plain_text_file", test::ScriptText("Plain", "1", {"!x"}), "Script File Error", "Script File Error",
                   "Script File Error", 0, false}),
    [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zul
