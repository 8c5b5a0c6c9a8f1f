#include "script/application_record.h"

#include "script/profile_document.h"

namespace zul {

void ResetStatement(StatementRecord& statement, const char* path) {
    statement = StatementRecord();
    if (path) statement.imagePath = path;
}

std::unique_ptr<ApplicationRecord> LoadApplication(const std::string& scriptPath, const std::string& imageDir) {
    auto record = std::make_unique<ApplicationRecord>();
    ResetStatement(record->workStatement);
    ResetStatement(record->currentStatement);
    record->scriptPath = scriptPath;
    record->imageDir = imageDir;

    ProfileDocument document;
    if (!document.LoadFile(scriptPath)) return record;
    struct TextKey {
        const char* section;
        const char* key;
        std::string* target;
    } keys[] = {
        {"application", "name", &record->appName},
        {"application", "version", &record->appVersion},
        {"script", "startLine", &record->startLine},
        {"script", "closingLine", &record->closingLine},
    };
    for (const TextKey& k : keys)
        if (!document.GetString(k.section, k.key, k.target)) *k.target = kScriptFileError;
    int count = 0;
    document.GetInt("script", "numberOfStatements", &count);
    record->statementCount = count < 0 ? 0 : count;
    document.CloseDocument();
    return record;
}

}  // namespace zul
