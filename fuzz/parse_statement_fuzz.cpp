// Fuzzes the statement parser with arbitrary statement lines and checks that
// a rejected statement leaves the current statement alone, that a load stays
// within its limits, and that a second parse gives the same answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "script/statement_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::ostringstream diagnostics;
    static bool quiet = (zul::SetStatementDiagnosticStream(&diagnostics), true);
    (void)quiet;
    diagnostics.str(std::string());

    const std::string line(reinterpret_cast<const char*>(data), size);
    zul::ApplicationRecord record;
    record.imageDir = "/nonexistent-zul-fuzz-images";
    record.currentStatement.imagePath = "sentinel";
    const zul::StatementResult result = zul::ParseStatementLine(record, line);
    switch (result) {
        case zul::StatementResult::STMT_LOAD:
            if (record.currentStatement != record.workStatement) std::abort();
            if (record.currentStatement.imagePath.size() > zul::kMaxImagePath) std::abort();
            if (record.currentStatement.loadType < 0 || record.currentStatement.loadType > 3) std::abort();
            break;
        case zul::StatementResult::STMT_MESSAGE:
            if (record.messageText != line || line.empty() || line[0] != '!') std::abort();
            [[fallthrough]];
        case zul::StatementResult::STMT_BAD_DEVICE:
        case zul::StatementResult::STMT_EMPTY_IMAGE:
        case zul::StatementResult::STMT_BAD_OPTION:
        case zul::StatementResult::STMT_OPEN_FAILED:
        case zul::StatementResult::STMT_BAD_STATEMENT:
            if (record.currentStatement.imagePath != "sentinel") std::abort();
            break;
        default: std::abort();
    }
    zul::ApplicationRecord again;
    again.imageDir = record.imageDir;
    if (zul::ParseStatementLine(again, line) != result) std::abort();
    (void)zul::ReadHexUnsigned(line);
    (void)zul::ReadHexSigned(line);
    return 0;
}
