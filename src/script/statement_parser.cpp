#include "script/statement_parser.h"

#include <climits>
#include <iostream>
#include <unordered_map>

#include "script/profile_document.h"
#include "script/text_util.h"

namespace zul {

using script_text::IsBlank;
using enum StatementResult;

const char* StatementResultName(StatementResult result) {
    switch (result) {
        case STMT_MESSAGE: return "STMT_MESSAGE";
        case STMT_BAD_DEVICE: return "STMT_BAD_DEVICE";
        case STMT_LOAD: return "STMT_LOAD";
        case STMT_EMPTY_IMAGE: return "STMT_EMPTY_IMAGE";
        case STMT_BAD_OPTION: return "STMT_BAD_OPTION";
        case STMT_OPEN_FAILED: return "STMT_OPEN_FAILED";
        case STMT_BAD_STATEMENT: return "STMT_BAD_STATEMENT";
        default: return "unknown";
    }
}

const char* StatementResultMessage(StatementResult result) {
    switch (result) {
        case STMT_MESSAGE:
        case STMT_LOAD: return "";
        case STMT_BAD_DEVICE: return "No device specified to download to";
        case STMT_EMPTY_IMAGE: return "The size of the image file is zero";
        case STMT_BAD_OPTION: return "No options were specified in the script file";
        case STMT_OPEN_FAILED: return "Could not open file";
        default: return "Error with setup";
    }
}

namespace {

std::ostream* g_diagnostics = &std::cout;

void Diagnose(const char* text) {
    if (!g_diagnostics) return;
    *g_diagnostics << text << std::endl;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// Sign and magnitude of a hexadecimal number; `overflow` once the magnitude
// passes `limit`.
void ReadHex(std::string_view text, unsigned long long limit, bool* negative, unsigned long long* magnitude,
             bool* overflow) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    *negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) *negative = text[i++] == '-';
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    *magnitude = 0;
    *overflow = false;
    for (; i < text.size() && IsHexDigit(text[i]); ++i) {
        if (*overflow) continue;
        *magnitude = *magnitude * 16 + static_cast<unsigned long long>(HexValue(text[i]));
        if (*magnitude > limit) *overflow = true;
    }
}

struct DeviceOption {
    const char* name;
    int loadType, bankErase, noErase, eraseOnly, programCard;
};

constexpr DeviceOption kDeviceOptions[] = {
    {"-RUN", kLoadRamRun, 0, 0, 0, 0},   {"-RAM", kLoadRam, 0, 0, 0, 0},       {"-FLASH", kLoadFlash, 0, 0, 0, 0},
    {"-BANK", kLoadFlash, 1, 0, 0, 0},   {"-NOERASE", kLoadFlash, 0, 1, 0, 0}, {"-ERASE", kLoadFlash, 1, 1, 0, 0},
    {"-MBANK", kLoadFlash, 1, 0, 0, 1},  {"-MNOERASE", kLoadFlash, 0, 1, 0, 1}, {"-MERASE", kLoadFlash, 0, 0, 1, 1},
};

constexpr std::int32_t kProgramCardEraseSize = 0x200000;
constexpr int kPageShift = 13;  // program-card pages are 8 KB

// The parse proper. `work` is written only when the statement gets as far
// as naming its image (`workReset` then true), which is when the record's
// workStatement is replaced.
StatementResult ParseLine(const std::string& imageDir, std::string_view line, std::string* message,
                          StatementRecord* work, bool* workReset) {
    message->clear();
    *workReset = false;
    if (line.size() > kMaxStatementLength) return STMT_BAD_STATEMENT;
    if (!line.empty() && line.front() == '!') {
        message->assign(line);
        return STMT_MESSAGE;
    }
    StatementTokens tokens(SplitStatement(line));
    if (!tokens.withinLimits() || tokens.parameterCount() == 0) return STMT_BAD_STATEMENT;

    std::string path = ResolveImagePath(imageDir, tokens.Parameter(0));
    if (path.size() > kMaxImagePath) return STMT_BAD_STATEMENT;
    ResetStatement(*work, path.c_str());
    *workReset = true;

    for (int i = 0; i < tokens.shortOptionCount(); ++i) {
        std::string_view option = tokens.ShortOption(i);
        char letter = option.size() >= 2 ? option[1] : '\0';
        switch (letter) {
            case 'b': work->batterySkip = 1; break;
            case 'd': work->optionD = 1; break;
            case 'e': work->optionE = 1; break;
            case 'k': work->optionK = 1; break;
            case 'r': work->resetAfter = 1; break;
            default: return STMT_BAD_OPTION;
        }
    }

    if (!tokens.deviceOption().empty()) {
        std::string upper(tokens.deviceOption());
        for (char& c : upper) c = script_text::AsciiUpper(c);
        const DeviceOption* match = nullptr;
        for (const DeviceOption& d : kDeviceOptions) {
            if (upper == d.name) {
                match = &d;
                break;
            }
        }
        if (!match) return STMT_BAD_DEVICE;
        work->loadType = match->loadType;
        work->bankErase = match->bankErase;
        work->noErase = match->noErase;
        work->eraseOnly = match->eraseOnly;
        work->programCard = match->programCard;
    }

    if (tokens.parameterCount() < 2)
        work->loadAddress = work->programCard ? 0u : 0x400000u;
    else
        work->loadAddress = ReadHexUnsigned(tokens.Parameter(1));

    if (tokens.parameterCount() == 3) {
        std::int64_t size = ReadHexSigned(tokens.Parameter(2));
        if (work->programCard) {
            // Pages beyond what 32 bits can count would wrap into a wrong size.
            size *= std::int64_t{1} << kPageShift;
            if (size > INT32_MAX || size < INT32_MIN) return STMT_BAD_STATEMENT;
        }
        work->imageSize = static_cast<std::int32_t>(size);
    } else {
        unsigned long long length = 0;
        if (!ProbeFileLength(work->imagePath, &length)) return STMT_OPEN_FAILED;
        if (work->eraseOnly) {
            work->bankErase = 0;
            if (work->programCard) work->imageSize = kProgramCardEraseSize;
        } else {
            if (length == 0) return STMT_EMPTY_IMAGE;
            // The size is a signed 32-bit count; a larger image cannot be described.
            if (length > static_cast<unsigned long long>(INT32_MAX)) return STMT_BAD_STATEMENT;
            work->imageSize = static_cast<std::int32_t>(length);
        }
    }
    return STMT_LOAD;
}

std::string StatementKey(int n) { return "stmt" + std::to_string(static_cast<long long>(n) + 1); }

}  // namespace

std::ostream* SetStatementDiagnosticStream(std::ostream* stream) {
    std::ostream* previous = g_diagnostics;
    g_diagnostics = stream;
    return previous;
}

StatementTokens::StatementTokens(const std::vector<std::string_view>& tokens, char separator) : separator_(separator) {
    if (tokens.size() > static_cast<std::size_t>(kMaxTokens)) {
        Diagnose(" Invalid number of arguments ");
        withinLimits_ = false;
    }
    tokenCount_ = tokens.size() > static_cast<std::size_t>(kMaxTokens) ? kMaxTokens : static_cast<int>(tokens.size());
    for (int i = 0; i < tokenCount_; ++i) {
        std::string_view token = tokens[static_cast<std::size_t>(i)];
        tokens_[i] = token;
        if (token.find(separator_) != std::string_view::npos) {
            if (SetQualifier(qualifierCount_, token)) ++qualifierCount_;
        } else {
            if (SetParameter(parameterCount_, token)) ++parameterCount_;
        }
    }
    for (int i = 0; i < qualifierCount_; ++i) {
        std::string_view q = qualifiers_[i];
        if (q.size() <= 3) {
            if (SetShortOption(shortOptionCount_, q)) ++shortOptionCount_;
        } else {
            deviceOption_ = q;
        }
    }
}

bool StatementTokens::SetParameter(int index, std::string_view token) {
    if (index < 0 || index >= kMaxParameters) {
        Diagnose("Invalid parameter number");
        withinLimits_ = false;
        return false;
    }
    parameters_[index] = token;
    return true;
}

bool StatementTokens::SetQualifier(int index, std::string_view token) {
    if (index < 0 || index >= kMaxQualifiers) {
        Diagnose("Invalid qualifier number");
        withinLimits_ = false;
        return false;
    }
    qualifiers_[index] = token;
    return true;
}

bool StatementTokens::SetShortOption(int index, std::string_view token) {
    if (index < 0 || index >= kMaxShortOptions) {
        Diagnose("Invalid option number");
        withinLimits_ = false;
        return false;
    }
    shortOptions_[index] = token;
    return true;
}

std::string_view StatementTokens::Parameter(int index) const {
    if (index < 0 || index >= kMaxParameters) {
        Diagnose("Invalid parameter number");
        return {};
    }
    return parameters_[index];
}

std::string_view StatementTokens::Qualifier(int index) const {
    if (index < 0 || index >= kMaxQualifiers) {
        Diagnose("Invalid qualifier number");
        return {};
    }
    return qualifiers_[index];
}

std::string_view StatementTokens::ShortOption(int index) const {
    if (index < 0 || index >= kMaxShortOptions) {
        Diagnose("Invalid option number");
        return {};
    }
    return shortOptions_[index];
}

std::vector<std::string_view> SplitStatement(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

std::uint32_t ReadHexUnsigned(std::string_view text) {
    bool negative = false, overflow = false;
    unsigned long long magnitude = 0;
    ReadHex(text, 0xFFFFFFFFull, &negative, &magnitude, &overflow);
    if (overflow) return 0xFFFFFFFFu;
    std::uint32_t value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

std::int32_t ReadHexSigned(std::string_view text) {
    bool negative = false, overflow = false;
    unsigned long long magnitude = 0;
    ReadHex(text, 0x80000000ull, &negative, &magnitude, &overflow);
    if (negative) {
        if (overflow || magnitude >= 0x80000000ull) return INT32_MIN;
        return -static_cast<std::int32_t>(magnitude);
    }
    if (overflow || magnitude > 0x7FFFFFFFull) return INT32_MAX;
    return static_cast<std::int32_t>(magnitude);
}

std::string ResolveImagePathWindows(const std::string& imageDir, std::string_view parameter) {
    // The parts a path splits into: drive "X:", directory up to the last
    // separator, file name up to the last dot.
    std::string_view rest = parameter;
    bool hasDrive = rest.size() >= 2 && rest[1] == ':';
    if (hasDrive) rest.remove_prefix(2);
    std::size_t lastSep = rest.find_last_of("\\/");
    bool hasDirectory = lastSep != std::string_view::npos;
    std::string_view name = hasDirectory ? rest.substr(lastSep + 1) : rest;
    std::size_t dot = name.find_last_of('.');
    bool hasName = (dot == std::string_view::npos ? name.size() : dot) > 0;
    if (hasDrive && hasDirectory && hasName) return std::string(parameter);
    return imageDir + "\\" + std::string(parameter);
}

std::string ResolveImagePathPosix(const std::string& imageDir, std::string_view parameter) {
    if (!parameter.empty() && parameter.front() == '/') return std::string(parameter);
    std::string relative(parameter);
    for (char& c : relative)
        if (c == '\\') c = '/';
    return imageDir + "/" + relative;
}

// What a ScriptHold keeps: the statement lines of one reading of the script,
// and each statement's parse once it has been parsed.
struct ScriptHoldState {
    std::unordered_map<std::string, std::string> lines;  // lower-case key -> statement
    struct Outcome {
        StatementResult result{};
        std::string message;
        bool workReset = false;
        StatementRecord work;
    };
    std::unordered_map<int, Outcome> outcomes;
};

std::string ReadStatementLine(const ApplicationRecord& record, int n) {
    const std::string key = StatementKey(n);
    if (record.held) {
        auto it = record.held->lines.find(script_text::Lower(key));
        return it == record.held->lines.end() ? kNotSpecifiedStatement : it->second;
    }
    ProfileDocument document;
    std::string line;
    if (!document.LoadFile(record.scriptPath) || !document.GetString("script", key, &line))
        line = kNotSpecifiedStatement;
    document.CloseDocument();
    return line;
}

StatementResult ParseStatementLine(ApplicationRecord& record, std::string_view line) {
    StatementRecord work;
    bool workReset = false;
    const StatementResult result = ParseLine(record.imageDir, line, &record.messageText, &work, &workReset);
    if (workReset) record.workStatement = std::move(work);
    if (result == STMT_LOAD) record.currentStatement = record.workStatement;
    return result;
}

bool StatementCountWithinLimit(const ApplicationRecord& record) { return record.statementCount <= kMaxStatements; }

StatementResult ParseStatement(ApplicationRecord& record, int n) {
    if (n < 0 || n >= kMaxStatements) {
        // Its key could not be formed; nothing it could name would be sound.
        record.messageText.clear();
        return STMT_BAD_STATEMENT;
    }
    if (!record.held) return ParseStatementLine(record, ReadStatementLine(record, n));
    auto [it, fresh] = record.held->outcomes.try_emplace(n);
    ScriptHoldState::Outcome& outcome = it->second;
    if (fresh)
        outcome.result =
            ParseLine(record.imageDir, ReadStatementLine(record, n), &outcome.message, &outcome.work, &outcome.workReset);
    record.messageText = outcome.message;
    if (outcome.workReset) record.workStatement = outcome.work;
    if (outcome.result == STMT_LOAD) record.currentStatement = record.workStatement;
    return outcome.result;
}

ScriptHold::ScriptHold(ApplicationRecord& record) : record_(record), owner_(!record.held) {
    if (!owner_) return;
    auto state = std::make_shared<ScriptHoldState>();
    ProfileDocument document;
    if (document.LoadFile(record.scriptPath)) {
        int s = document.FindSection("script");
        if (s >= 0) {
            const ProfileSection& section = document.sections()[static_cast<std::size_t>(s)];
            for (std::size_t i = 0; i < section.keys.size(); ++i)
                state->lines.emplace(script_text::Lower(section.keys[i]), section.values[i]);
        }
    }
    record.held = std::move(state);
}

ScriptHold::~ScriptHold() {
    if (owner_) record_.held.reset();
}

std::vector<ParsedStatement> ParseAllStatements(const ApplicationRecord& record) {
    ApplicationRecord copy = record;
    ScriptHold hold(copy);
    std::vector<ParsedStatement> all;
    const int count = record.statementCount < kMaxStatements ? record.statementCount : kMaxStatements;
    all.reserve(static_cast<std::size_t>(count));
    for (int n = 0; n < count; ++n) {
        ParsedStatement parsed;
        parsed.result = ParseStatement(copy, n);
        parsed.messageText = copy.messageText;
        parsed.workStatement = copy.workStatement;
        parsed.currentStatement = copy.currentStatement;
        all.push_back(std::move(parsed));
    }
    return all;
}

}  // namespace zul
