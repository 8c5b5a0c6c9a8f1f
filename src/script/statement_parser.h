#pragma once
// Statements: "!text" is a message for the user; anything else is a load
// statement of blank-separated tokens (image, hexadecimal address and size,
// qualifiers such as "-FLASH" and "-b").
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "script/application_record.h"

namespace zul {

enum class StatementResult : int {
    STMT_MESSAGE = 10,      // messageText holds the message
    STMT_BAD_DEVICE = 11,   // device option not known
    STMT_LOAD = 12,         // currentStatement holds the load
    STMT_EMPTY_IMAGE = 13,  // the image file is empty
    STMT_BAD_OPTION = 14,   // short option letter not known
    STMT_OPEN_FAILED = 16,  // the image file cannot be opened
    // A statement ZUL cannot carry out safely: no image parameter, an empty
    // statement, too many tokens, a line or image path over 255 characters,
    // a program-card size beyond 32 bits, an image of 2 GB or more, a
    // statement number beyond 999.
    STMT_BAD_STATEMENT = 17,
};

// The number a result is reported with (check reports, logs).
constexpr int ResultNumber(StatementResult result) { return static_cast<int>(result); }

// "STMT_LOAD" and so on; "unknown" for other codes.
const char* StatementResultName(StatementResult result);
// What the download dialog shows for a failed parse, with the caption
// kStatementErrorCaption: "No device specified to download to", ..., "Error
// with setup" for any other code. Empty for STMT_MESSAGE and STMT_LOAD, which
// are no failures.
const char* StatementResultMessage(StatementResult result);
inline constexpr const char* kStatementErrorCaption = "Error";

// Limits of one statement.
inline constexpr std::size_t kMaxStatementLength = 255;
inline constexpr int kMaxTokens = 11;
inline constexpr int kMaxParameters = 4;
inline constexpr int kMaxQualifiers = 6;
inline constexpr int kMaxShortOptions = 5;
// Statement keys run from "stmt1" to "stmt999"; ParseStatement answers
// StatementResult::STMT_BAD_STATEMENT for any n outside 0..kMaxStatements-1.
inline constexpr int kMaxStatements = 999;

// The split form of one statement line. Views point into the line.
class StatementTokens {
public:
    // `tokens` beyond kMaxTokens are not kept (a diagnostic is written).
    StatementTokens(const std::vector<std::string_view>& tokens, char separator = '-');

    int tokenCount() const { return tokenCount_; }
    int parameterCount() const { return parameterCount_; }
    int qualifierCount() const { return qualifierCount_; }
    int shortOptionCount() const { return shortOptionCount_; }
    std::string_view deviceOption() const { return deviceOption_; }
    // Out of range: a diagnostic on the diagnostic stream, and an empty view.
    std::string_view Parameter(int index) const;
    std::string_view Qualifier(int index) const;
    std::string_view ShortOption(int index) const;
    // True when the statement stayed inside every token limit.
    bool withinLimits() const { return withinLimits_; }

private:
    bool SetParameter(int index, std::string_view token);
    bool SetQualifier(int index, std::string_view token);
    bool SetShortOption(int index, std::string_view token);

    std::string_view parameters_[kMaxParameters];
    std::string_view qualifiers_[kMaxQualifiers];
    std::string_view shortOptions_[kMaxShortOptions];
    std::string_view deviceOption_;
    char separator_;
    int tokenCount_ = 0;
    std::string_view tokens_[kMaxTokens];
    int qualifierCount_ = 0;
    int shortOptionCount_ = 0;
    int parameterCount_ = 0;
    bool withinLimits_ = true;
};

// Where token-limit diagnostics go (standard output unless changed; tests
// pass their own stream). Returns the previous stream.
std::ostream* SetStatementDiagnosticStream(std::ostream* stream);

// Splits at runs of the space character only; a tab is part of a token.
std::vector<std::string_view> SplitStatement(std::string_view line);

// The strtoul / strtol readings of a hexadecimal number, for 32 bits: white
// space, a sign and a 0x prefix are accepted, reading stops at the first
// non-digit; unsigned saturates at 0xFFFFFFFF and a minus negates modulo 2^32;
// signed saturates at 0x7FFFFFFF and -0x80000000.
std::uint32_t ReadHexUnsigned(std::string_view text);
std::int32_t ReadHexSigned(std::string_view text);

// False for an application with more statements than keys can name (over
// kMaxStatements): no statement of it may run, since its download could only
// fail after the first kMaxStatements had written the tester. Carrying it out
// is refused with STMT_BAD_STATEMENT ("Error with setup").
bool StatementCountWithinLimit(const ApplicationRecord& record);

// Parses statement n (0-based) of the application. Writes messageText,
// workStatement and, on STMT_LOAD only, currentStatement.
StatementResult ParseStatement(ApplicationRecord& record, int n);

// The statement line as ParseStatement sees it: the value of "stmt<n+1>", or
// "!NOT SPECIFIED" when it is absent or the script cannot be read.
std::string ReadStatementLine(const ApplicationRecord& record, int n);

// Parses one statement line as ParseStatement does for `record` (imageDir,
// the statement records and messageText are read and written the same way).
StatementResult ParseStatementLine(ApplicationRecord& record, std::string_view line);

// While a ScriptHold is alive, ParseStatement on its record reads the script
// once and answers a repeated statement from the first parse of it, images
// included. The results are the ones a fresh parse gives as long as the files
// do not change meanwhile, which is the case during a download. It makes the
// engine's pass over all statements per load statement cheap.
class ScriptHold {
public:
    explicit ScriptHold(ApplicationRecord& record);
    ~ScriptHold();
    ScriptHold(const ScriptHold&) = delete;
    ScriptHold& operator=(const ScriptHold&) = delete;

private:
    ApplicationRecord& record_;
    bool owner_;
};

// One statement's outcome, as ParseStatement leaves it.
struct ParsedStatement {
    StatementResult result{};
    std::string messageText;
    StatementRecord workStatement;
    StatementRecord currentStatement;
};

// Parses every statement of the application in order, reading the script
// once, on a copy of the record (the record itself is not changed). Entry n
// equals what ParseStatement(record, n) leaves after statements 0..n-1.
// At most kMaxStatements entries: any later statement is STMT_BAD_STATEMENT.
std::vector<ParsedStatement> ParseAllStatements(const ApplicationRecord& record);

// Joins an image parameter to the image directory.
// Windows: a parameter with drive, directory and file name is used as it is;
// anything else becomes imageDir + "\" + parameter.
std::string ResolveImagePathWindows(const std::string& imageDir, std::string_view parameter);
// POSIX: an absolute parameter is used as it is; a relative one is joined
// with "/" and its "\" separators read as "/".
std::string ResolveImagePathPosix(const std::string& imageDir, std::string_view parameter);
// The rule of the platform ZUL runs on.
std::string ResolveImagePath(const std::string& imageDir, std::string_view parameter);

}  // namespace zul
