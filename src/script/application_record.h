#pragma once
// One application: the in-memory record of one script file, and the record
// of one parsed load statement.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zul {

inline constexpr const char* kScriptFileError = "Script File Error";
inline constexpr const char* kNotSpecifiedStatement = "!NOT SPECIFIED";
// An image path holds at most this many characters.
inline constexpr std::size_t kMaxImagePath = 255;

struct StatementRecord {
    int optionD = 0;      // "-d": accepted, nothing acts on it
    int batterySkip = 0;  // "-b": skip the tester's battery test
    int resetAfter = 0;   // "-r": reset the tester after a good load
    int optionE = 0;      // "-e": accepted, nothing acts on it
    int optionK = 0;      // "-k": accepted, nothing acts on it
    int bankErase = 0;    // erase by address and size
    int noErase = 0;      // skip the erase
    int eraseOnly = 0;    // erase, send no data
    int programCard = 0;  // program card: address and size count 8 KB pages
    std::int32_t imageSize = 0;
    std::uint32_t loadAddress = 0;
    int loadType = 0;  // kLoadNone .. kLoadFlash
    std::string imagePath;

    bool operator==(const StatementRecord&) const = default;
};

inline constexpr int kLoadNone = 0;
inline constexpr int kLoadRam = 1;
inline constexpr int kLoadRamRun = 2;
inline constexpr int kLoadFlash = 3;

// Every field back to its start value; `path`, when given, becomes imagePath.
void ResetStatement(StatementRecord& statement, const char* path = nullptr);

struct ScriptHoldState;  // statement_parser.cpp

struct ApplicationRecord {
    StatementRecord workStatement;     // filled while a statement is parsed
    StatementRecord currentStatement;  // the last load statement parsed successfully
    std::string scriptPath;
    std::string imageDir;  // image names without a directory resolve against it
    int statementCount = 0;  // never negative
    std::string messageText;  // the last message statement parsed
    std::string appName;
    std::string appVersion;
    std::string startLine;
    std::string closingLine;
    std::uint32_t blocksSent = 0;  // owned by the download flow

    // Set while a ScriptHold is alive: the script read once, parse results kept.
    std::shared_ptr<ScriptHoldState> held;
};

// Builds the record of one script. Never fails: an unreadable script gives a
// record with empty texts and no statements.
std::unique_ptr<ApplicationRecord> LoadApplication(const std::string& scriptPath, const std::string& imageDir);

}  // namespace zul
