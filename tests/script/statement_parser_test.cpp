#include "script/statement_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "script/profile_document.h"
#include "testlib/statement_result_printer.h"
#include "testlib/script_fixtures.h"

namespace zul {
namespace {

using enum StatementResult;

constexpr std::int32_t kAppBinSize = 300;

// Flags as letters: d b r e k, B bank erase, N no erase, O erase only, C program card.
StatementRecord Expected(const std::string& imagePath, int loadType, std::uint32_t address, std::int32_t size,
                         const std::string& flags) {
    StatementRecord s;
    s.imagePath = imagePath;
    s.loadType = loadType;
    s.loadAddress = address;
    s.imageSize = size;
    for (char f : flags) {
        switch (f) {
            case 'd': s.optionD = 1; break;
            case 'b': s.batterySkip = 1; break;
            case 'r': s.resetAfter = 1; break;
            case 'e': s.optionE = 1; break;
            case 'k': s.optionK = 1; break;
            case 'B': s.bankErase = 1; break;
            case 'N': s.noErase = 1; break;
            case 'O': s.eraseOnly = 1; break;
            case 'C': s.programCard = 1; break;
            default: ADD_FAILURE() << "unknown flag " << f;
        }
    }
    return s;
}

class StatementFixture : public testing::Test {
protected:
    StatementFixture() {
        dir.Write("app.bin", std::string(kAppBinSize, '\x5A'));
        dir.Write("empty.bin", "");
        std::filesystem::create_directory(dir / "img");
        dir.Write("img/sub.bin", std::string(10, 'x'));
    }
    std::unique_ptr<ApplicationRecord> Load(const std::vector<std::string>& statements) {
        return LoadApplication(test::WriteEncodedScript(dir, "app.qob", test::ScriptText("App", "1", statements)),
                               dir.path());
    }
    test::TempDir dir;
};

struct ParseCase {
    const char* name;
    std::string line;
    StatementResult result;
    // For STMT_LOAD: the statement; the image path is relative to the image directory.
    const char* image = "app.bin";
    int loadType = 0;
    std::uint32_t address = 0;
    std::int32_t size = 0;
    const char* flags = "";
};

std::ostream& operator<<(std::ostream& os, const ParseCase& c) { return os << c.name; }

class ParseStatementCase : public StatementFixture, public testing::WithParamInterface<ParseCase> {};

TEST_P(ParseStatementCase, GivesResultAndStatement) {
    const ParseCase& c = GetParam();
    std::ostringstream diagnostics;
    std::ostream* previous = SetStatementDiagnosticStream(&diagnostics);
    auto record = Load({c.line});
    StatementRecord before = Expected("before", 1, 1, 1, "b");
    record->currentStatement = before;
    const StatementResult result = ParseStatement(*record, 0);
    SetStatementDiagnosticStream(previous);
    EXPECT_EQ(result, c.result) << StatementResultName(result);
    if (c.result == STMT_LOAD) {
        StatementRecord expected = Expected(dir / c.image, c.loadType, c.address, c.size, c.flags);
        EXPECT_EQ(record->currentStatement, expected);
        EXPECT_EQ(record->workStatement, expected);
        EXPECT_EQ(record->messageText, "");
    } else {
        EXPECT_EQ(record->currentStatement, before);
    }
    if (c.result == STMT_MESSAGE) {
        EXPECT_EQ(record->messageText, c.line);
    }
}

const std::string k255 = "!" + std::string(254, 'm');

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseStatementCase,
    testing::Values(
        ParseCase{"message", "!Insert the program card", STMT_MESSAGE},
        ParseCase{"message_of_255", k255, STMT_MESSAGE},
        ParseCase{"explicit_size_file_not_opened", "nofile.bin 10000 8000 -flash", STMT_LOAD, "nofile.bin", 3,
                  0x10000, 0x8000},
        ParseCase{"card_pages", "app.bin 20 4 -MBANK", STMT_LOAD, "app.bin", 3, 0x20, 0x8000, "BC"},
        ParseCase{"card_erase", "app.bin -MERASE", STMT_LOAD, "app.bin", 3, 0, 0x200000, "OC"},
        ParseCase{"card_erase_missing_image", "nofile.bin -MERASE", STMT_OPEN_FAILED},
        ParseCase{"card_no_erase", "app.bin -MNOERASE", STMT_LOAD, "app.bin", 3, 0, kAppBinSize, "NC"},
        ParseCase{"run", "app.bin -RUN", STMT_LOAD, "app.bin", 2, 0x400000, kAppBinSize},
        ParseCase{"ram", "app.bin -ram", STMT_LOAD, "app.bin", 1, 0x400000, kAppBinSize},
        ParseCase{"bank", "app.bin -Bank", STMT_LOAD, "app.bin", 3, 0x400000, kAppBinSize, "B"},
        ParseCase{"noerase", "app.bin -NOERASE", STMT_LOAD, "app.bin", 3, 0x400000, kAppBinSize, "N"},
        ParseCase{"erase_sets_bank_and_noerase", "app.bin -ERASE", STMT_LOAD, "app.bin", 3, 0x400000, kAppBinSize,
                  "BN"},
        ParseCase{"no_qualifier_no_type", "app.bin", STMT_LOAD, "app.bin", 0, 0x400000, kAppBinSize},
        ParseCase{"every_short_option", "app.bin -b -d -e -k -r -RAM", STMT_LOAD, "app.bin", 1, 0x400000,
                  kAppBinSize, "bdekr"},
        ParseCase{"short_option_second_letter_only", "app.bin -bx -FLASH", STMT_LOAD, "app.bin", 3, 0x400000,
                  kAppBinSize, "b"},
        ParseCase{"upper_case_short_option", "app.bin -B -FLASH", STMT_BAD_OPTION},
        ParseCase{"unknown_short_option", "app.bin -x -FLASH", STMT_BAD_OPTION},
        ParseCase{"dash_inside_short_token", "app.bin a-b", STMT_BAD_OPTION},
        ParseCase{"lone_dash", "app.bin - -FLASH", STMT_BAD_OPTION},
        ParseCase{"name_with_dash_is_device_option", "app.bin -RAM my-app.bin", STMT_BAD_DEVICE},
        ParseCase{"unknown_device", "app.bin -ROM", STMT_BAD_DEVICE},
        ParseCase{"last_device_option_counts", "app.bin -RAM -FLASH", STMT_LOAD, "app.bin", 3, 0x400000,
                  kAppBinSize},
        ParseCase{"runs_of_spaces", "app.bin    100   -RAM", STMT_LOAD, "app.bin", 1, 0x100, kAppBinSize},
        ParseCase{"tab_does_not_separate", "app.bin 100\t200 -RAM", STMT_LOAD, "app.bin", 1, 0x100, kAppBinSize},
        ParseCase{"hex_prefixes", "app.bin 0x10 0X20 -RAM", STMT_LOAD, "app.bin", 1, 0x10, 0x20},
        ParseCase{"hex_sign_and_stop", "app.bin +1f 1g -RAM", STMT_LOAD, "app.bin", 1, 0x1F, 1},
        ParseCase{"hex_no_digits", "app.bin zz zz -RAM", STMT_LOAD, "app.bin", 1, 0, 0},
        ParseCase{"address_saturates", "app.bin 1FFFFFFFF 100 -RAM", STMT_LOAD, "app.bin", 1, 0xFFFFFFFF, 0x100},
        ParseCase{"size_saturates", "app.bin 0 80000000 -RAM", STMT_LOAD, "app.bin", 1, 0, 0x7FFFFFFF},
        ParseCase{"largest_card_size", "app.bin 0 3FFFF -MBANK", STMT_LOAD, "app.bin", 3, 0, 0x7FFFE000, "BC"},
        ParseCase{"card_size_beyond_32_bits", "app.bin 0 40000 -MBANK", STMT_BAD_STATEMENT},
        ParseCase{"four_parameters_size_from_file", "app.bin 1 2 3 -RAM", STMT_LOAD, "app.bin", 1, 1, kAppBinSize},
        ParseCase{"empty_image", "empty.bin -FLASH", STMT_EMPTY_IMAGE},
        ParseCase{"missing_image", "nofile.bin -FLASH", STMT_OPEN_FAILED},
        ParseCase{"directory_as_image", "img -FLASH", STMT_OPEN_FAILED},
        ParseCase{"backslash_is_separator", "img\\sub.bin -RAM", STMT_LOAD, "img/sub.bin", 1, 0x400000, 10},
        ParseCase{"empty_statement", "", STMT_BAD_STATEMENT},
        ParseCase{"blank_statement", "   ", STMT_BAD_STATEMENT},
        ParseCase{"no_parameter", "-RAM", STMT_BAD_STATEMENT},
        ParseCase{"tab_joins_into_qualifier", "app.bin\t-RAM", STMT_BAD_STATEMENT},
        ParseCase{"five_parameters", "a b c d e -RAM", STMT_BAD_STATEMENT},
        ParseCase{"seven_qualifiers", "app.bin -b -d -e -k -r -RAM -RAM", STMT_BAD_STATEMENT},
        ParseCase{"six_short_options", "app.bin -b -d -e -k -r -b", STMT_BAD_STATEMENT},
        ParseCase{"twelve_tokens", "a 1 2 -b -d -e -k -r -RAM -RAM x y", STMT_BAD_STATEMENT},
        ParseCase{"line_of_256", "app.bin -RAM " + std::string(243, 'x'), STMT_BAD_STATEMENT},
        ParseCase{"message_of_256", k255 + "m", STMT_BAD_STATEMENT},
        ParseCase{"image_path_too_long", std::string(250, 'a') + " 0 10 -RAM", STMT_BAD_STATEMENT}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(ParseStatementCase_, AbsolutePathUsedAsItIs) {
    ApplicationRecord record;
    record.imageDir = "/images";
    EXPECT_EQ(ParseStatementLine(record, "/abs/app.bin 0 10 -RAM"), STMT_LOAD);
    EXPECT_EQ(record.currentStatement.imagePath, "/abs/app.bin");
}

TEST(Diagnostics, TokenLimitsWriteTheirLines) {
    struct Row {
        const char* line;
        const char* output;
    } rows[] = {
        {"a b c d e -RAM", "Invalid parameter number\n"},
        {"a -b -d -e -k -r -RAM -RAM", "Invalid qualifier number\n"},
        {"a -b -d -e -k -r -b", "Invalid option number\n"},
        // Eleven tokens always break one of the other limits too.
        {"a 1 2 -b -d -e -k -r -RAM -RAM x y", " Invalid number of arguments \nInvalid qualifier number\n"},
        {"a 1 2 -b -d -e -k -RAM -RAM x", ""},
    };
    for (const Row& r : rows) {
        std::ostringstream out;
        std::ostream* previous = SetStatementDiagnosticStream(&out);
        ApplicationRecord record;
        const StatementResult result = ParseStatementLine(record, r.line);
        SetStatementDiagnosticStream(previous);
        EXPECT_EQ(out.str(), r.output) << r.line;
        if (*r.output) {
            EXPECT_EQ(result, STMT_BAD_STATEMENT) << r.line;
        }
    }
}

TEST(Diagnostics, AccessorsCheckTheirIndex) {
    std::ostringstream out;
    std::ostream* previous = SetStatementDiagnosticStream(&out);
    std::vector<std::string_view> tokens = {"a", "-b", "-RAM"};
    StatementTokens t(tokens);
    EXPECT_EQ(t.Parameter(0), "a");
    EXPECT_EQ(t.Qualifier(1), "-RAM");
    EXPECT_EQ(t.ShortOption(0), "-b");
    EXPECT_EQ(t.deviceOption(), "-RAM");
    EXPECT_EQ(t.Parameter(4), "");
    EXPECT_EQ(t.Qualifier(-1), "");
    EXPECT_EQ(t.ShortOption(5), "");
    SetStatementDiagnosticStream(previous);
    EXPECT_EQ(out.str(), "Invalid parameter number\nInvalid qualifier number\nInvalid option number\n");
}

TEST(HexReading, FollowsTheCLibraryRules) {
    struct Row {
        const char* text;
        std::uint32_t asUnsigned;
        std::int32_t asSigned;
    } rows[] = {
        {"10", 0x10, 0x10},
        {"  \t0x1A", 0x1A, 0x1A},
        {"0X1a", 0x1A, 0x1A},
        {"+ff", 0xFF, 0xFF},
        {"-1", 0xFFFFFFFF, -1},
        {"-0x10", 0xFFFFFFF0, -0x10},
        {"12g4", 0x12, 0x12},
        {"", 0, 0},
        {"x", 0, 0},
        {"0x", 0, 0},
        {"FFFFFFFF", 0xFFFFFFFF, 0x7FFFFFFF},
        {"100000000", 0xFFFFFFFF, 0x7FFFFFFF},
        {"-100000000", 0xFFFFFFFF, INT32_MIN},
        {"7FFFFFFF", 0x7FFFFFFF, 0x7FFFFFFF},
        {"80000000", 0x80000000, 0x7FFFFFFF},
        {"-80000000", 0x80000000, INT32_MIN},
        {"-80000001", 0x7FFFFFFF, INT32_MIN},
        {"000000000000000000001", 1, 1},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ReadHexUnsigned(r.text), r.asUnsigned) << r.text;
        EXPECT_EQ(ReadHexSigned(r.text), r.asSigned) << r.text;
    }
}

TEST(ImagePath, WindowsRule) {
    struct Row {
        const char* parameter;
        const char* path;
    } rows[] = {
        {"C:\\img\\app.bin", "C:\\img\\app.bin"},
        {"C:/img/app.bin", "C:/img/app.bin"},
        {"img\\app.bin", "D:\\apps\\img\\app.bin"},
        {"\\img\\app.bin", "D:\\apps\\\\img\\app.bin"},
        {"C:app.bin", "D:\\apps\\C:app.bin"},
        {"C:\\img\\.bin", "D:\\apps\\C:\\img\\.bin"},
        {"C:\\app", "C:\\app"},
        {"app.bin", "D:\\apps\\app.bin"},
    };
    for (const Row& r : rows) EXPECT_EQ(ResolveImagePathWindows("D:\\apps", r.parameter), r.path) << r.parameter;
}

TEST(ImagePath, PosixRule) {
    struct Row {
        const char* parameter;
        const char* path;
    } rows[] = {
        {"/abs/app.bin", "/abs/app.bin"},
        {"img\\app.bin", "/apps/img/app.bin"},
        {"img/app.bin", "/apps/img/app.bin"},
        {"app.bin", "/apps/app.bin"},
        {"C:\\img\\app.bin", "/apps/C:/img/app.bin"},
    };
    for (const Row& r : rows) EXPECT_EQ(ResolveImagePathPosix("/apps", r.parameter), r.path) << r.parameter;
}

TEST(ResultCodes, NamesAndMessages) {
    struct Row {
        int code;
        const char* name;
        const char* message;
    } rows[] = {
        {10, "STMT_MESSAGE", ""},
        {11, "STMT_BAD_DEVICE", "No device specified to download to"},
        {12, "STMT_LOAD", ""},
        {13, "STMT_EMPTY_IMAGE", "The size of the image file is zero"},
        {14, "STMT_BAD_OPTION", "No options were specified in the script file"},
        {16, "STMT_OPEN_FAILED", "Could not open file"},
        {17, "STMT_BAD_STATEMENT", "Error with setup"},
        {15, "unknown", "Error with setup"},
        {-1, "unknown", "Error with setup"},
    };
    for (const Row& r : rows) {
        const auto result = static_cast<StatementResult>(r.code);
        EXPECT_EQ(ResultNumber(result), r.code);
        EXPECT_STREQ(StatementResultName(result), r.name);
        EXPECT_STREQ(StatementResultMessage(result), r.message);
    }
    EXPECT_STREQ(kStatementErrorCaption, "Error");
}

using StatementFlow = StatementFixture;

TEST_F(StatementFlow, MissingKeysAreNotSpecifiedMessages) {
    auto record = LoadApplication(
        test::WriteEncodedScript(dir, "app.qob", "[script]\nnumberOfStatements=3\nstmt1=app.bin -RAM\n"), dir.path());
    EXPECT_EQ(ParseStatement(*record, 0), STMT_LOAD);
    for (int n : {1, 2}) {
        EXPECT_EQ(ParseStatement(*record, n), STMT_MESSAGE);
        EXPECT_EQ(record->messageText, "!NOT SPECIFIED");
    }
}

TEST_F(StatementFlow, ImageTooLargeForTheSizeIsRefused) {
    dir.Write("huge.bin", "");
    std::error_code ec;
    std::filesystem::resize_file(dir / "huge.bin", 0x80000000ull, ec);  // sparse where the file system allows
    if (ec) GTEST_SKIP() << "cannot make a 2 GB file here";
    auto record = Load({"huge.bin -FLASH", "huge.bin 0 7FFFFFFF -FLASH"});
    EXPECT_EQ(ParseStatement(*record, 0), STMT_BAD_STATEMENT);
    EXPECT_EQ(ParseStatement(*record, 1), STMT_LOAD);
}

TEST_F(StatementFlow, ScriptGoneAtParseTimeIsNotSpecified) {
    auto record = Load({"app.bin -RAM"});
    std::filesystem::remove(dir / "app.qob");
    EXPECT_EQ(ParseStatement(*record, 0), STMT_MESSAGE);
    EXPECT_EQ(record->messageText, "!NOT SPECIFIED");
}

TEST_F(StatementFlow, StatementNumbersOutsideTheKeysAreRefused) {
    auto record = Load({"!m"});
    record->messageText = "old";
    for (int n : {-1, 999, 1 << 30}) {
        EXPECT_EQ(ParseStatement(*record, n), STMT_BAD_STATEMENT) << n;
        EXPECT_EQ(record->messageText, "");
    }
}

TEST_F(StatementFlow, RecordsChangeOnlyAsTheFlowExpects) {
    auto record = Load({"app.bin 10 20 -RAM", "!note", "app.bin -b -x", "app.bin -ROM"});
    ASSERT_EQ(ParseStatement(*record, 0), STMT_LOAD);
    const StatementRecord first = record->currentStatement;

    ASSERT_EQ(ParseStatement(*record, 1), STMT_MESSAGE);
    EXPECT_EQ(record->workStatement, first);
    EXPECT_EQ(record->currentStatement, first);

    // A failing option leaves what earlier options set in the work record only.
    ASSERT_EQ(ParseStatement(*record, 2), STMT_BAD_OPTION);
    EXPECT_EQ(record->workStatement, Expected(dir / "app.bin", 0, 0, 0, "b"));
    EXPECT_EQ(record->currentStatement, first);
    EXPECT_EQ(record->messageText, "");

    ASSERT_EQ(ParseStatement(*record, 3), STMT_BAD_DEVICE);
    EXPECT_EQ(record->currentStatement, first);
}

TEST_F(StatementFlow, HoldAndParseAllGiveTheSameResults) {
    const std::vector<std::string> statements = {
        "!first",       "app.bin 10 20 -RAM", "app.bin -b -x", "!second", "app.bin -FLASH -r", "empty.bin -FLASH",
        "nofile.bin",   "app.bin -ROM",       "",              "app.bin 0 2 -MBANK"};
    auto fresh = Load(statements);
    fresh->statementCount = 12;  // two statements beyond the keys
    std::vector<ParsedStatement> sequential;
    for (int n = 0; n < fresh->statementCount; ++n) {
        ParsedStatement p;
        p.result = ParseStatement(*fresh, n);
        p.messageText = fresh->messageText;
        p.workStatement = fresh->workStatement;
        p.currentStatement = fresh->currentStatement;
        sequential.push_back(p);
    }

    auto again = Load(statements);
    again->statementCount = 12;
    std::vector<ParsedStatement> all = ParseAllStatements(*again);
    EXPECT_EQ(again->messageText, "");
    EXPECT_EQ(again->currentStatement, StatementRecord());
    EXPECT_FALSE(again->held);
    ASSERT_EQ(all.size(), sequential.size());
    {
        ScriptHold hold(*again);
        // The second pass is answered from what the first one kept.
        for (int pass = 0; pass < 2; ++pass) {
            ResetStatement(again->workStatement);
            ResetStatement(again->currentStatement);
            for (std::size_t n = 0; n < sequential.size(); ++n) {
                SCOPED_TRACE(n);
                EXPECT_EQ(ParseStatement(*again, static_cast<int>(n)), sequential[n].result);
                EXPECT_EQ(again->messageText, sequential[n].messageText);
                EXPECT_EQ(again->workStatement, sequential[n].workStatement);
                EXPECT_EQ(again->currentStatement, sequential[n].currentStatement);
                EXPECT_EQ(all[n].result, sequential[n].result);
                EXPECT_EQ(all[n].messageText, sequential[n].messageText);
                EXPECT_EQ(all[n].workStatement, sequential[n].workStatement);
                EXPECT_EQ(all[n].currentStatement, sequential[n].currentStatement);
            }
        }
    }
    EXPECT_FALSE(again->held);
}

TEST_F(StatementFlow, HoldReadsTheScriptOnce) {
    auto record = Load({"!before"});
    {
        ScriptHold hold(*record);
        test::WriteEncodedScript(dir, "app.qob", test::ScriptText("App", "1", {"!after"}));
        ParseStatement(*record, 0);
        EXPECT_EQ(record->messageText, "!before");
        ScriptHold nested(*record);
    }
    ParseStatement(*record, 0);
    EXPECT_EQ(record->messageText, "!after");
}

}  // namespace
}  // namespace zul
